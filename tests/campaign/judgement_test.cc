// How the campaign judges a run: the setup log's allowlist, the changes outside
// the product (a fresh machine changed in one way per row, exactly the changes
// not the product's own named), the rules of the settings file and the search
// path, and the residue of a healthy install and removal.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "setup/scenario.h"
#include "tools/campaign/log_allowlist.h"
#include "tools/campaign/residue.h"
#include "tools/campaign/snapshot.h"

namespace orvane::campaign {
namespace {

using setup_test::SzBytes;
using V = winsim::WindowsVersion;
using Change = std::function<void(winsim::Machine&)>;

const std::string kPrint = "HKLM\\SYSTEM\\CurrentControlSet\\Control\\Print\\";
const std::string kUninstall = "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
const std::string kPorts = "HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Ports";
const std::string kMapping =
    "HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\IniFileMapping";
const std::string kSystem32 = "C:\\WINDOWS\\system32\\";
const std::string kDrivers = kSystem32 + "spool\\drivers\\w32x86\\";

Change Put(const std::string& key, const char* name, const char* text) {
  return [=](winsim::Machine& m) { m.registry().PutValue(key, name, win::REG_SZ, SzBytes(text)); };
}
Change Write(const std::string& path) {
  return [=](winsim::Machine& m) { m.files().WriteAll(path, "x"); };
}

std::string Line(const std::string& text) { return "07-04-03: 09:05" + text + "\r\n"; }

TEST(CheckLog, PassesTheInstallersLinesAndFindsWhatItNeverWrites) {
  const char* kNotAllowed = "not in the allowlist";
  const struct {
    std::string log;
    const char* finding;  // part of the first finding; null: none
  } rows[] = {
      {Line("is_winnt = TRUE") + Line("is_win4 = FALSE") + Line("GetSystemDirectory failed\r\n"),
       nullptr},
      {Line("Failed to read file\r\n") + Line("Failed to open ovprndata5.dat\r\n"), nullptr},
      {Line("AddPrinterDriver: 4294967295") + Line("RegDeleteKey Windows 4.0 return: 0"), nullptr},
      {Line("CopyFile OutFile.Open Failed: C:\\orvane\\res\\drivedir\\orvmon.dll"), nullptr},
      {Line("CopyFile InFile.Open Failed: \\res\\drivedir\\ovps.PPD"), nullptr},
      {Line("Printer Driver Directory: c:\\Program Files\\x y"), nullptr},
      {Line("CopyFile OutFile.Remove Failed: C:\\WINDOWS\\system32\\orvmon.dll"), nullptr},
      {Line("GetPrinterDriverDirectory: 1722") + "12-31-99: 23:59startrpc: 1722\r\n", nullptr},
      {"", nullptr},
      {Line("Hello"), kNotAllowed},
      {Line("is_winnt = true"), kNotAllowed},
      {Line("AddMonitor: -5"), kNotAllowed},
      {Line("AddMonitor: 4294967296"), kNotAllowed},
      {Line("AddMonitor: 05"), kNotAllowed},
      {Line("AddMonitor: "), kNotAllowed},
      {Line("CopyFile Read Failed: orvmon.dll"), kNotAllowed},
      {Line("Printer Driver Directory: C:\\a\nb"), kNotAllowed},
      {Line("CopyFile OutFile.Open Failed: C:\\WINDOWS\\system32\\orvmon.dll"), kNotAllowed},
      {"07-04-03: 09:05:00is_winnt = TRUE\r\n", kNotAllowed},
      {"is_winnt = TRUE\r\n", "without a time stamp"},
      {"13-04-03: 09:05is_winnt = TRUE\r\n", "without a time stamp"},
      {Line("Failed to read file") + Line("is_win4 = TRUE"), "no empty line"},
      {Line("AddPrinter: 5") + "\r\n", "stray empty"},
      {Line("is_winnt = TRUE") + "07-04-03: 09:05is_wi", "without a line break"},
      {Line("Failed to open ovfonts.tbl"), "ends before"},
  };
  for (const auto& r : rows) {
    const auto findings = CheckLog(r.log);
    if (r.finding == nullptr) {
      EXPECT_TRUE(findings.empty()) << r.log << ": " << findings.front();
    } else {
      ASSERT_FALSE(findings.empty()) << r.log;
      EXPECT_NE(findings[0].find(r.finding), std::string::npos) << r.log << ": " << findings[0];
    }
  }
  std::size_t lines = 0;
  CheckLog(Line("Failed to allocate memory\r\n") + Line("is_win4 = TRUE"), &lines);
  EXPECT_EQ(lines, 3u) << "the empty line counts as a line";
}

TEST(ChangesOutsideProduct, NamesEveryChangeThatIsNotTheProducts) {
  const struct {
    const char* row;
    V version;
    Change change;
    const char* finding;  // part of the one finding expected; null: none
  } rows[] = {
      {"nothing", V::kWinXp, [](winsim::Machine&) {}, nullptr},
      {"the product's printer", V::kWinXp, Put(kPrint + "Printers\\ORVANE\\x", "x", "x"), nullptr},
      {"the product's driver under a version", V::kWinXp,
       Put(kPrint + "Environments\\Windows NT x86\\Drivers\\Version-3\\ORVANE Printer Driver",
           "x", "x"), nullptr},
      {"ORVANE 2 printer", V::kWinXp, Put(kPrint + "Printers\\ORVANE 2", "x", "x"), "key added"},
      {"another uninstall entry removed", V::kWinXp,
       [](winsim::Machine& m) { m.registry().RemoveTree(kUninstall); }, "key removed"},
      {"the way to the product's key, empty", V::kWin32s,
       [](winsim::Machine& m) { m.registry().PutKey(kMapping); }, nullptr},
      {"the way to the product's key, a value", V::kWin32s, Put(kMapping, "x", "y"), "key added"},
      {"a local port's value", V::kWin98, Put(kPorts, "LPT1:", "x"), "value changed"},
      {"the product's monitor DLL", V::kWinXp, Write(kSystem32 + "orvmon.dll"), nullptr},
      {"the other family's monitor", V::kWinXp, Write(kSystem32 + "orvmon95.dll"), "file added"},
      {"a driver file, version folder", V::kWinXp, Write(kDrivers + "3\\ps5ui.dll"), nullptr},
      {"a driver file, two folders down", V::kWinXp, Write(kDrivers + "3\\x\\ps5ui.dll"),
       "file added"},
      {"98's own PostScript help", V::kWin98, Write("C:\\WINDOWS\\SYSTEM\\Pscript.hlp"),
       "file changed"},
      {"Windows' own file", V::kWinXp,
       [](winsim::Machine& m) { m.files().Remove(kSystem32 + "url.dll"); }, "file removed"},
      {"the product's folder", V::kWinXp, Write("C:\\orvane\\res\\drivedir\\setup.log"), nullptr},
  };
  for (const auto& r : rows) {
    setup_test::Scenario machine(r.version);
    const Snapshot before = TakeSnapshot(*machine);
    r.change(*machine);
    const ProductScope scope(machine->profile(), "C:\\orvane", "");
    const auto findings = ChangesOutsideProduct(before, TakeSnapshot(*machine), scope,
                                                machine->profile().windows_dir);
    ASSERT_EQ(findings.size(), r.finding ? 1u : 0u)
        << r.row << ": " << (findings.empty() ? "" : findings[0]);
    if (r.finding) {
      EXPECT_NE(findings[0].find(r.finding), std::string::npos) << r.row << ": " << findings[0];
    }
  }
}

TEST(SettingsAndSearchPath, OnlyTheInstallersChangesPass) {
  const std::string head = "; mine\r\n[Output]\r\nDirectory=C:\\PDF\r\n\r\n[Parameters]\r\n";
  const std::string keys = "IsXPor2000=1\r\nQuiet=0\r\nLanguage=de\r\n";
  const std::string before = head + "IsXPor2000=1\r\nQuiet = 1\r\nLanguage=de\r\n";
  const struct {
    const std::string* was;  // null: no file
    std::string is;          // "": the file deleted
    bool changed;
  } rows[] = {
      {&before, head + keys + "Uninstall=\r\nTS Enabled=0\r\n", false},
      {nullptr, "[Parameters]\r\nQuiet=0\r\n", false},
      {&before, head + "IsXPor2000=0\r\nQuiet=0\r\nLanguage=de\r\n", true},
      {&before, head + "IsXPor2000=1\r\nQuiet=0\r\n", true},
      {&before, "; mine\r\n[Output]\r\nDirectory=C:\\\r\n\r\n[Parameters]\r\n" + keys, true},
      {&before, head.substr(8) + keys, true},
      {&before, "", true},
  };
  for (const auto& r : rows) {
    EXPECT_EQ(!SettingsChanges(r.was, r.is.empty() ? nullptr : &r.is).empty(), r.changed) << r.is;
  }
  // The search path: only the three Windows folders may be added.
  const std::string w = "C:\\WINDOWS", own = ";C:\\Tools\\bin";
  const std::string repaired = w + "\\system32;" + w + ";" + w + "\\system32\\wbem";
  const winsim::RegValue path{"Path", win::REG_EXPAND_SZ,
                              SzBytes("%SystemRoot%\\system32;;C:\\Tools\\bin;%SystemRoot%\\")};
  const struct {
    win::DWORD type;
    std::string text;
    bool changed;
  } paths[] = {
      {win::REG_EXPAND_SZ, repaired + own, false},
      {win::REG_EXPAND_SZ, repaired, true},
      {win::REG_EXPAND_SZ, repaired + own + ";C:\\x", true},
      {win::REG_SZ, repaired + own, true},
      {win::REG_EXPAND_SZ, w + ";" + w + "\\system32;" + w + "\\system32\\wbem" + own, true},
  };
  for (const auto& r : paths) {
    const winsim::RegValue after{"Path", r.type, SzBytes(r.text)};
    EXPECT_EQ(!SearchPathChanges(&path, &after, w).empty(), r.changed) << r.text;
  }
  EXPECT_FALSE(SearchPathChanges(&path, nullptr, w).empty()) << "removed";
  EXPECT_TRUE(SearchPathChanges(&path, &path, w).empty()) << "unchanged";
}

// Nothing after a healthy install and uninstall (two runs, a reboot between,
// on 98), and the leftover named once when damaged.
TEST(ResidueFindings, NoneAfterInstallAndUninstallAndTheLeftoverWhenDamaged) {
  const char* kSettings = "c:\\orvane\\res\\orvane.ini";
  for (V version : {V::kWinXp, V::kNt4, V::kWin98}) {
    setup_test::Scenario machine(version);
    machine->files().WriteAll(kSettings, "[Parameters]\r\nLanguage=de\r\n");
    const Snapshot before = TakeSnapshot(*machine);
    const SettingsBefore settings = ReadSettingsBefore(*machine, kSettings);
    ASSERT_EQ(machine.Run(), 0);
    for (int run = 0; run < (machine->profile().nt_family ? 1 : 2); ++run) {
      if (run > 0) machine->Reboot();
      machine->answers().push_back(win::IDYES);
      ASSERT_EQ(machine.Run({"uninstall"}), 0);
    }
    EXPECT_EQ(ResidueFindings(*machine, before, TakeSnapshot(*machine), settings, "C:\\orvane"),
              std::vector<std::string>{}) << machine->profile().name;
    Put(kUninstall + "\\Orvane", "DisplayName", "O")(*machine);
    const auto findings =
        ResidueFindings(*machine, before, TakeSnapshot(*machine), settings, "C:\\orvane");
    ASSERT_EQ(findings.size(), 1u) << machine->profile().name;
    EXPECT_NE(findings[0].find("uninstall-entry"), std::string::npos) << findings[0];
  }
}

}  // namespace
}  // namespace orvane::campaign
