// The campaign's judgement of the product's state: what a whole installation
// holds on each Windows, and what a removal may leave. Each is checked against
// a real run of setup on a fresh machine, then against that state damaged.
#include "tools/campaign/product_state.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "setup/scenario.h"

namespace orvane::campaign {
namespace {

using setup_test::Scenario;
using V = winsim::WindowsVersion;

constexpr char kSettings[] = "c:\\orvane\\res\\orvane.ini";
constexpr char kPort[] =
    "HKLM\\SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\ORVANE Monitor\\Ports\\"
    "ORVANEPORT";

TEST(ExpectedInstallation, FollowsTheSpoolerAndIsXPor2000) {
  struct Row {
    V version;
    const char* is_xp_or_2000;  // null: no settings file
    bool monitor, driver, version3;
  };
  const Row rows[] = {
      {V::kWinXp, nullptr, true, true, true},     {V::kWinXp, "0", true, true, false},
      {V::kWin2000, "abc", true, true, false},    {V::kWinXp, " 1", true, true, true},
      {V::kNt4, nullptr, true, true, false},      {V::kNt4, "1", true, false, true},
      {V::kWin98, nullptr, true, true, false},    {V::kWinMe, "1", true, false, true},
      {V::kWin95, "7", true, true, false},        {V::kNt351, nullptr, true, false, false},
      {V::kWin32s, nullptr, false, false, false},
  };
  for (const Row& r : rows) {
    Scenario machine(r.version);
    if (r.is_xp_or_2000) {
      machine->files().WriteAll(kSettings,
                                std::string("[Parameters]\r\nIsXPor2000=") + r.is_xp_or_2000);
    }
    const WholeInstallation whole = ExpectedInstallation(*machine, kSettings);
    const std::string row = std::string(machine->profile().name) +
                            " IsXPor2000=" + (r.is_xp_or_2000 ? r.is_xp_or_2000 : "<none>");
    EXPECT_EQ(whole.monitor, r.monitor) << row;
    EXPECT_EQ(whole.driver, r.driver) << row;
    EXPECT_EQ(whole.version3, r.version3) << row;
  }
}

TEST(MissingFromInstallation, NothingAfterAHealthyInstallOnEveryWindows) {
  for (const winsim::VersionProfile& profile : winsim::AllProfiles()) {
    Scenario machine(profile.version);
    ASSERT_EQ(machine.Run(), 0);
    const auto missing = MissingFromInstallation(*machine, "C:\\orvane", false);
    EXPECT_TRUE(missing.empty()) << profile.name << ": " << missing.front();
  }
}

TEST(MissingFromInstallation, NamesWhatADamagedInstallationLacks) {
  struct Row {
    const char* row;
    std::function<void(winsim::Machine&)> damage;
    bool rpc_unavailable;
    const char* missing;  // part of a line; null: nothing missing
  };
  const Row rows[] = {
      {"a port value", [](winsim::Machine& m) { m.registry().RemoveValue(kPort, "ShowWindow"); },
       false, "ShowWindow"},
      {"Quiet set",
       [](winsim::Machine& m) {
         m.WritePrivateProfileStringA("Parameters", "Quiet", "1", kSettings);
       },
       false, "Quiet"},
      {"the printer",
       [](winsim::Machine& m) {
         m.registry().RemoveTree(
             "HKLM\\SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\ORVANE");
       },
       false, "printer \"ORVANE\" missing"},
      {"the entry",
       [](winsim::Machine& m) {
         m.registry().RemoveTree(
             "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Orvane");
       },
       false, "DisplayName"},
      {"the entry after an unreachable spooler",
       [](winsim::Machine& m) {
         m.registry().RemoveTree(
             "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Orvane");
       },
       true, nullptr},
  };
  for (const Row& r : rows) {
    Scenario machine(V::kWinXp);
    ASSERT_EQ(machine.Run(), 0);
    r.damage(*machine);
    const auto missing = MissingFromInstallation(*machine, "C:\\orvane", r.rpc_unavailable);
    if (r.missing == nullptr) {
      EXPECT_TRUE(missing.empty()) << r.row << ": " << missing.front();
      continue;
    }
    bool named = false;
    for (const std::string& line : missing)
      named = named || line.find(r.missing) != std::string::npos;
    EXPECT_TRUE(named) << r.row << ": expected '" << r.missing << "' among " << missing.size()
                       << " line(s)";
  }
}

TEST(ResidueFindings, NoneAfterInstallAndUninstallAndTheLeftoverWhenDamaged) {
  for (V version : {V::kWinXp, V::kNt4, V::kWin98}) {
    for (bool damaged : {false, true}) {
      Scenario machine(version);
      machine->files().WriteAll(kSettings, "[Parameters]\r\nLanguage=de\r\n");
      const Snapshot before = TakeSnapshot(*machine);
      const SettingsBefore settings = ReadSettingsBefore(*machine, kSettings);
      ASSERT_EQ(machine.Run(), 0);
      machine->answers().push_back(win::IDYES);
      ASSERT_EQ(machine.Run({"uninstall"}), 0);
      if (!machine->profile().nt_family) {
        machine->Reboot();
        machine->answers().push_back(win::IDYES);
        ASSERT_EQ(machine.Run({"uninstall"}), 0);
      }
      if (damaged) {
        machine->registry().PutValue(
            "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Orvane", "DisplayName",
            win::REG_SZ, {'O', 0});
      }
      const auto findings =
          ResidueFindings(*machine, before, TakeSnapshot(*machine), settings, "C:\\orvane");
      const std::string row = std::string(machine->profile().name) + (damaged ? " damaged" : "");
      if (damaged) {
        ASSERT_EQ(findings.size(), 1u) << row;
        EXPECT_NE(findings[0].find("Uninstall\\Orvane"), std::string::npos) << findings[0];
      } else {
        EXPECT_TRUE(findings.empty()) << row << ": " << findings.front();
      }
    }
  }
}

}  // namespace
}  // namespace orvane::campaign
