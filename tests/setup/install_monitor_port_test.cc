// The port monitor's registration and the port's configuration, through
// setup: the pauses around AddMonitorA, the end on access denied, the log
// line for any other refusal, and the port's twelve values beside whatever
// else its key holds.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "setup/scenario.h"
#include "spooler/monitor_port.h"

namespace orvane {
namespace {

using setup_test::Events;
using setup_test::FileText;
using setup_test::Joined;
using setup_test::Scenario;
using setup_test::SzBytes;
using winsim::Fault;
using winsim::FaultMode;
using winsim::WindowsVersion;

constexpr char kMonitorKey[] =
    "HKLM\\SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\ORVANE Monitor";
constexpr char kPortKey[] =
    "HKLM\\SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\ORVANE Monitor\\Ports\\"
    "ORVANEPORT";
constexpr char kAdminMessage[] =
    "Your user account does not have administrative rights and cannot add a printer to "
    "this computer. Please obtain administrative rights and run install again.";

std::vector<win::BYTE> Dword(win::DWORD value) {
  return {static_cast<win::BYTE>(value), static_cast<win::BYTE>(value >> 8),
          static_cast<win::BYTE>(value >> 16), static_cast<win::BYTE>(value >> 24)};
}

// The twelve values, in their order, for a setup folder.
std::vector<winsim::RegValue> PortValues(const std::string& setupDir) {
  return {
      {"Arguments", win::REG_SZ,
       SzBytes("@" + setupDir +
               "\\res\\pdfwrite.rsp -sOutputFile=\"%1\" -c save pop -f -")},
      {"Command", win::REG_SZ, SzBytes(setupDir + "\\res\\convert\\gswin32c.exe")},
      {"Delay", win::REG_DWORD, Dword(300)},
      {"Description", win::REG_SZ, SzBytes("ORVANE Redirected Port")},
      {"LogFileDebug", win::REG_DWORD, Dword(0)},
      {"LogFileName", win::REG_SZ, {0}},
      {"LogFileUse", win::REG_DWORD, Dword(0)},
      {"Output", win::REG_DWORD, Dword(1)},
      {"Printer", win::REG_SZ, SzBytes("ORVANE")},
      {"PrintError", win::REG_DWORD, Dword(0)},
      {"RunUser", win::REG_DWORD, Dword(0)},
      {"ShowWindow", win::REG_DWORD, Dword(2)},
  };
}

std::string Describe(const std::vector<winsim::RegValue>& values) {
  std::string text;
  for (const winsim::RegValue& v : values) {
    text += v.name + " type " + std::to_string(v.type) + " [";
    for (win::BYTE b : v.data) text += std::to_string(b) + " ";
    text += "]\n";
  }
  return text;
}

TEST(AddPortMonitor, RefusalsAsTheUserMeetsThem) {
  struct Row {
    const char* row;
    WindowsVersion version;
    std::function<void(winsim::Machine&)> arrange;
    std::vector<std::string> log;      // whole for an end, else the head
    std::vector<std::string> journal;  // whole for an end, else the head
    std::string out;                   // whole for an end, else the head
    bool ends;
  };
  const std::string xpDir =
      "Printer Driver Directory: C:\\WINDOWS\\system32\\spool\\drivers\\w32x86";
  const std::string s98Dir = "Printer Driver Directory: C:\\WINDOWS\\SYSTEM";
  const std::string flush = "profileflush\tC:\\\\WINDOWS\\\\orvane.ini";
  const std::string box = std::string("msgbox\tsetup\t0\t1\t") + kAdminMessage;
  const Row rows[] = {
      {"XP, no administrative rights",
       WindowsVersion::kWinXp,
       [](winsim::Machine& m) { m.SetAdministrator(false); },
       {"09:05is_winnt = TRUE", "09:05is_win4 = TRUE", "09:05" + xpDir},
       {flush, "sleep\t3000", box},
       "Initializing Spooler\n\n",
       true},
      {"XP, access denied as a fault",
       WindowsVersion::kWinXp,
       [](winsim::Machine& m) {
         m.faults().Add({"AddMonitorA", "", 5, FaultMode::kOnce});
       },
       {"09:05is_winnt = TRUE", "09:05is_win4 = TRUE", "09:05" + xpDir},
       {flush, "sleep\t3000", box},
       "Initializing Spooler\n\n",
       true},
      {"98, access denied: no print, no pause before",
       WindowsVersion::kWin98,
       [](winsim::Machine& m) {
         m.faults().Add({"AddMonitorA", "", 5, FaultMode::kOnce});
       },
       {"09:05is_winnt = FALSE", "09:05is_win4 = TRUE", "09:05" + s98Dir},
       {box},
       "",
       true},
      // Already registered, the DLL kept: the log line comes after the NT
      // pause, whose 3 s carry the clock into the next minute.
      {"XP, monitor already registered",
       WindowsVersion::kWinXp,
       [](winsim::Machine& m) {
         m.SetClock({2003, 7, 5, 4, 9, 5, 58, 0});
         m.registry().PutValue(kMonitorKey, "Driver", win::REG_SZ, SzBytes("orvmon.dll"));
         m.registry().PutKey(std::string(kMonitorKey) + "\\Ports");  // NT keeps the key
       },
       {"09:05is_winnt = TRUE", "09:05is_win4 = TRUE", "09:05" + xpDir,
        "09:06AddMonitor: 3006"},
       {flush, "sleep\t3000", "sleep\t1000", "sleep\t1000"},
       "Initializing Spooler\n\nAdding printer driver\n\n",
       false},
      {"98, another refusal",
       WindowsVersion::kWin98,
       [](winsim::Machine& m) {
         m.faults().Add({"AddMonitorA", "", 87, FaultMode::kOnce});
       },
       {"09:05is_winnt = FALSE", "09:05is_win4 = TRUE", "09:05" + s98Dir,
        "09:05AddMonitor: 87"},
       {"sleep\t1000", "sleep\t1000", "sleep\t1000"},
       "Adding printer driver\n\nDriver directory: C:\\WINDOWS\\SYSTEM\n\n",
       false},
  };
  for (const Row& r : rows) {
    Scenario machine(r.version);
    r.arrange(*machine);
    EXPECT_EQ(machine.Run(), 0) << r.row;
    std::vector<std::string> log = machine.LogLines();
    std::vector<std::string> journal = machine->journal();
    std::string out = machine->standard_output();
    if (!r.ends) {
      log.resize(std::min(log.size(), r.log.size()));
      journal.resize(std::min(journal.size(), r.journal.size()));
      out = out.substr(0, r.out.size());
    }
    std::vector<std::string> expectedLog;
    for (const std::string& text : r.log) expectedLog.push_back("07-04-03: " + text);
    EXPECT_EQ(Joined(log), Joined(expectedLog)) << r.row;
    EXPECT_EQ(Joined(journal), Joined(r.journal)) << r.row;
    EXPECT_EQ(out, r.out) << r.row;
    // The port is configured exactly when the install goes on; the files
    // copied before an end stay.
    EXPECT_EQ(machine.Value(kPortKey, "Command").has_value(), !r.ends) << r.row;
    EXPECT_NE(FileText(*machine,
                       std::string(winsim::Profile(r.version).driver_dir) + "\\ovps.PPD"),
              "<missing>")
        << r.row;
    EXPECT_EQ(Joined(machine->LeakReport()), "") << r.row;
  }
}

TEST(WritePortConfiguration, TwelveValuesInOrderBesideWhatTheKeyHeld) {
  const std::string setupDir = "C:\\Program Files\\Orvane Setup";
  {
    // A setup folder with blanks goes in as it is, unquoted.
    Scenario machine(WindowsVersion::kWinXp, {setupDir, true});
    machine->files().MakeDirectories("C:\\orvane\\res\\drivedir");  // the log's folder
    machine.Run();
    EXPECT_EQ(Describe(machine->registry().Values(kPortKey)),
              Describe(PortValues(setupDir)));
    EXPECT_EQ(FileText(*machine, "C:\\WINDOWS\\system32\\orvmon.dll"),
              FileText(*machine, setupDir + "\\res\\drivedir\\orvmon.dll"));
  }
  {
    // An earlier port with values of its own, and another port: the twelve
    // are rewritten, the rest stays.
    Scenario machine(WindowsVersion::kWinXp);
    machine->registry().PutValue(kPortKey, "Command", win::REG_SZ, SzBytes("old.exe"));
    machine->registry().PutValue(kPortKey, "Extra", win::REG_DWORD, Dword(7));
    machine->registry().PutValue(std::string(kMonitorKey) + "\\Ports\\OTHERPORT",
                                 "Command", win::REG_SZ, SzBytes("other.exe"));
    machine.Run();
    std::map<std::string, std::string> actual, expected;
    for (const auto& v : machine->registry().Values(kPortKey))
      actual[v.name] = Describe({v});
    for (const auto& v : PortValues("C:\\orvane")) expected[v.name] = Describe({v});
    expected["Extra"] = Describe({{"Extra", win::REG_DWORD, Dword(7)}});
    EXPECT_EQ(actual, expected);
    auto other =
        machine.Value(std::string(kMonitorKey) + "\\Ports\\OTHERPORT", "Command");
    ASSERT_TRUE(other);
    EXPECT_EQ(other->data, SzBytes("other.exe"));
    EXPECT_TRUE(machine.Value(kMonitorKey, "Driver"));  // registered over the key
  }
}

TEST(WritePortConfiguration, AKeyThatCannotBeHadSkipsTheRestAndClosesWhatOpened) {
  struct Row {
    const char* row;
    std::vector<Fault> faults;
  };
  const Row rows[] = {
      {"monitor key",
       {{"RegOpenKeyExA", "ORVANE Monitor", 5, FaultMode::kAlways},
        {"RegCreateKeyA", "ORVANE Monitor", 5, FaultMode::kAlways}}},
      {"Ports key", {{"RegCreateKeyA", "ORVANE Monitor\\Ports", 5, FaultMode::kAlways}}},
      {"port key", {{"RegCreateKeyA", "Ports\\ORVANEPORT", 5, FaultMode::kAlways}}},
  };
  for (const Row& r : rows) {
    Scenario machine(WindowsVersion::kWinXp);
    for (const Fault& fault : r.faults) machine->faults().Add(fault);
    InstallContext context;
    context.setup_dir = "C:\\orvane";
    WritePortConfiguration(*machine, context);
    EXPECT_TRUE(machine->registry().Values(kPortKey).empty()) << r.row;
    EXPECT_EQ(Joined(machine.LogLines()), "") << r.row;
    EXPECT_EQ(Joined(machine->LeakReport()), "") << r.row;
  }
}

}  // namespace
}  // namespace orvane
