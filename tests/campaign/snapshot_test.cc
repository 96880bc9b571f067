// What counts as a change outside the product: a fresh machine is changed in
// one way per row, and the comparison must name exactly the changes that are
// not the product's own.
#include "tools/campaign/snapshot.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "main/product_tree.h"
#include "setup/fixture.h"
#include "winsim/layout.h"

namespace orvane::campaign {
namespace {

using setup_test::TempFolder;

constexpr char kPrint[] = "HKLM\\SYSTEM\\CurrentControlSet\\Control\\Print";

std::vector<win::BYTE> Sz(std::string_view text) {
  std::vector<win::BYTE> bytes(text.begin(), text.end());
  bytes.push_back(0);
  return bytes;
}

struct Row {
  const char* row;
  winsim::WindowsVersion version;
  std::function<void(winsim::Machine&)> change;
  const char* finding;  // part of the one finding expected; null: none
};

TEST(ChangesOutsideProduct, NamesEveryChangeThatIsNotTheProducts) {
  using V = winsim::WindowsVersion;
  const Row rows[] = {
      {"nothing", V::kWinXp, [](winsim::Machine&) {}, nullptr},
      {"the product's printer key", V::kWinXp,
       [](winsim::Machine& m) {
         m.registry().PutValue(std::string(kPrint) + "\\Printers\\ORVANE\\PrinterDriverData",
                               "PrinterData", win::REG_BINARY, {1});
       },
       nullptr},
      {"the product's driver under a version", V::kWinXp,
       [](winsim::Machine& m) {
         m.registry().PutValue(std::string(kPrint) +
                                   "\\Environments\\Windows NT x86\\Drivers\\Version-3\\"
                                   "ORVANE Printer Driver",
                               "Driver", win::REG_SZ, Sz("pscript5.dll"));
       },
       nullptr},
      {"a printer whose name begins like the product's", V::kWinXp,
       [](winsim::Machine& m) {
         m.registry().PutValue(std::string(kPrint) + "\\Printers\\ORVANE 2", "Name", win::REG_SZ,
                               Sz("ORVANE 2"));
       },
       "key added"},
      {"another uninstall entry removed", V::kWinXp,
       [](winsim::Machine& m) {
         m.registry().RemoveTree("HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall");
       },
       "key removed"},
      {"the way to the product's key made, empty", V::kWin32s,
       [](winsim::Machine& m) {
         m.registry().PutKey(
             "HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\IniFileMapping");
       },
       nullptr},
      {"the way to the product's key made, with a value", V::kWin32s,
       [](winsim::Machine& m) {
         m.registry().PutValue(
             "HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\IniFileMapping", "x",
             win::REG_SZ, Sz("y"));
       },
       "key added"},
      {"a local port's value", V::kWin98,
       [](winsim::Machine& m) {
         m.registry().PutValue("HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Ports",
                               "LPT1:", win::REG_SZ, Sz("x"));
       },
       "value changed"},
      {"the product's monitor DLL", V::kWinXp,
       [](winsim::Machine& m) { m.files().WriteAll("C:\\WINDOWS\\system32\\orvmon.dll", "x"); },
       nullptr},
      {"the other family's monitor DLL", V::kWinXp,
       [](winsim::Machine& m) { m.files().WriteAll("C:\\WINDOWS\\system32\\orvmon95.dll", "x"); },
       "file added"},
      {"a driver file in the version folder", V::kWinXp,
       [](winsim::Machine& m) {
         m.files().WriteAll("C:\\WINDOWS\\system32\\spool\\drivers\\w32x86\\3\\ps5ui.dll", "x");
       },
       nullptr},
      {"a driver file two folders down", V::kWinXp,
       [](winsim::Machine& m) {
         m.files().WriteAll("C:\\WINDOWS\\system32\\spool\\drivers\\w32x86\\3\\x\\ps5ui.dll", "x");
       },
       "file added"},
      {"Windows' own PostScript help on 98", V::kWin98,
       [](winsim::Machine& m) { m.files().WriteAll("C:\\WINDOWS\\SYSTEM\\Pscript.hlp", "x"); },
       "file changed"},
      {"Windows' own file", V::kWinXp,
       [](winsim::Machine& m) { m.files().Remove("C:\\WINDOWS\\system32\\url.dll"); },
       "file removed"},
      {"a file of the product's folder", V::kWinXp,
       [](winsim::Machine& m) { m.files().WriteAll("C:\\orvane\\res\\drivedir\\setup.log", "x"); },
       nullptr},
  };
  for (const Row& r : rows) {
    TempFolder folder;
    winsim::Machine machine(r.version, folder.path() / "drive_c");
    winsim::LayOutWindows(machine);
    LayOutProduct(machine, "c:\\orvane");
    const ProductScope scope(machine.profile(), "C:\\orvane", "");
    const Snapshot before = TakeSnapshot(machine);
    r.change(machine);
    const auto findings =
        ChangesOutsideProduct(before, TakeSnapshot(machine), scope, machine.profile().windows_dir);
    if (r.finding == nullptr) {
      EXPECT_TRUE(findings.empty()) << r.row << ": " << findings.front();
    } else {
      ASSERT_EQ(findings.size(), 1u) << r.row;
      EXPECT_NE(findings[0].find(r.finding), std::string::npos)
          << r.row << ": actual '" << findings[0] << "', expected '" << r.finding << "'";
    }
  }
}

TEST(SettingsChanges, OnlyTheInstallersKeysOfParametersMayChange) {
  const std::string before =
      "; mine\r\n[Output]\r\nDirectory=C:\\PDF\r\n\r\n[Parameters]\r\nIsXPor2000=1\r\n"
      "Quiet = 1\r\nLanguage=de\r\n";
  struct Row {
    const char* row;
    const std::string* was;
    std::string is;
    bool changed;
  };
  const Row rows[] = {
      {"Quiet reset, Uninstall and TS Enabled added", &before,
       "; mine\r\n[Output]\r\nDirectory=C:\\PDF\r\n\r\n[Parameters]\r\nIsXPor2000=1\r\n"
       "Quiet=0\r\nLanguage=de\r\nUninstall=\r\nTS Enabled=0\r\n",
       false},
      {"a new file with the section alone", nullptr, "[Parameters]\r\nQuiet=0\r\n", false},
      {"IsXPor2000 changed", &before,
       "; mine\r\n[Output]\r\nDirectory=C:\\PDF\r\n\r\n[Parameters]\r\nIsXPor2000=0\r\n"
       "Quiet=0\r\nLanguage=de\r\n",
       true},
      {"a key of its own lost", &before,
       "; mine\r\n[Output]\r\nDirectory=C:\\PDF\r\n\r\n[Parameters]\r\nIsXPor2000=1\r\n"
       "Quiet=0\r\n",
       true},
      {"another section changed", &before,
       "; mine\r\n[Output]\r\nDirectory=C:\\\r\n\r\n[Parameters]\r\nIsXPor2000=1\r\n"
       "Quiet=0\r\nLanguage=de\r\n",
       true},
      {"the comment lost", &before,
       "[Output]\r\nDirectory=C:\\PDF\r\n\r\n[Parameters]\r\nIsXPor2000=1\r\nQuiet=0\r\n"
       "Language=de\r\n",
       true},
      {"the file deleted", &before, "", true},
  };
  for (const Row& r : rows) {
    const std::string* is = r.row == std::string("the file deleted") ? nullptr : &r.is;
    EXPECT_EQ(!SettingsChanges(r.was, is).empty(), r.changed) << r.row;
  }
}

TEST(SearchPathChanges, OnlyTheThreeWindowsFoldersMayBeAdded) {
  const std::string w = "C:\\WINDOWS";
  const winsim::RegValue before{"Path", win::REG_EXPAND_SZ,
                                Sz("%SystemRoot%\\system32;;C:\\Tools\\bin;%SystemRoot%\\")};
  struct Row {
    const char* row;
    winsim::RegValue after;
    bool changed;
  };
  const std::string repaired = w + "\\system32;" + w + ";" + w + "\\system32\\wbem";
  const Row rows[] = {
      {"repaired, own entry kept",
       {"Path", win::REG_EXPAND_SZ, Sz(repaired + ";C:\\Tools\\bin")},
       false},
      {"own entry lost", {"Path", win::REG_EXPAND_SZ, Sz(repaired)}, true},
      {"an entry added",
       {"Path", win::REG_EXPAND_SZ, Sz(repaired + ";C:\\Tools\\bin;C:\\x")},
       true},
      {"type changed", {"Path", win::REG_SZ, Sz(repaired + ";C:\\Tools\\bin")}, true},
      {"folders in another order",
       {"Path", win::REG_EXPAND_SZ,
        Sz(w + ";" + w + "\\system32;" + w + "\\system32\\wbem;C:\\Tools\\bin")},
       true},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(!SearchPathChanges(&before, &r.after, w).empty(), r.changed) << r.row;
  }
  EXPECT_FALSE(SearchPathChanges(&before, nullptr, w).empty()) << "removed";
  EXPECT_TRUE(SearchPathChanges(&before, &before, w).empty()) << "unchanged";
}

}  // namespace
}  // namespace orvane::campaign
