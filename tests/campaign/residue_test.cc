// The campaign's residue rule over orvcheck's removal check: nothing after a
// healthy install and uninstall, and the leftover named once when damaged.
#include "tools/campaign/residue.h"

#include <gtest/gtest.h>

#include <string>

#include "setup/scenario.h"

namespace orvane::campaign {
namespace {

using setup_test::Scenario;
using V = winsim::WindowsVersion;

constexpr char kSettings[] = "c:\\orvane\\res\\orvane.ini";

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
        EXPECT_NE(findings[0].find("uninstall-entry"), std::string::npos) << findings[0];
      } else {
        EXPECT_TRUE(findings.empty()) << row << ": " << findings.front();
      }
    }
  }
}

}  // namespace
}  // namespace orvane::campaign
