// What the contract suite cannot show of the registry: key security for a user
// who is no administrator (Wine checks none), the enumeration order the
// simulator keeps for its own listings, and trees too deep for recursion.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sim_fixture.h"

namespace orvane::winsim {
namespace {

using namespace orvane::win;
using testing::SimMachine;

enum class Call { kOpen, kCreate, kCreateThenSet, kDelete, kTree };

struct AccessRow {
  const char* name;
  WindowsVersion version;
  bool administrator;
  Call call;
  HKEY root;
  const char* sub;
  REGSAM access;  // for kOpen
  LONG expected;
  bool leaf_stays;  // HKLM\Software\Orvane\Leaf afterwards
};

TEST(Registry, UsersMayOnlyReadMachineKeysOnNt) {
  const auto xp = WindowsVersion::kWinXp, nt4 = WindowsVersion::kNt4, w98 = WindowsVersion::kWin98;
  const HKEY hklm = HKEY_LOCAL_MACHINE;
  const char* const orvane = "Software\\Orvane";
  const AccessRow rows[] = {
      {"read", xp, false, Call::kOpen, hklm, orvane, KEY_READ, 0, true},
      {"no rights at all", xp, false, Call::kOpen, hklm, "SOFTWARE\\Orvane", 0, 0, true},
      {"all access", xp, false, Call::kOpen, hklm, orvane, KEY_ALL_ACCESS, 5, true},
      {"query and set", xp, false, Call::kOpen, hklm, "Software", KEY_QUERY_VALUE | KEY_SET_VALUE,
       5, true},
      {"SYSTEM for writing", xp, false, Call::kOpen, hklm, "system\\CurrentControlSet", KEY_WRITE,
       5, true},
      {"own hive", xp, false, Call::kOpen, HKEY_CURRENT_USER, "Software", KEY_ALL_ACCESS, 0, true},
      {"NT 4", nt4, false, Call::kOpen, hklm, orvane, KEY_ALL_ACCESS, 5, true},
      {"administrator", xp, true, Call::kOpen, hklm, orvane, KEY_ALL_ACCESS, 0, true},
      {"98 keeps no security", w98, false, Call::kOpen, hklm, orvane, KEY_ALL_ACCESS, 0, true},
      // RegCreateKeyA asks for MAXIMUM_ALLOWED: an existing key opens for
      // reading, so the value cannot be set; a new key cannot be made.
      {"create existing, then set", xp, false, Call::kCreateThenSet, hklm, orvane, 0, 5, true},
      {"create new", xp, false, Call::kCreate, hklm, "Software\\Orvane\\New", 0, 5, true},
      {"create new on 98", w98, false, Call::kCreateThenSet, hklm, "Software\\Orvane\\New", 0, 0,
       true},
      {"delete", xp, false, Call::kDelete, hklm, "Software\\Orvane\\Leaf", 0, 5, true},
      {"delete tree", xp, false, Call::kTree, hklm, orvane, 0, 5, true},
      {"delete as administrator", xp, true, Call::kDelete, hklm, "Software\\Orvane\\Leaf", 0, 0,
       false},
  };
  for (const AccessRow& r : rows) {
    SimMachine m(r.version);
    m->registry().PutKey("HKLM\\Software\\Orvane\\Leaf");
    m->registry().PutKey("HKCU\\Software");
    m->SetAdministrator(r.administrator);
    HKEY key{0x1234};
    LONG rc = 0;
    switch (r.call) {
      case Call::kOpen:
        rc = m->RegOpenKeyExA(r.root, r.sub, 0, r.access, &key);
        EXPECT_TRUE(rc == 0 || key == kNullKey) << r.name << ": a refused open nulls the key";
        break;
      case Call::kCreate:
      case Call::kCreateThenSet:
        rc = m->RegCreateKeyA(r.root, r.sub, &key);
        if (rc == 0 && r.call == Call::kCreateThenSet) {
          const BYTE data[] = {'x', 0};
          rc = m->RegSetValueExA(key, "v", 0, REG_SZ, data);
          EXPECT_EQ(m->registry().GetValue(std::string("HKLM\\") + r.sub, "v").has_value(),
                    rc == 0)
              << r.name;
        }
        EXPECT_EQ(m->registry().KeyExists("HKLM\\Software\\Orvane\\New"),
                  rc == 0 && std::string(r.sub).ends_with("New"))
            << r.name;
        break;
      case Call::kDelete:
        rc = m->RegDeleteKeyA(r.root, r.sub);
        break;
      case Call::kTree:
        rc = m->SHDeleteKeyA(r.root, r.sub);
        break;
    }
    if (key != HKEY{0x1234} && key != kNullKey) m->RegCloseKey(key);
    EXPECT_EQ(rc, r.expected) << r.name;
    EXPECT_EQ(m->registry().KeyExists("HKLM\\Software\\Orvane\\Leaf"), r.leaf_stays) << r.name;
    EXPECT_TRUE(m->LeakReport().empty()) << r.name;
  }
}

TEST(Registry, SubkeysEnumerateByUpperCaseValuesByInsertion) {
  Registry reg;
  for (const char* name : {"beta", "_x", "Alpha", "gamma", "ALPHA2", "b", "ALPHA"}) {
    reg.PutKey(std::string("HKLM\\T\\") + name);  // "ALPHA" is "Alpha" again
  }
  EXPECT_EQ(reg.SubkeyNames("HKLM\\T"),
            (std::vector<std::string>{"Alpha", "ALPHA2", "b", "beta", "gamma", "_x"}));
  for (const char* name : {"z", "a", "M", "A"}) reg.PutValue("HKLM\\T", name, REG_SZ, {});
  std::vector<std::string> names;
  for (const RegValue& v : reg.Values("HKLM\\T")) names.push_back(v.name);
  EXPECT_EQ(names, (std::vector<std::string>{"z", "a", "M"}));
}

TEST(Registry, DeepTreesDoNotExhaustTheStack) {
  Registry reg;
  std::string path = "HKLM\\Deep";
  for (int i = 0; i < 100000; ++i) path += "\\k";
  reg.PutKey(path);
  EXPECT_TRUE(reg.RemoveTree("HKLM\\Deep"));
  reg.PutKey(path);  // and once more, left for the destructor
}

}  // namespace
}  // namespace orvane::winsim
