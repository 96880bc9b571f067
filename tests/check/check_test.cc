// orvcheck's checks against real runs of setup on fresh machines: what each
// Windows takes, what a damaged installation is told, what a removal leaves,
// and that checking changes nothing.
#include "check/check.h"

#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <string>

#include "setup/scenario.h"

namespace orvane::check {
namespace {

using setup_test::Scenario;
using V = winsim::WindowsVersion;

constexpr char kSetupDir[] = "C:\\orvane";
constexpr char kSettings[] = "c:\\orvane\\res\\orvane.ini";
constexpr char kPrinterKey[] = "HKLM\\SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\ORVANE";
constexpr char kEntryKey[] =
    "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Orvane";

const Part* Find(const Report& report, const std::string& id) {
  for (const Part& part : report.parts) {
    if (part.id == id) return &part;
  }
  return nullptr;
}

std::string Describe(const Report& report) { return FormatTable(report); }

// After setup, every part is present but those this Windows cannot take.
TEST(CheckInstallation, EachWindowsHoldsWhatItCanTake) {
  struct Row {
    V version;
    const char* is_xp_or_2000;  // null: no settings file
    std::set<std::string> cannot;
  };
  const Row rows[] = {
      {V::kWinXp, nullptr, {}},
      {V::kWinXp, "0", {}},
      {V::kWin2000, "abc", {}},
      {V::kNt4, nullptr, {}},
      {V::kNt4, "1", {"driver", "printer"}},
      {V::kWin98, nullptr, {}},
      {V::kWinMe, "1", {"driver", "printer"}},
      {V::kWin95, "7", {}},
      {V::kNt351, nullptr, {"driver", "printer"}},
      {V::kWin32s, nullptr, {"monitor", "port", "driver", "printer"}},
  };
  for (const Row& r : rows) {
    Scenario machine(r.version);
    if (r.is_xp_or_2000) {
      machine->files().WriteAll(kSettings,
                                std::string("[Parameters]\r\nIsXPor2000=") + r.is_xp_or_2000);
    }
    const std::string row = std::string(machine->profile().name) +
                            " IsXPor2000=" + (r.is_xp_or_2000 ? r.is_xp_or_2000 : "<none>");
    EXPECT_EQ(ExitCode(CheckInstallation(*machine, kSetupDir)), 1) << row << ": before setup";
    ASSERT_EQ(machine.Run(), 0) << row;
    const Report report = CheckInstallation(*machine, kSetupDir);
    for (const Part& part : report.parts) {
      const bool cannot = r.cannot.count(part.id) > 0;
      EXPECT_EQ(part.status, cannot ? Status::kMissing : Status::kPresent)
          << row << " " << part.id << ": " << part.detail;
      EXPECT_EQ(part.action == Action::kNotOnThisWindows, cannot) << row << " " << part.id;
    }
    EXPECT_EQ(ExitCode(report), r.cannot.empty() ? 0 : 2) << row << "\n" << Describe(report);
  }
}

TEST(CheckInstallation, NamesWhatADamagedInstallationLacksAndWhatToDo) {
  struct Row {
    const char* row;
    std::function<void(winsim::Machine&)> damage;
    const char* part;
    Status status;
    Action action;
    const char* detail;  // part of the part's detail
  };
  const Row rows[] = {
      {"a port value",
       [](winsim::Machine& m) {
         m.registry().RemoveValue(
             "HKLM\\SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\ORVANE Monitor\\Ports\\"
             "ORVANEPORT",
             "ShowWindow");
       },
       "port", Status::kWrong, Action::kRunSetup, "ShowWindow"},
      {"Quiet set",
       [](winsim::Machine& m) {
         m.WritePrivateProfileStringA("Parameters", "Quiet", "1", kSettings);
       },
       "settings", Status::kWrong, Action::kRunSetup, "\"Quiet\" is '1'"},
      {"the printer", [](winsim::Machine& m) { m.registry().RemoveTree(kPrinterKey); }, "printer",
       Status::kMissing, Action::kRunSetup, "no printer \"ORVANE\""},
      {"the printer on another port",
       [](winsim::Machine& m) {
         m.registry().PutValue(kPrinterKey, "Port", win::REG_SZ, setup_test::SzBytes("LPT1:"));
       },
       "printer", Status::kWrong, Action::kReinstall, "on LPT1:"},
      {"the entry", [](winsim::Machine& m) { m.registry().RemoveTree(kEntryKey); },
       "uninstall-entry", Status::kMissing, Action::kRunSetup, "no entry"},
      {"the spooler's copy of the PPD",
       [](winsim::Machine& m) {
         m.files().Remove("C:\\WINDOWS\\system32\\spool\\drivers\\w32x86\\3\\orvaneps5.PPD");
       },
       "driver-files", Status::kMissing, Action::kRunSetup, "w32x86\\3\\orvaneps5.ppd"},
      {"an older monitor DLL",
       [](winsim::Machine& m) {
         m.files().WriteAll("C:\\WINDOWS\\system32\\orvmon.dll", "InitializePrintMonitor2 1.0");
       },
       "monitor-files", Status::kWrong, Action::kRebootThenSetup, "orvmon.dll"},
      {"the spooler stopped", [](winsim::Machine& m) { m.services().StopSpoolerNow(m.spooler()); },
       "spooler", Status::kWrong, Action::kRebootThenSetup, "stopped"},
      {"the spooler stopped, the monitor asked",
       [](winsim::Machine& m) { m.services().StopSpoolerNow(m.spooler()); }, "monitor",
       Status::kWrong, Action::kRebootThenSetup, "(error 1722)"},
  };
  for (const Row& r : rows) {
    Scenario machine(V::kWinXp);
    ASSERT_EQ(machine.Run(), 0);
    r.damage(*machine);
    const Report report = CheckInstallation(*machine, kSetupDir);
    const Part* part = Find(report, r.part);
    ASSERT_NE(part, nullptr) << r.row;
    EXPECT_EQ(part->status, r.status) << r.row << ": " << part->detail;
    EXPECT_EQ(part->action, r.action) << r.row << ": " << ActionName(part->action);
    EXPECT_NE(part->detail.find(r.detail), std::string::npos)
        << r.row << ": '" << part->detail << "' lacks '" << r.detail << "'";
    EXPECT_EQ(ExitCode(report), 2) << r.row << "\n" << Describe(report);
  }
}

TEST(CheckRemoval, OnlyTheResidueAfterARemovalAndTheRestNamed) {
  struct Row {
    const char* row;
    V version;
    std::vector<int> answers;  // one removal run each, a reboot between
    std::function<void(winsim::Machine&)> damage;
    int exit_code;
    const char* part;
    Status status;
  };
  const auto none = [](winsim::Machine&) {};
  const Row rows[] = {
      {"XP", V::kWinXp, {win::IDYES}, none, 0, "uninstall-entry", Status::kGone},
      {"NT 4", V::kNt4, {win::IDYES}, none, 0, "printer", Status::kGone},
      {"98, first run", V::kWin98, {win::IDYES}, none, 0, "uninstall-entry", Status::kStays},
      {"98, both runs",
       V::kWin98,
       {win::IDYES, win::IDYES},
       none,
       0,
       "uninstall-entry",
       Status::kGone},
      {"XP, removal declined", V::kWinXp, {win::IDNO}, none, 2, "printer", Status::kLeft},
      {"XP, entry put back",
       V::kWinXp,
       {win::IDYES},
       [](winsim::Machine& m) {
         m.registry().PutValue(kEntryKey, "DisplayName", win::REG_SZ,
                               setup_test::SzBytes("Orvane"));
       },
       2,
       "uninstall-entry",
       Status::kLeft},
  };
  for (const Row& r : rows) {
    Scenario machine(r.version);
    ASSERT_EQ(machine.Run(), 0) << r.row;
    for (std::size_t i = 0; i < r.answers.size(); ++i) {
      if (i > 0) machine->Reboot();
      machine->answers().push_back(r.answers[i]);
      ASSERT_EQ(machine.Run({"uninstall"}), 0) << r.row;
    }
    r.damage(*machine);
    const Report report = CheckRemoval(*machine, kSetupDir);
    EXPECT_EQ(ExitCode(report), r.exit_code) << r.row << "\n" << Describe(report);
    const Part* part = Find(report, r.part);
    ASSERT_NE(part, nullptr) << r.row;
    EXPECT_EQ(part->status, r.status) << r.row << ": " << part->detail;
  }
}

// Both checks read only: the registry, the journal and the handles are as
// they were, and no program was started.
TEST(Check, ChangesNothingOnTheMachine) {
  for (V version : {V::kWinXp, V::kWin98}) {
    Scenario machine(version);
    ASSERT_EQ(machine.Run(), 0);
    const std::string registry = machine->registry().ExportRegedit4();
    const std::vector<std::string> journal = machine->journal();
    CheckInstallation(*machine, kSetupDir);
    CheckRemoval(*machine, kSetupDir);
    EXPECT_EQ(machine->registry().ExportRegedit4(), registry) << machine->profile().name;
    EXPECT_EQ(machine->journal(), journal) << machine->profile().name;
    EXPECT_EQ(machine->LeakReport(), std::vector<std::string>{}) << machine->profile().name;
  }
}

}  // namespace
}  // namespace orvane::check
