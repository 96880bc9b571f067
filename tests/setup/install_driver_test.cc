// The printer driver through setup: the record each Windows gets, as the
// spooler keeps it; the PostScript prerequisite on Windows 98; the settings
// file's keys and the IniFileMapping entry on the way.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "setup/scenario.h"

namespace orvane {
namespace {

using setup_test::Joined;
using setup_test::Rundll32Event;
using setup_test::Scenario;
using setup_test::SzBytes;
using winsim::FaultMode;
using winsim::WindowsVersion;

constexpr char kEnvironments[] =
    "HKLM\\SYSTEM\\CurrentControlSet\\Control\\Print\\Environments\\";
constexpr char kSettings[] = "C:\\orvane\\res\\orvane.ini";

std::vector<win::BYTE> Bytes(std::string_view text) {
  return std::vector<win::BYTE>(text.begin(), text.end());
}

std::string Setting(winsim::Machine& machine, const char* key) {
  char value[80] = {};
  machine.GetPrivateProfileStringA("Parameters", key, "<absent>", value, kSettings);
  return value;
}

TEST(InstallPrinterDriver, EachWindowsGetsItsRecordFieldByField) {
  struct Row {
    WindowsVersion version;
    std::string key;  // below Environments
    std::vector<std::pair<const char*, std::vector<win::BYTE>>> values;
  };
  // Names, each with its NUL; the literal's own NUL closes the list.
  static constexpr char kWin9xList[] =
      "msprint.cat\0LWNT_470.SPD\0PSCRIPT.DRV\0PSCRIPT.HLP\0PSCRIPT.INI\0TESTPS.TXT\0"
      "APPLE380.SPD\0FONTS.MFM\0ICONLIB.DLL\0PSMON.DLL\0ORVDRIVER.SPD\0";
  static constexpr char kVersion3List[] =
      "orvaneps5.ppd\0orvane.INI\0orvaneui5.DLL\0pscript.ntf\0";
  const Row rows[] = {
      {WindowsVersion::kWin98,
       "Windows 4.0\\Drivers\\ORVANE Printer Driver",
       {{"Driver", SzBytes("Pscript.drv")},
        {"Data File", SzBytes("orvdriver.SPD")},
        {"Configuration File", SzBytes("Pscript.drv")},
        {"Help File", SzBytes("Pscript.hlp")},
        {"Dependent Files", Bytes({kWin9xList, sizeof kWin9xList})},
        {"Monitor", SzBytes("")},
        {"Datatype", SzBytes("RAW")}}},
      {WindowsVersion::kNt4,
       "Windows NT x86\\Drivers\\Version-2\\ORVANE Printer Driver",
       {{"Driver", SzBytes("pscript.dll")},
        {"Data File", SzBytes("ovps.PPD")},
        {"Configuration File", SzBytes("Orvaneui.dll")},
        {"Help File", SzBytes("Pscript.hlp")},
        {"Dependent Files", {0}},
        {"Monitor", SzBytes("")},
        {"Datatype", SzBytes("RAW")}}},
      {WindowsVersion::kWinXp,
       "Windows NT x86\\Drivers\\Version-3\\ORVANE Printer Driver",
       {{"Version", {3, 0, 0, 0}},
        {"Driver", SzBytes("pscript5.dll")},
        {"Data File", SzBytes("orvaneps5.ppd")},
        {"Configuration File", SzBytes("ps5ui.dll")},
        {"Help File", SzBytes("Pscript.hlp")},
        {"Dependent Files", Bytes({kVersion3List, sizeof kVersion3List})},
        {"Monitor", SzBytes("")},
        {"Datatype", SzBytes("RAW")},
        {"Previous Names", {0}},
        {"Manufacturer", SzBytes("Orvane Corporation")},
        {"OEM Url", SzBytes("http://www.orvane.com/")},
        {"HardwareID", SzBytes("")},
        {"Provider", SzBytes("Orvane Corporation")},
        {"DriverVersion", {0, 0, 0, 0, 0, 0, 0, 0}}}},
  };
  for (const Row& r : rows) {
    const std::string row = winsim::Profile(r.version).display_name;
    Scenario machine(r.version);
    machine.Run();
    for (const auto& [name, data] : r.values) {
      auto value = machine.Value(kEnvironments + r.key, name);
      ASSERT_TRUE(value) << row << ": " << name;
      EXPECT_EQ(value->data, data) << row << ": " << name;
    }
  }
}

TEST(CheckPostScriptDriver, MissingOn98ShowsTheWayAndEndsTheInstall) {
  const std::string message =
      "Setup has determined you do not have a Postscript Driver installed. A Postscript "
      "Driver must be installed before you can install Orvane on Windows 98 or ME. In "
      "order to install a Postscript Driver, we recommend you install the Apple "
      "Laserwriter II NT printer driver (you don't need the actual printer). Once this "
      "is complete, please re-install Orvane. Step-by-step dialogs and a help file will "
      "appear to assist you. We apologize for the inconvenience.";
  const std::string download =
      "rundll32.exe url.dll,FileProtocolHandler c:\\orvane\\res\\drivedir\\download.htm";
  const std::string wizard = "rundll32.exe shell32.dll,SHHelpShortcuts_RunDLL AddPrinter";
  const std::string rundll32 = "C:\\WINDOWS\\rundll32.exe";
  struct Row {
    const char* row;
    const char* fault;  // the call that fails; null: none
    const char* match;
    bool launched;  // both starts are tried, with Windows' own rundll32.exe
    bool wizardStarts;
  };
  const Row rows[] = {
      {"both start", nullptr, "", true, true},
      {"the wizard fails", "CreateProcessA", "AddPrinter", true, false},
      // No folder for rundll32.exe: neither starts, and no other copy instead.
      {"no Windows folder", "GetWindowsDirectoryA", "", false, false},
  };
  for (const Row& r : rows) {
    Scenario machine(WindowsVersion::kWin98, {"c:\\orvane", false});
    machine->files().WriteAll("C:\\orvane\\rundll32.exe", "planted");
    machine->files().WriteAll("C:\\Downloads\\rundll32.exe", "planted");
    machine->files().SetCurrentDirectory("C:\\Downloads");
    if (r.fault) machine->faults().Add({r.fault, r.match, 2, FaultMode::kAlways});
    machine.Run();
    std::vector<std::string> journal = {"sleep\t1000", "msgbox\tsetup\t0\t1\t" + message};
    if (r.launched) {
      journal.push_back(winsim::JournalLine("process", Rundll32Event(rundll32, download)));
    }
    journal.push_back("sleep\t5000");
    if (r.launched) {
      journal.push_back(
          winsim::JournalLine("process", Rundll32Event(rundll32, wizard, r.wizardStarts)));
    }
    EXPECT_EQ(Joined(machine->journal()), Joined(journal)) << r.row;
    std::vector<std::string> log = {
        "07-04-03: 09:05is_winnt = FALSE", "07-04-03: 09:05is_win4 = TRUE",
        "07-04-03: 09:05Printer Driver Directory: C:\\WINDOWS\\SYSTEM"};
    if (!r.wizardStarts) {
      log.push_back("07-04-03: 09:05Failed to launch Add Printer dialog");
      log.push_back("");
    }
    EXPECT_EQ(Joined(machine.LogLines()), Joined(log)) << r.row;
    EXPECT_EQ(machine->standard_output(), "") << r.row;
    // Monitor and port stay; no driver, no printer.
    EXPECT_TRUE(
        machine.Value("HKLM\\SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\ORVANE "
                      "Monitor\\Ports\\"
                      "ORVANEPORT",
                      "Command"));
    EXPECT_FALSE(machine->spooler().DriverInstalled("ORVANE Printer Driver"));
    EXPECT_FALSE(machine->registry().KeyExists(
        "HKLM\\SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\ORVANE"));
  }
}

TEST(InstallPrinterDriver, SettingsAndIniFileMappingOnEachPath) {
  const std::string mapping =
      "HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\IniFileMapping\\orvane.ini";
  struct Row {
    const char* row;
    WindowsVersion version;
    bool autocad;
    bool mappingHasSubkey;
    std::string tsEnabled, uninstall;
    bool mappingStays;
  };
  const Row rows[] = {
      {"XP with AutoCAD", WindowsVersion::kWinXp, true, false, "0", "<absent>", false},
      {"XP without", WindowsVersion::kWinXp, false, false, "<absent>", "<absent>", false},
      {"NT 4, mapping with a subkey", WindowsVersion::kNt4, true, true, "0", "<absent>",
       true},
      {"98 with AutoCAD: never looked at", WindowsVersion::kWin98, true, false,
       "<absent>", "", true},
  };
  for (const Row& r : rows) {
    Scenario machine(r.version);
    if (r.autocad) machine->registry().PutKey("HKLM\\Software\\Autodesk\\AutoCad\\R16.0");
    machine->registry().PutKey(mapping);
    if (r.mappingHasSubkey) machine->registry().PutKey(mapping + "\\Nested");
    machine.Run();
    EXPECT_EQ(Setting(*machine, "TS Enabled"), r.tsEnabled) << r.row;
    EXPECT_EQ(Setting(*machine, "Uninstall"), r.uninstall) << r.row;
    EXPECT_EQ(machine->registry().KeyExists(mapping), r.mappingStays) << r.row;
    // The flush follows on the NT path whatever the deletion did.
    bool flushed = false;
    for (const auto& e : setup_test::Events(*machine, "profileflush")) {
      flushed |=
          e.at(0) == std::string(winsim::Profile(r.version).windows_dir) + "\\orvane.ini";
    }
    EXPECT_EQ(flushed, r.version != WindowsVersion::kWin98) << r.row;
    EXPECT_EQ(Joined(machine->LeakReport()), "") << r.row;
  }
}

}  // namespace
}  // namespace orvane
