// The printer's creation as an administrator follows it: the port listing's
// diagnostic and the progress lines on standard output, the one log line of a
// refusal, and the steps that follow whatever happened. (The printer as the
// spooler keeps it, on each family, is in whole_install_test.cc.)
#include "spooler/printer.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "setup/scenario.h"

namespace orvane {
namespace {

using setup_test::Events;
using setup_test::Joined;
using setup_test::Scenario;
using setup_test::SzBytes;
using winsim::Fault;
using winsim::WindowsVersion;

constexpr char kStamp[] = "07-04-03: 09:05";
constexpr char kPrinterKey[] =
    "HKLM\\SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\ORVANE";
constexpr char kLocalPorts[] = "HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Ports";

// Standard output from the printer step's first line up to the data step's.
std::string PrinterStepOutput(const winsim::Machine& machine) {
  const std::string& out = machine.standard_output();
  const std::size_t begin = out.find("Enumerating ports\n\n");
  if (begin == std::string::npos) return "<no printer step>";
  return out.substr(begin, out.find("Configuring printer\n\n", begin) - begin);
}

// The log after its three opening lines (the family and the driver folder).
std::vector<std::string> LogAfterHead(const Scenario& s) {
  std::vector<std::string> lines = s.LogLines();
  if (lines.size() < 3) return {"<short log>"};
  return {lines.begin() + 3, lines.end()};
}

TEST(CreatePrinter, ListingAndRefusalsShowOnlyWhereTheyShould) {
  struct Row {
    const char* row;
    WindowsVersion version;
    std::function<void(winsim::Machine&)> arrange;
    const char* output;            // the printer step's standard output
    std::vector<std::string> log;  // after the opening lines, unstamped
    bool printer;                  // the spooler holds the printer afterwards
  };
  const Row rows[] = {
      {"product port listed first", WindowsVersion::kWinXp,
       [](winsim::Machine& m) { m.registry().RemoveTree(kLocalPorts); },
       "Enumerating ports\n\nPort found\n\nAdding printer\n\nClosing printer\n\n", {}, true},
      {"listing larger than 4096 bytes", WindowsVersion::kWinXp,
       [](winsim::Machine& m) {
         for (int i = 0; i < 100; ++i) {
           m.registry().PutValue(kLocalPorts, "NE" + std::to_string(i) + ":", win::REG_SZ,
                                 SzBytes(""));
         }
       },
       "Enumerating ports\n\nEnumPorts failed\n\nAdding printer\n\nClosing printer\n\n", {},
       true},
      {"listing refused", WindowsVersion::kNt4,
       [](winsim::Machine& m) { m.faults().Add(Fault{"EnumPortsA", "", 1722}); },
       "Enumerating ports\n\nEnumPorts failed\n\nAdding printer\n\nClosing printer\n\n", {},
       true},
      {"printer refused", WindowsVersion::kWinXp,
       [](winsim::Machine& m) { m.faults().Add(Fault{"AddPrinterA", "", 1796}); },
       "Enumerating ports\n\nAdding printer\n\n", {"AddPrinter: 1796"}, false},
      {"close refused", WindowsVersion::kWin98,
       [](winsim::Machine& m) { m.faults().Add(Fault{"ClosePrinter", "", 6}); },
       "Enumerating ports\n\nAdding printer\n\nClosing printer\n\nClosePrinter: 6\n\n", {},
       true},
      // A refused driver is followed by the printer all the same, which the
      // spooler then refuses for want of its driver.
      {"driver refused, 98", WindowsVersion::kWin98,
       [](winsim::Machine& m) { m.faults().Add(Fault{"AddPrinterDriverA", "", 5}); },
       "Enumerating ports\n\nAdding printer\n\n", {"AddPrinterDriver: 5", "AddPrinter: 1797"},
       false},
      {"driver refused, NT 4", WindowsVersion::kNt4,
       [](winsim::Machine& m) { m.faults().Add(Fault{"AddPrinterDriverA", "", 87}); },
       "Enumerating ports\n\nAdding printer\n\n", {"AddPrinterDriver: 87", "AddPrinter: 1797"},
       false},
      {"driver refused, XP", WindowsVersion::kWinXp,
       [](winsim::Machine& m) { m.faults().Add(Fault{"AddPrinterDriverA", "", 2}); },
       "Enumerating ports\n\nAdding printer\n\n", {"AddPrinterDriver: 2", "AddPrinter: 1797"},
       false},
  };
  for (const Row& r : rows) {
    Scenario s(r.version);
    r.arrange(*s);
    EXPECT_EQ(s.Run(), 0) << r.row;
    EXPECT_EQ(PrinterStepOutput(*s), r.output) << r.row;
    std::vector<std::string> log;
    for (const std::string& text : r.log) log.push_back(kStamp + text);
    EXPECT_EQ(Joined(LogAfterHead(s)), Joined(log)) << r.row;
    EXPECT_EQ(s.Value(kPrinterKey, "Port").has_value(), r.printer) << r.row;
    // Whatever became of the printer, the data steps and completion follow.
    EXPECT_TRUE(s.Value(kPrinterKey, "Default DevMode").has_value()) << r.row;
    EXPECT_EQ(Events(*s, "process").size(), 1u) << r.row;
    EXPECT_EQ(Events(*s, "msgbox").size(), 0u) << r.row;
    EXPECT_EQ(Joined(s->LeakReport()), "") << r.row;
  }
}

}  // namespace
}  // namespace orvane
