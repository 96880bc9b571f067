// The install context and the Windows 2000/XP decision: the settings file's
// override read as atoi reads it, the version test with its retry, the
// monitor probe on standard output, and the driver folder when the spooler
// cannot name it.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "install/context.h"
#include "setup/scenario.h"

namespace orvane {
namespace {

using setup_test::Events;
using setup_test::FileText;
using setup_test::Joined;
using setup_test::Scenario;
using winsim::Fault;
using winsim::FaultMode;
using winsim::WindowsVersion;

constexpr char kSettings[] = "C:\\orvane\\res\\orvane.ini";
constexpr char kStamp[] = "07-04-03: 09:05";

TEST(QueryIsXPor2000, TheSettingDecidesAndAnyOtherNumberAsksTheVersion) {
  struct Row {
    const char* row;
    const char* file;  // the settings file's text; null for no file
    bool on98, onNt4, onXp;
  };
  const Row rows[] = {
      {"no file", nullptr, false, false, true},
      {"no key", "[Parameters]\r\nQuiet=0\r\n", false, false, true},
      {"1", "[Parameters]\r\nIsXPor2000=1\r\n", true, true, true},
      {"0", "[Parameters]\r\nIsXPor2000=0\r\n", false, false, false},
      {"empty", "[Parameters]\r\nIsXPor2000=\r\n", false, false, false},
      {"text", "[Parameters]\r\nIsXPor2000=yes\r\n", false, false, false},
      {"quoted blank then 1", "[Parameters]\r\nIsXPor2000=\" 1\"\r\n", true, true, true},
      {"digits then text", "[Parameters]\r\nIsXPor2000=1st\r\n", true, true, true},
      {"2", "[Parameters]\r\nIsXPor2000=2\r\n", false, false, true},
      {"-1", "[Parameters]\r\nIsXPor2000=-1\r\n", false, false, true},
      {"other section", "[Other]\r\nIsXPor2000=1\r\n", false, false, true},
  };
  for (const Row& r : rows) {
    for (auto [version, expected] : {std::pair{WindowsVersion::kWin98, r.on98},
                                     std::pair{WindowsVersion::kNt4, r.onNt4},
                                     std::pair{WindowsVersion::kWinXp, r.onXp}}) {
      Scenario machine(version);
      if (r.file) machine->files().WriteAll(kSettings, r.file);
      EXPECT_EQ(QueryIsXPor2000(*machine), expected)
          << r.row << " on " << winsim::Profile(version).display_name;
      EXPECT_EQ(Joined(machine->LeakReport()), "") << r.row;
    }
  }
}

TEST(QueryIsXPor2000, RetriesWithThePlainRecordThenGivesUp) {
  struct Row {
    const char* row;
    WindowsVersion version;
    std::vector<Fault> faults;
    bool expected;
  };
  const Row rows[] = {
      {"NT 4 knows only the plain record", WindowsVersion::kNt4, {}, false},
      {"XP refusing the extended one once",
       WindowsVersion::kWinXp,
       {{"GetVersionExA", "156", 122, FaultMode::kOnce}},
       true},
      {"2000 refusing both",
       WindowsVersion::kWin2000,
       {{"GetVersionExA", "", 87, FaultMode::kAlways}},
       false},
  };
  for (const Row& r : rows) {
    Scenario machine(r.version);
    for (const Fault& fault : r.faults) machine->faults().Add(fault);
    EXPECT_EQ(QueryIsXPor2000(*machine), r.expected) << r.row;
  }
}

// The override seen through setup: it picks the record even against the
// family, and the version-3 files come with record C only.
TEST(QueryIsXPor2000, OverridesTheDriverVariantOfARun) {
  const char* const v3 = "C:\\WINDOWS\\SYSTEM\\pscript5.dll";
  const std::string xpDrivers = "C:\\WINDOWS\\system32\\spool\\drivers\\w32x86";
  const std::string nt =
      "HKLM\\SYSTEM\\CurrentControlSet\\Control\\Print\\Environments\\"
      "Windows NT x86\\Drivers\\";
  {
    Scenario machine(WindowsVersion::kWin98);
    machine->files().WriteAll(kSettings, "[Parameters]\r\nIsXPor2000=1\r\n");
    machine.Run();
    EXPECT_NE(FileText(*machine, v3), "<missing>");
    // Level 6 is unknown to Windows 98's spooler.
    EXPECT_EQ(machine.LogLines().at(3), std::string(kStamp) + "AddPrinterDriver: 124");
  }
  {
    Scenario machine(WindowsVersion::kWinXp);
    machine->files().WriteAll(kSettings, "[Parameters]\r\nIsXPor2000=0\r\n");
    machine.Run();
    EXPECT_EQ(FileText(*machine, xpDrivers + "\\pscript5.dll"), "<missing>");
    EXPECT_TRUE(machine.Value(nt + "Version-2\\ORVANE Printer Driver", "Driver"));
    EXPECT_FALSE(machine.Value(nt + "Version-3\\ORVANE Printer Driver", "Driver"));
  }
}

TEST(InstallContext, MonitorProbePrintsOnlyAboutTheFirstMonitorListed) {
  const std::string monitors =
      "HKLM\\SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\";
  struct Row {
    const char* row;
    std::vector<std::string> installed;
    bool listingFails;
    std::string out;  // the head of standard output
  };
  const Row rows[] = {
      {"none of ours", {}, false, "Initializing Spooler\n\n"},
      {"ours first",
       {"ORVANE Monitor", "Zeta Monitor"},
       false,
       "Monitor found\n\nInitializing Spooler\n\n"},
      {"ours second",
       {"Alpha Monitor", "ORVANE Monitor"},
       false,
       "Initializing Spooler\n\n"},
      {"listing fails",
       {"ORVANE Monitor"},
       true,
       "EnumMonitors failed\n\nInitializing Spooler\n\n"},
  };
  for (const Row& r : rows) {
    Scenario machine(WindowsVersion::kWinXp);
    // Windows lists its monitors in alphabetical order, "Local Port" among them.
    if (!r.installed.empty() && r.installed.front() == "ORVANE Monitor") {
      machine->registry().RemoveTree(monitors + "Local Port");
    }
    for (const std::string& name : r.installed) {
      machine->registry().PutValue(monitors + name, "Driver", win::REG_SZ,
                                   setup_test::SzBytes("x.dll"));
    }
    if (r.listingFails)
      machine->faults().Add({"EnumMonitorsA", "", 1722, FaultMode::kOnce});
    machine.Run();
    EXPECT_EQ(machine->standard_output().substr(0, r.out.size()), r.out) << r.row;
  }
}

// With the spooler stopped the spooler cannot name its driver folder: the
// files still go where this Windows keeps drivers, never to the drive's root.
TEST(InstallContext, DriverFolderUnknownFallsBackToTheFamilysFolder) {
  struct Row {
    WindowsVersion version;
    std::string drivers;
    std::vector<std::string> log;  // the head of the log, without time stamps
  };
  const Row rows[] = {
      {WindowsVersion::kWinXp,
       "C:\\WINDOWS\\system32\\spool\\drivers\\w32x86",
       {"GetPrinterDriverDirectory: 1722", "is_winnt = TRUE", "is_win4 = TRUE",
        "Printer Driver Directory: C:\\WINDOWS\\system32\\spool\\drivers\\w32x86",
        "AddMonitor: 1722", "AddPrinterDriver: 1722"}},
      {WindowsVersion::kWin98,
       "C:\\WINDOWS\\SYSTEM",
       {"GetPrinterDriverDirectory: 1722", "is_winnt = FALSE", "is_win4 = TRUE",
        "Printer Driver Directory: C:\\WINDOWS\\SYSTEM"}},
  };
  for (const Row& r : rows) {
    const std::string row = winsim::Profile(r.version).display_name;
    Scenario machine(r.version);
    if (r.version == WindowsVersion::kWinXp) {
      machine->services().StopSpoolerNow(machine->spooler());
    } else {
      machine->faults().Add({"GetPrinterDriverDirectoryA", "", 1722, FaultMode::kOnce});
    }
    machine.Run();
    std::vector<std::string> log = machine.LogLines();
    log.resize(std::min(log.size(), r.log.size()));
    std::vector<std::string> expected;
    for (const std::string& text : r.log) expected.push_back(kStamp + text);
    EXPECT_EQ(Joined(log), Joined(expected)) << row;
    EXPECT_NE(FileText(*machine, r.drivers + "\\ovps.PPD"), "<missing>") << row;
    EXPECT_EQ(FileText(*machine, "C:\\ovps.PPD"), "<missing>") << row;
    // 98: the PostScript check looked in the right folder and found it.
    for (const auto& box : Events(*machine, "msgbox")) {
      EXPECT_EQ(box.at(3).find("Setup has determined you do not have"), std::string::npos)
          << row;
    }
  }
}

}  // namespace
}  // namespace orvane
