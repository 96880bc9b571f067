// orvcheck's two checks after real runs of setup. A row installs (and removes),
// damages, asks one question and names every part not as a healthy run leaves
// it; the others must be present (after a removal: present, gone or staying).
// No check changes the machine: registry, journal and handles stay as they were.
#include "check/check.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <set>
#include <sstream>
#include <string>

#include "setup/scenario.h"

namespace orvane::check {
namespace {

using setup_test::Scenario;
using setup_test::SzBytes;
using V = winsim::WindowsVersion;
using M = winsim::Machine;

constexpr char kPrinterKey[] = "HKLM\\SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\ORVANE";
constexpr char kPortKey[] =
    "HKLM\\SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\ORVANE Monitor\\Ports\\ORVANEPORT";
constexpr char kEntryKey[] =
    "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Orvane";
const std::string kSystem32 = "C:\\WINDOWS\\system32\\";
constexpr char kNotHere[] = "missing not-on-this-windows";
const std::string kNoDriver = std::string("driver ") + kNotHere + "; printer " + kNotHere;
constexpr char kSilent[] = " wrong reboot-then-setup (error 1722);";

// `removals`: the answers of removal runs, a reboot between; none asks the
// installation question, else the removal one. `parts`: "part status [action
// [part of the detail]];" for each part named.
struct Row {
  const char* row;
  V version;
  const char* is_xp_or_2000;  // in the settings file before setup; null: no file
  std::vector<int> removals;
  std::function<void(M&)> damage;  // after the runs
  int exit_code;
  std::string parts;
};

const auto kNone = [](M&) {};
const Row kRows[] = {
    {"XP", V::kWinXp, nullptr, {}, kNone, 0, ""},
    {"XP IsXPor2000=0", V::kWinXp, "0", {}, kNone, 0, ""},
    {"2000 IsXPor2000=abc", V::kWin2000, "abc", {}, kNone, 0, ""},
    {"NT 4", V::kNt4, nullptr, {}, kNone, 0, ""},
    {"NT 4 IsXPor2000=1", V::kNt4, "1", {}, kNone, 2, kNoDriver},
    {"98", V::kWin98, nullptr, {}, kNone, 0, ""},
    {"ME IsXPor2000=1", V::kWinMe, "1", {}, kNone, 2, kNoDriver},
    {"95 IsXPor2000=7", V::kWin95, "7", {}, kNone, 0, ""},
    {"NT 3.51", V::kNt351, nullptr, {}, kNone, 2, kNoDriver},
    {"Win32s", V::kWin32s, nullptr, {}, kNone, 2,
     kNoDriver + "; monitor missing not-on-this-windows; port " + kNotHere},
    {"XP, a port value lost", V::kWinXp, nullptr, {},
     [](M& m) { m.registry().RemoveValue(kPortKey, "ShowWindow"); }, 2,
     "port wrong run-setup missing ShowWindow"},
    {"XP, Quiet set", V::kWinXp, nullptr, {},
     [](M& m) {
       m.WritePrivateProfileStringA("Parameters", "Quiet", "1", "c:\\orvane\\res\\orvane.ini");
     },
     2, "settings wrong run-setup \"Quiet\" is '1', not '0'"},
    {"XP, the printer's key gone", V::kWinXp, nullptr, {},
     [](M& m) { m.registry().RemoveTree(kPrinterKey); }, 2,
     "printer missing run-setup no printer \"ORVANE\"; printer-data missing run-setup"},
    {"XP, the printer on another port", V::kWinXp, nullptr, {},
     [](M& m) { m.registry().PutValue(kPrinterKey, "Port", win::REG_SZ, SzBytes("LPT1:")); }, 2,
     "printer wrong reinstall \"ORVANE\" on LPT1:"},
    {"XP, the entry gone", V::kWinXp, nullptr, {},
     [](M& m) { m.registry().RemoveTree(kEntryKey); }, 2,
     "uninstall-entry missing run-setup no entry \"Orvane\""},
    {"XP, the spooler's copy of the PPD gone", V::kWinXp, nullptr, {},
     [](M& m) { m.files().Remove(kSystem32 + "spool\\drivers\\w32x86\\3\\orvaneps5.PPD"); },
     2, "driver-files missing run-setup w32x86\\3\\orvaneps5.ppd"},
    {"XP, an older monitor DLL", V::kWinXp, nullptr, {},
     [](M& m) { m.files().WriteAll(kSystem32 + "orvmon.dll", "InitializePrintMonitor2 1.0"); },
     2, "monitor-files wrong reboot-then-setup orvmon.dll"},
    {"XP, the spooler stopped", V::kWinXp, nullptr, {},
     [](M& m) { m.services().StopSpoolerNow(m.spooler()); }, 2,
     std::string("spooler wrong reboot-then-setup stopped; monitor") + kSilent + "port" + kSilent +
         "driver" + kSilent + "printer" + kSilent},
    {"XP removed", V::kWinXp, nullptr, {win::IDYES}, kNone, 0,
     "monitor gone; port gone; driver gone; printer gone; uninstall-entry gone; settings stays"},
    {"NT 4 removed", V::kNt4, nullptr, {win::IDYES}, kNone, 0, "printer gone; driver gone"},
    {"98, 1st removal", V::kWin98, nullptr, {win::IDYES}, kNone, 0, "uninstall-entry stays"},
    {"98, both removals", V::kWin98, nullptr, {win::IDYES, win::IDYES}, kNone, 0,
     "uninstall-entry gone; settings stays"},
    {"XP, removal declined", V::kWinXp, nullptr, {win::IDNO}, kNone, 2,
     "printer left run-uninstall; driver left; monitor left; port left; uninstall-entry left"},
    {"XP, the entry put back", V::kWinXp, nullptr, {win::IDYES},
     [](M& m) { m.registry().PutValue(kEntryKey, "DisplayName", win::REG_SZ, SzBytes("Orvane")); },
     2, "uninstall-entry left run-uninstall"},
};

struct Expected { std::string status, action, detail; };

TEST(Check, EachRowsReportNamesWhatIsNotAsAHealthyRunLeavesIt) {
  for (const Row& r : kRows) {
    Scenario machine(r.version);
    if (r.is_xp_or_2000) {
      machine->files().WriteAll("c:\\orvane\\res\\orvane.ini",
                                std::string("[Parameters]\r\nIsXPor2000=") + r.is_xp_or_2000);
    }
    const bool removal = !r.removals.empty();
    if (!removal) {
      EXPECT_EQ(ExitCode(CheckInstallation(*machine, "C:\\orvane")), 1) << r.row << ": before";
    }
    ASSERT_EQ(machine.Run(), 0) << r.row;
    for (std::size_t i = 0; i < r.removals.size(); ++i) {
      if (i > 0) machine->Reboot();
      machine->answers().push_back(r.removals[i]);
      ASSERT_EQ(machine.Run({"uninstall"}), 0) << r.row;
    }
    r.damage(*machine);
    const std::string registry = machine->registry().ExportRegedit4();
    const std::vector<std::string> journal = machine->journal();
    const Report report = removal ? CheckRemoval(*machine, "C:\\orvane")
                                  : CheckInstallation(*machine, "C:\\orvane");
    EXPECT_EQ(machine->registry().ExportRegedit4(), registry) << r.row;
    EXPECT_EQ(machine->journal(), journal) << r.row;
    EXPECT_EQ(machine->LeakReport(), std::vector<std::string>{}) << r.row;
    EXPECT_EQ(ExitCode(report), r.exit_code) << r.row << "\n" << FormatTable(report);

    std::map<std::string, Expected> expected;
    std::istringstream items(r.parts);
    for (std::string item; std::getline(items, item, ';');) {
      std::istringstream words(item);
      std::string id;
      Expected e;
      words >> id >> e.status >> e.action >> std::ws;
      std::getline(words, e.detail);
      if (!id.empty()) expected[id] = e;
    }
    const std::set<std::string> fine = removal ? std::set<std::string>{"present", "gone", "stays"}
                                               : std::set<std::string>{"present"};
    for (const Part& part : report.parts) {
      const std::string where = std::string(r.row) + ", " + part.id + ": " + part.detail;
      auto e = expected.find(part.id);
      if (e == expected.end()) {
        EXPECT_EQ(fine.count(StatusName(part.status)), 1u) << where;
        continue;
      }
      EXPECT_EQ(StatusName(part.status), e->second.status) << where;
      if (!e->second.action.empty()) {
        EXPECT_EQ(ActionName(part.action), e->second.action) << where;
      }
      EXPECT_NE(part.detail.find(e->second.detail), std::string::npos) << where;
      expected.erase(e);
    }
    for (const auto& [id, e] : expected) ADD_FAILURE() << r.row << ": no part " << id;
  }
}

}  // namespace
}  // namespace orvane::check
