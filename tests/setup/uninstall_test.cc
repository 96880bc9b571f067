// "setup uninstall" after an installation, as an administrator sees it: the
// spooler objects and their keys are gone, the residue the README lists stays,
// nothing else changed; the boxes, the log and the two runs of Windows 98.
#include "uninstall/run_uninstall.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

#include "setup/scenario.h"

namespace orvane {
namespace {

using setup_test::FileText;
using setup_test::Joined;
using setup_test::Scenario;
using winsim::Fault;
using winsim::FaultMode;
using winsim::WindowsVersion;
using Journal = std::vector<std::vector<std::string>>;

constexpr char kStamp[] = "07-04-03: 09:05";
constexpr char kPrint[] = "HKLM\\SYSTEM\\CurrentControlSet\\Control\\Print\\";
constexpr char kEntryKey[] =
    "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Orvane";
constexpr char kSettings[] = "c:\\orvane\\res\\orvane.ini";
constexpr char kQuestion[] = "Are your sure you want to uninstall orvane?";
constexpr char kRebootBox[] = "Please reboot to fully remove the ORVANE Printer Driver";
constexpr char kWin9xDoneBox[] =
    "Please uninstall Quorrix if it is on your system and then delete ..\\orvane and its "
    "contents from your computer to fully uninstall orvane.";
constexpr char kNtDoneBox[] =
    "Please uninstall Quorrix if it is on your system and then delete c:\\orvane and its "
    "contents from your computer to fully uninstall orvane.";

const std::vector<std::string> kAsked = {"msgbox", "setup", "4", "6", kQuestion};
const std::vector<std::string> kPause = {"sleep", "500"};
const std::vector<std::string> kEntryNotice = {"shchangenotify", "0x1a", "0", "null", "null"};
std::vector<std::string> Box(const char* text) { return {"msgbox", "setup", "0", "1", text}; }

// The log without its stamps; "<stamp>" marks a line that lacks one.
std::string LogText(const Scenario& s) {
  std::string text;
  for (const std::string& line : s.LogLines()) {
    text += (line.starts_with(kStamp) ? line.substr(sizeof kStamp - 1) : "<stamp>" + line) +
            "\n";
  }
  return text;
}

Journal Events(const winsim::Machine& machine) {
  Journal events;
  for (const std::string& line : machine.journal()) {
    events.push_back(setup_test::JournalFields(line));
  }
  return events;
}

// Setup started as a new process (last-error value 0); "uninstall" is
// confirmed with `answer`.
void Start(Scenario& s, const std::vector<std::string>& args, int answer = win::IDYES) {
  s->SetLastError(0);
  s->SetJournal({});
  if (!args.empty()) s->answers().push_back(answer);
  EXPECT_EQ(s.Run(args), 0);
}

// Every file on drive C:, lower case and sorted (Windows names compare so),
// with `added` among them.
std::vector<std::string> Files(const winsim::Machine& machine,
                               const std::vector<std::string>& added = {}) {
  std::vector<std::string> files = machine.files().List("C:\\");
  files.insert(files.end(), added.begin(), added.end());
  for (std::string& file : files) {
    std::transform(file.begin(), file.end(), file.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  }
  std::sort(files.begin(), files.end());
  files.erase(std::unique(files.begin(), files.end()), files.end());
  return files;
}

std::vector<std::string> In(const std::string& folder, std::vector<std::string> names) {
  for (std::string& name : names) name = folder + "\\" + name;
  return names;
}

struct Family {
  WindowsVersion version;
  const char* driver_key;  // below kPrint
  const char* install_log;
  std::vector<std::string> residue;  // files the removal leaves
};

std::vector<Family> Families() {
  const std::vector<std::string> product = {"C:\\orvane\\res\\orvane.ini",
                                            "C:\\orvane\\res\\drivedir\\setup.log"};
  const std::vector<std::string> nt4 = {"Pscript.dll", "Orvaneui.dll", "Pscript.hlp",
                                        "ovps.PPD", "ovfonts.tbl"};
  const std::vector<std::string> v3 = {"orvaneps5.PPD", "pscript5.dll",  "ps5ui.dll",
                                       "orvane.INI",    "orvaneui5.DLL", "pscript.ntf",
                                       "Pscript.hlp"};
  auto nt = [&](const std::string& windows, bool version3) {
    const std::string drivers = windows + "\\system32\\spool\\drivers\\w32x86";
    std::vector<std::string> files = In(windows + "\\system32", {"orvmon.dll", "orvmona.dll"});
    for (auto part : {In(drivers, nt4), product,
                      // the spooler's own copies in its version folder
                      version3 ? In(drivers, v3) : std::vector<std::string>{},
                      version3 ? In(drivers + "\\3", v3)
                               : In(drivers + "\\2", {"pscript.dll", "ovps.PPD",
                                                      "Orvaneui.dll", "Pscript.hlp"})}) {
      files.insert(files.end(), part.begin(), part.end());
    }
    return files;
  };
  std::vector<std::string> win98 = In("C:\\WINDOWS\\SYSTEM", {"orvmon95.dll", "orvmona95.dll",
                                                               "orvdriver.SPD", "ovps.PPD",
                                                               "ovfonts.tbl"});
  win98.insert(win98.end(), product.begin(), product.end());
  const char* v3Key = "Environments\\Windows NT x86\\Drivers\\Version-3\\ORVANE Printer Driver";
  return {
      {WindowsVersion::kWin98, "Environments\\Windows 4.0\\Drivers\\ORVANE Printer Driver",
       "is_winnt = FALSE\nis_win4 = TRUE\nPrinter Driver Directory: C:\\WINDOWS\\SYSTEM\n",
       win98},
      {WindowsVersion::kNt4,
       "Environments\\Windows NT x86\\Drivers\\Version-2\\ORVANE Printer Driver",
       "is_winnt = TRUE\nis_win4 = TRUE\n"
       "Printer Driver Directory: C:\\WINNT\\system32\\spool\\drivers\\w32x86\n",
       nt("C:\\WINNT", false)},
      {WindowsVersion::kWin2000, v3Key,
       "is_winnt = TRUE\nis_win4 = TRUE\n"
       "Printer Driver Directory: C:\\WINNT\\system32\\spool\\drivers\\w32x86\n",
       nt("C:\\WINNT", true)},
      {WindowsVersion::kWinXp, v3Key,
       "is_winnt = TRUE\nis_win4 = TRUE\n"
       "Printer Driver Directory: C:\\WINDOWS\\system32\\spool\\drivers\\w32x86\n",
       nt("C:\\WINDOWS", true)},
  };
}

// The registry before the installation, plus the entry when it is kept.
std::string ExpectedRegistry(const std::string& before, bool entryKept) {
  winsim::Registry expected;
  expected.ImportRegedit4(before);
  if (entryKept) {
    expected.PutValue(kEntryKey, "DisplayName", win::REG_SZ, setup_test::SzBytes("Orvane"));
    expected.PutValue(kEntryKey, "UninstallString", win::REG_SZ,
                      setup_test::SzBytes("c:\\orvane\\setup.exe uninstall"));
  }
  return expected.ExportRegedit4();
}

void ExpectRemoved(Scenario& s, const char* driverKey, const std::string& row) {
  for (std::string key : {"Printers\\ORVANE", "Monitors\\ORVANE Monitor", driverKey}) {
    EXPECT_FALSE(s->registry().KeyExists(kPrint + key)) << row << ": " << key;
  }
  std::vector<win::PortInfo2> ports;
  EXPECT_EQ(s->spooler().EnumPorts({}, &ports), 0u) << row;
  for (const win::PortInfo2& port : ports) EXPECT_NE(port.pPortName, "ORVANEPORT") << row;
  EXPECT_FALSE(s->spooler().PrinterExists("ORVANE") ||
               s->spooler().DriverInstalled("ORVANE Printer Driver") ||
               s->spooler().MonitorInstalled("ORVANE Monitor"))
      << row;
}

TEST(Uninstall, RemovesTheSpoolerObjectsAndLeavesExactlyTheResidue) {
  for (const Family& f : Families()) {
    const std::string row = winsim::Profile(f.version).name;
    Scenario s(f.version);
    const std::string registryBefore = s->registry().ExportRegedit4();
    const std::vector<std::string> filesAfter = Files(*s, f.residue);
    Start(s, {});
    ASSERT_TRUE(s->spooler().PrinterExists("ORVANE")) << row << ": no whole installation";

    Start(s, {"uninstall"});
    ExpectRemoved(s, f.driver_key, row);
    EXPECT_EQ(Files(*s), filesAfter) << row;
    if (f.version == WindowsVersion::kWin98) {
      // First run: the reboot box; the entry stays for the later run. The log
      // line's own open left 183 (the log existed) for step 7b to read.
      const std::string firstRun =
          "RegDeleteKey Windows 4.0 return: 2\nRegDeleteKey 4.0 Driver: 183\n";
      EXPECT_EQ(Events(*s), (Journal{kAsked, Box(kRebootBox)})) << row;
      EXPECT_EQ(LogText(s), f.install_log + firstRun) << row;
      EXPECT_EQ(s->registry().ExportRegedit4(), ExpectedRegistry(registryBefore, true));
      EXPECT_EQ(FileText(*s, kSettings), "[Parameters]\r\nUninstall=1\r\nQuiet=0\r\n");

      // The later run after the reboot: what is gone already is logged by its
      // code (9x: 87 for an unknown monitor), the entry goes.
      s->Reboot();
      Start(s, {"uninstall"});
      EXPECT_EQ(Events(*s), (Journal{kAsked, Box(kWin9xDoneBox), kEntryNotice})) << row;
      EXPECT_EQ(LogText(s), f.install_log + firstRun +
                                "DeletePrinterDriver: 1797\nDeleteMonitor: 87\n" + firstRun);
      EXPECT_EQ(FileText(*s, kSettings), "[Parameters]\r\nUninstall=1\r\nQuiet=0\r\n");
      EXPECT_EQ(Files(*s), filesAfter) << row;
    } else {
      // Two spooler restarts, the box, the entry; every call succeeded, so
      // nothing is logged, and the settings file is not touched.
      EXPECT_EQ(Events(*s), (Journal{kAsked, kPause, kPause, kPause, kPause, Box(kNtDoneBox),
                                     kEntryNotice}))
          << row;
      EXPECT_EQ(LogText(s), f.install_log) << row;
      EXPECT_EQ(FileText(*s, kSettings), "[Parameters]\r\nQuiet=0\r\n") << row;
    }
    EXPECT_EQ(s->registry().ExportRegedit4(), ExpectedRegistry(registryBefore, false)) << row;
    EXPECT_TRUE(s->services().SpoolerRunning(s->now_ms())) << row;
    EXPECT_EQ(Joined(s->LeakReport()), "") << row;
  }
}

TEST(Uninstall, AnsweringNoChangesNothing) {
  Scenario s(WindowsVersion::kWinXp);
  Start(s, {});
  const std::string registry = s->registry().ExportRegedit4();
  const std::vector<std::string> files = Files(*s);
  const std::string log = FileText(*s, "c:\\orvane\\res\\drivedir\\setup.log");
  const std::string settings = FileText(*s, kSettings);

  Start(s, {"uninstall"}, win::IDNO);
  EXPECT_EQ(Events(*s), (Journal{{"msgbox", "setup", "4", "7", kQuestion}}));
  EXPECT_EQ(s->registry().ExportRegedit4(), registry);
  EXPECT_EQ(Files(*s), files);
  EXPECT_EQ(FileText(*s, "c:\\orvane\\res\\drivedir\\setup.log"), log);
  EXPECT_EQ(FileText(*s, kSettings), settings);
  EXPECT_EQ(Joined(s->LeakReport()), "");
}

// The installer's call: no box; the entry goes on the NT family but stays on
// Windows 95/98/ME, where "Uninstall" becomes "1" all the same.
TEST(Uninstall, SilentShowsNoBoxButStillDeletesTheEntryOnTheNtFamily) {
  struct Row {
    WindowsVersion version;
    Journal events;
    const char* settings;
  };
  const Row rows[] = {
      {WindowsVersion::kWin98, {}, "[Parameters]\r\nUninstall=1\r\nQuiet=0\r\n"},
      {WindowsVersion::kNt4, {kPause, kPause, kPause, kPause, kEntryNotice},
       "[Parameters]\r\nQuiet=0\r\n"},
      {WindowsVersion::kWinXp, {kPause, kPause, kPause, kPause, kEntryNotice},
       "[Parameters]\r\nQuiet=0\r\n"},
  };
  for (const Row& r : rows) {
    const char* row = winsim::Profile(r.version).name;
    Scenario s(r.version);
    Start(s, {});
    s->SetJournal({});
    RunUninstall(*s, 1);
    EXPECT_EQ(Events(*s), r.events) << row;
    EXPECT_EQ(s->registry().KeyExists(kEntryKey), r.events.empty()) << row;
    EXPECT_FALSE(s->spooler().PrinterExists("ORVANE")) << row;
    EXPECT_EQ(FileText(*s, kSettings), r.settings) << row;
    EXPECT_EQ(Joined(s->LeakReport()), "") << row;
  }
}

// A spooler that cannot be restarted, or stays down: every step still runs,
// the codes are logged under the step that reads them, and the registry steps
// take the keys whether or not the spooler could.
TEST(Uninstall, GoesThroughWithASpoolerThatCannotBeControlledOrStaysStopped) {
  struct Row {
    const char* row;
    std::vector<Fault> faults;
    bool stopped_before;
    const char* log;  // the removal's lines
    bool running_after;
  };
  const Row rows[] = {
      // The calls after it fail on the null handle and leave 6.
      {"no service manager", {{"OpenSCManagerA", "", 5, FaultMode::kAlways}}, false,
       "DeletePrinterDriver: 6\nDeleteMonitor: 183\n", true},
      // The start finds the spooler running.
      {"stop refused", {{"ControlService", "", 5, FaultMode::kAlways}}, false,
       "DeletePrinterDriver: 1056\nDeleteMonitor: 183\n", true},
      {"start refused", {{"StartServiceA", "", 1058, FaultMode::kAlways}}, false,
       "DeletePrinterDriver: 1722\nDeleteMonitor: 1722\n", false},
      // The printer cannot be opened; after the restart it still uses the
      // driver and the port. The registry steps take all three.
      {"stopped before", {}, true, "DeletePrinterDriver: 3001\nDeleteMonitor: 3008\n", true},
  };
  const Family xp = Families().back();
  for (const Row& r : rows) {
    Scenario s(WindowsVersion::kWinXp);
    Start(s, {});
    for (const Fault& fault : r.faults) s->faults().Add(fault);
    if (r.stopped_before) s->services().StopSpoolerNow(s->spooler());

    Start(s, {"uninstall"});
    EXPECT_EQ(LogText(s), std::string(xp.install_log) + r.log) << r.row;
    EXPECT_EQ(Events(*s), (Journal{kAsked, kPause, kPause, kPause, kPause, Box(kNtDoneBox),
                                   kEntryNotice}))
        << r.row;
    EXPECT_EQ(s->services().SpoolerRunning(s->now_ms()), r.running_after) << r.row;
    s->services().StartSpoolerNow(s->spooler());  // what the spooler knows afterwards
    ExpectRemoved(s, xp.driver_key, r.row);
    EXPECT_EQ(Joined(s->LeakReport()), "") << r.row;
  }
}

}  // namespace
}  // namespace orvane
