// Setup run again over an installation: the monitor DLL in the system folder
// decides. On the NT family a DLL the spooler holds is freed by a silent
// removal and the installation goes on, or the install ends asking for a
// reboot and rights; on Windows 95/98/ME an equal DLL lets the installation go
// on, a different one clears the old printer and asks for a reboot.
#include "install/earlier_installation.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

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

using Journal = std::vector<std::vector<std::string>>;

constexpr char kStamp[] = "07-04-03: 09:05";
constexpr char kPrint[] = "HKLM\\SYSTEM\\CurrentControlSet\\Control\\Print";
constexpr char kEntryKey[] =
    "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Orvane";
constexpr char kXpDriverDir[] = "C:\\WINDOWS\\system32\\spool\\drivers\\w32x86";
constexpr char kXpMonitor[] = "C:\\WINDOWS\\system32\\orvmon.dll";
constexpr char k98Monitor[] = "C:\\WINDOWS\\SYSTEM\\orvmon95.dll";
constexpr char k98Shipped[] = "C:\\orvane\\res\\drivedir\\orvmon95.dll";

constexpr char kRightsBox[] =
    "In order to upgrade orvane you must reboot and re-run setup. Note: Administrative "
    "privileges may also be necessary.";
constexpr char kDeletePrinterBox[] =
    "In order to upgrade orvane you must delete the existing ORVANE printer from Windows "
    "Printer Settings and re-run setup.";
constexpr char kWin9xRebootBox[] =
    "In order to upgrade orvane you must reboot and then re-run setup.";

// The log without its stamps; "<stamp>" marks a line that lacks one.
std::string LogText(const Scenario& s) {
  std::string text;
  for (const std::string& line : s.LogLines()) {
    text += (line.starts_with(kStamp) ? line.substr(sizeof kStamp - 1) : "<stamp>" + line) +
            "\n";
  }
  return text;
}

Journal AllEvents(const winsim::Machine& machine) {
  Journal events;
  for (const std::string& line : machine.journal()) {
    events.push_back(setup_test::JournalFields(line));
  }
  return events;
}

// Setup started as a new process (its last-error value starts at 0), without
// arguments: an installation.
void Install(Scenario& s) {
  s->SetLastError(0);
  s->SetJournal({});
  s.Run();
}

int Objects(Scenario& s) {  // how many of the printer, driver and monitor exist
  return s->spooler().PrinterExists("ORVANE") +
         s->spooler().DriverInstalled("ORVANE Printer Driver") +
         s->spooler().MonitorInstalled("ORVANE Monitor");
}

bool Whole(Scenario& s) {
  return Objects(s) == 3 &&
         s->registry().KeyExists(std::string(kPrint) +
                                 "\\Monitors\\ORVANE Monitor\\Ports\\ORVANEPORT") &&
         s->registry().KeyExists(kEntryKey);
}

const std::string kXpInstallLog =
    "is_winnt = TRUE\nis_win4 = TRUE\nPrinter Driver Directory: " +
    std::string(kXpDriverDir) + "\n";

// The events of a whole installation on XP after the earlier-installation step.
const Journal kXpInstallEvents = {
    {"profileflush", "C:\\WINDOWS\\orvane.ini"},
    {"sleep", "3000"},
    {"sleep", "1000"},
    {"process", "1", "0x200", "cb=68 flags=0x0 show=1 zero=yes", "env=own",
     "app=C:\\WINDOWS\\system32\\rundll32.exe", "dir=C:\\WINDOWS\\system32",
     "ran=C:\\WINDOWS\\system32\\rundll32.exe",
     "rundll32.exe url.dll,FileProtocolHandler c:\\orvane\\readme.html"}};

// The silent removal: two spooler restarts, then the entry is deleted.
const Journal kSilentRemovalEvents = {{"sleep", "500"},
                                      {"sleep", "500"},
                                      {"sleep", "500"},
                                      {"sleep", "500"},
                                      {"shchangenotify", "0x1a", "0", "null", "null"}};

Journal Concat(Journal a, const Journal& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

TEST(Upgrade, OverAWorkingXpInstallationTheSpoolerRestartFreesTheDll) {
  Scenario s(WindowsVersion::kWinXp);
  Install(s);
  ASSERT_TRUE(Whole(s));
  ASSERT_FALSE(s->DeleteFileA(kXpMonitor)) << "the spooler holds the monitor DLL";
  // A new release ships a different DLL.
  s->files().WriteAll("C:\\orvane\\res\\drivedir\\orvmon.dll",
                      "new release\r\nexports InitializePrintMonitor2\r\n");

  Install(s);
  // The failed deletion (5, the DLL in use) is still the last-error value
  // when the silent removal deletes the printer.
  EXPECT_EQ(LogText(s), kXpInstallLog + "is_winnt = TRUE\nis_win4 = TRUE\nstartrpc: 5\n"
                            "Printer Driver Directory: " + kXpDriverDir + "\n");
  EXPECT_EQ(AllEvents(*s), Concat(kSilentRemovalEvents, kXpInstallEvents))
      << Joined(s->journal());
  EXPECT_TRUE(Whole(s));
  EXPECT_EQ(FileText(*s, kXpMonitor), "new release\r\nexports InitializePrintMonitor2\r\n");
  EXPECT_EQ(Joined(s->LeakReport()), "");
}

// A first installation finds no DLL, runs no removal, and still clears the
// keys an earlier installation may have left behind.
TEST(Upgrade, FirstNtInstallationClearsLeftoverKeys) {
  Scenario s(WindowsVersion::kWinXp);
  const std::string print = kPrint;
  const std::string v2 = print + "\\Environments\\Windows NT x86\\Drivers\\Version-2";
  s->registry().PutValue(print + "\\Printers\\ORVANE,0", "Name", win::REG_SZ,
                         setup_test::SzBytes("ORVANE,0"));
  s->registry().PutValue(v2 + "\\ORVANE Printer Driver", "Driver", win::REG_SZ,
                         setup_test::SzBytes("pscript.dll"));
  s->registry().PutValue(v2 + "\\Other Driver", "Driver", win::REG_SZ,
                         setup_test::SzBytes("other.dll"));
  Install(s);
  EXPECT_FALSE(s->registry().KeyExists(print + "\\Printers\\ORVANE,0"));
  EXPECT_FALSE(s->registry().KeyExists(v2 + "\\ORVANE Printer Driver"));
  EXPECT_TRUE(s->registry().KeyExists(v2 + "\\Other Driver"));
  EXPECT_EQ(LogText(s), kXpInstallLog);
  EXPECT_EQ(AllEvents(*s), kXpInstallEvents) << Joined(s->journal());
  EXPECT_TRUE(Whole(s));
}

// The DLL survives the removal: one box, the end. The removal has run (the
// entry is gone with it) and nothing new is copied or registered.
TEST(Upgrade, ADllThatSurvivesTheRemovalEndsWithTheRightsMessage) {
  struct Row {
    const char* row;
    std::vector<Fault> faults;
    bool administrator;
    std::string removal_log;
    bool objects_removed;  // the spooler could take the printer, driver, monitor
  };
  const Row rows[] = {
      {"the DLL cannot be deleted",
       {{"DeleteFileA", "orvmon.dll", 5, FaultMode::kAlways}}, true, "startrpc: 5\n", true},
      {"the spooler cannot be stopped",
       {{"ControlService", "", 5, FaultMode::kAlways}}, true,
       "startrpc: 5\nDeletePrinterDriver: 1056\nDeleteMonitor: 183\n", true},
      {"not an administrator", {}, false,
       "DeletePrinterDriver: 5\nDeleteMonitor: 5\n", false},
  };
  for (const Row& r : rows) {
    Scenario s(WindowsVersion::kWinXp);
    Install(s);
    for (const Fault& fault : r.faults) s->faults().Add(fault);
    s->SetAdministrator(r.administrator);
    const std::string copied = FileText(*s, std::string(kXpDriverDir) + "\\ovps.PPD");
    s->files().WriteAll("C:\\orvane\\res\\drivedir\\ovps.PPD", "new release");

    Install(s);
    EXPECT_EQ(LogText(s), kXpInstallLog + "is_winnt = TRUE\nis_win4 = TRUE\n" +
                              r.removal_log)
        << r.row;
    EXPECT_EQ(AllEvents(*s), Concat(kSilentRemovalEvents,
                                     {{"msgbox", "setup", "0", "1", kRightsBox}}))
        << r.row << "\n"
        << Joined(s->journal());
    EXPECT_TRUE(s->files().Exists(kXpMonitor)) << r.row;
    EXPECT_EQ(FileText(*s, std::string(kXpDriverDir) + "\\ovps.PPD"), copied) << r.row;
    if (r.objects_removed) {
      // The simulated registry keeps no rights: only an administrator's
      // removal is held to its registry effects.
      EXPECT_FALSE(s->registry().KeyExists(kEntryKey)) << r.row;
      EXPECT_EQ(Objects(s), 0) << r.row;
    }
    EXPECT_EQ(Joined(s->LeakReport()), "") << r.row;
  }
}

// Windows 98: the spooler holds orvmon95.dll, so it cannot be deleted. Of the
// shipped size it is taken for this release and the installation goes on.
TEST(Upgrade, Windows98WithAnEqualDllGoesOn) {
  Scenario s(WindowsVersion::kWin98);
  Install(s);
  ASSERT_TRUE(Whole(s));
  Install(s);
  // The held DLL cannot be replaced; the objects exist already.
  EXPECT_EQ(LogText(s),
            "is_winnt = FALSE\nis_win4 = TRUE\nPrinter Driver Directory: C:\\WINDOWS\\SYSTEM\n"
            "is_winnt = FALSE\nis_win4 = TRUE\n"
            "CopyFile OutFile.Open Failed: C:\\orvane\\res\\drivedir\\orvmon95.dll\n"
            "Printer Driver Directory: C:\\WINDOWS\\SYSTEM\n"
            "AddMonitor: 183\n"  // 9x: ERROR_ALREADY_EXISTS
            "AddPrinter: 1802\n");
  EXPECT_EQ(Events(*s, "msgbox"), Journal{});
  EXPECT_TRUE(Whole(s));
  EXPECT_EQ(Joined(s->LeakReport()), "");
}

// Windows 98 with a DLL of another size: the old printer, monitor and keys
// go, the install ends with the reboot box (after the printer box when the
// printer cannot be deleted), and after the reboot setup installs afresh.
TEST(Upgrade, Windows98WithADifferentDllClearsUpAndAsksForAReboot) {
  struct Row {
    const char* row;
    std::vector<Fault> faults;
    Journal boxes;
  };
  const Row rows[] = {
      {"printer deleted", {}, {{"setup", "0", "1", kWin9xRebootBox}}},
      {"printer not deletable",
       {{"DeletePrinter", "ORVANE", 5, FaultMode::kOnce}},
       {{"setup", "0", "1", kDeletePrinterBox}, {"setup", "0", "1", kWin9xRebootBox}}},
  };
  const std::string newDll = "new release, larger\r\nexports InitializePrintMonitor2\r\n";
  const std::string installLog =
      "is_winnt = FALSE\nis_win4 = TRUE\nPrinter Driver Directory: C:\\WINDOWS\\SYSTEM\n";
  for (const Row& r : rows) {
    Scenario s(WindowsVersion::kWin98);
    Install(s);
    ASSERT_TRUE(Whole(s)) << r.row;
    ASSERT_NE(FileText(*s, k98Monitor).size(), newDll.size()) << r.row;
    s->files().WriteAll(k98Shipped, newDll);
    for (const Fault& fault : r.faults) s->faults().Add(fault);

    Install(s);
    // Deleted whole by RegDeleteKeyA on 9x: the driver key was still there.
    EXPECT_EQ(LogText(s), installLog + "is_winnt = FALSE\nis_win4 = TRUE\n"
                                       "RegDeleteKey Windows 4.0 return: 0\n")
        << r.row;
    EXPECT_EQ(Events(*s, "msgbox"), r.boxes) << r.row;
    EXPECT_EQ(s->journal().size(), r.boxes.size()) << r.row << "\n" << Joined(s->journal());
    EXPECT_EQ(Objects(s), 0) << r.row;
    EXPECT_TRUE(s->registry().KeyExists(kEntryKey)) << r.row << ": left as it was";
    EXPECT_NE(FileText(*s, k98Monitor), newDll) << r.row;
    EXPECT_EQ(Joined(s->LeakReport()), "") << r.row;

    s->Reboot();
    Install(s);
    EXPECT_EQ(LogText(s), installLog + "is_winnt = FALSE\nis_win4 = TRUE\n"
                                       "RegDeleteKey Windows 4.0 return: 0\n" +
                              installLog)
        << r.row;
    EXPECT_EQ(Events(*s, "msgbox"), Journal{}) << r.row;
    EXPECT_TRUE(Whole(s)) << r.row;
    EXPECT_EQ(FileText(*s, k98Monitor), newDll) << r.row;
  }
}

}  // namespace
}  // namespace orvane
