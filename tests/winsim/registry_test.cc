// The simulated registry answers the Reg* calls as Windows does. Out-values are
// poisoned before each call so that "left unchanged" can be seen.
#include "winsim/registry.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "sim_fixture.h"

namespace orvane::winsim {
namespace {

using namespace std::literals;
using win::BYTE;
using win::DWORD;
using win::HKEY;
using win::HKEY_LOCAL_MACHINE;
using win::LONG;

constexpr HKEY kPoisonKey{0xBAD0};
constexpr DWORD kPoison = 0xDEADBEEF;
constexpr BYTE kSentinel = 0xCC;
constexpr std::string_view kBase = "HKEY_LOCAL_MACHINE\\Software\\Test";

std::vector<BYTE> Bytes(std::string_view s) { return {s.begin(), s.end()}; }

HKEY Open(Registry& reg, const char* sub, win::REGSAM access) {
  HKEY key = kPoisonKey;
  EXPECT_EQ(reg.OpenKey(HKEY_LOCAL_MACHINE, sub, access, &key), 0) << sub;
  return key;
}

TEST(RegistryTest, DeleteKeyAndDeleteTree) {
  struct Row {
    const char* label;
    DeleteKeyRule rule;
    bool tree;         // SHDeleteKeyA rather than RegDeleteKeyA
    const char* from;  // opened with no access at all; null: HKLM itself
    const char* sub;
    LONG expected;
    std::vector<const char*> gone;  // of Parent, Parent\Child, Sibling
  };
  const Row rows[] = {
      {"NT refuses subkeys",
       DeleteKeyRule::kNt,
       false,
       nullptr,
       "Software\\Test\\Parent",
       5,
       {}},
      {"9x takes the subtree",
       DeleteKeyRule::kWin9x,
       false,
       nullptr,
       "Software\\Test\\Parent",
       0,
       {"Parent", "Parent\\Child"}},
      {"NT takes a leaf",
       DeleteKeyRule::kNt,
       false,
       nullptr,
       "SOFTWARE\\test\\parent\\CHILD",
       0,
       {"Parent\\Child"}},
      {"missing",
       DeleteKeyRule::kNt,
       false,
       nullptr,
       "Software\\Test\\No",
       2,
       {}},
      {"null subkey", DeleteKeyRule::kNt, false, nullptr, nullptr, 87, {}},
      {"a root stays", DeleteKeyRule::kWin9x, false, nullptr, "", 5, {}},
      {"parent needs no access",
       DeleteKeyRule::kNt,
       false,
       "Software\\Test\\Parent",
       "Child",
       0,
       {"Parent\\Child"}},
      {"tree on NT",
       DeleteKeyRule::kNt,
       true,
       nullptr,
       "Software\\Test\\Parent",
       0,
       {"Parent", "Parent\\Child"}},
      {"tree missing",
       DeleteKeyRule::kNt,
       true,
       nullptr,
       "Software\\Test\\No",
       2,
       {}},
      {"tree of the key itself",
       DeleteKeyRule::kNt,
       true,
       "Software\\Test\\Parent",
       nullptr,
       0,
       {"Parent\\Child"}},
  };
  for (const Row& row : rows) {
    Registry reg;
    reg.SetDeleteKeyRule(row.rule);
    reg.PutValue(std::string(kBase) + "\\Parent", "v", win::REG_SZ,
                 Bytes("x\0"sv));
    reg.PutKey(std::string(kBase) + "\\Parent\\Child");
    reg.PutKey(std::string(kBase) + "\\Sibling");
    HKEY from = row.from ? Open(reg, row.from, 0) : HKEY_LOCAL_MACHINE;
    EXPECT_EQ(
        row.tree ? reg.DeleteTree(from, row.sub) : reg.DeleteKey(from, row.sub),
        row.expected)
        << row.label;
    for (const char* key : {"Parent", "Parent\\Child", "Sibling"}) {
      const bool gone = std::find(row.gone.begin(), row.gone.end(),
                                  std::string_view(key)) != row.gone.end();
      EXPECT_EQ(reg.KeyExists(std::string(kBase) + "\\" + key), !gone)
          << row.label << ": " << key;
    }
    if (row.tree && row.sub == nullptr) {
      EXPECT_TRUE(reg.Values(std::string(kBase) + "\\Parent").empty());
    }
    reg.CloseKey(from);
    EXPECT_EQ(reg.OpenHandleCount(), 0u) << row.label;
  }
}

TEST(RegistryTest, HandlesToDeletedKeysAnswerKeyDeleted) {
  for (bool through_ancestor : {false, true}) {
    Registry reg;
    reg.PutValue(std::string(kBase) + "\\Gone\\Leaf", "v", win::REG_SZ,
                 Bytes("x\0"sv));
    HKEY leaf = Open(reg, "Software\\Test\\Gone\\Leaf", win::KEY_ALL_ACCESS);
    ASSERT_EQ(through_ancestor
                  ? reg.DeleteTree(HKEY_LOCAL_MACHINE, "Software\\Test\\Gone")
                  : reg.DeleteKey(leaf, ""),
              0);
    // A new key of the same name is another key: the old handle stays dead.
    reg.PutKey(std::string(kBase) + "\\Gone\\Leaf");
    DWORD cb = kPoison;
    HKEY created = kPoisonKey;
    HKEY opened = kPoisonKey;
    const std::pair<const char*, LONG> calls[] = {
        {"query", reg.QueryValue(leaf, "v", nullptr, {}, &cb)},
        {"set", reg.SetValue(leaf, "v", win::REG_BINARY, {})},
        {"create", reg.CreateKey(leaf, "New", &created)},
        {"open", reg.OpenKey(leaf, "", win::KEY_READ, &opened)},
        {"delete", reg.DeleteKey(leaf, "")},
        {"delete tree", reg.DeleteTree(leaf, nullptr)},
    };
    for (const auto& [call, rc] : calls) {
      EXPECT_EQ(rc, 1018) << call << " ancestor=" << through_ancestor;
    }
    EXPECT_EQ(created, kPoisonKey);
    EXPECT_EQ(opened, win::kNullKey);
    EXPECT_EQ(reg.PathOf(leaf), std::string(kBase) + "\\Gone\\Leaf");
    EXPECT_EQ(reg.CloseKey(leaf), 0);
    EXPECT_EQ(reg.CloseKey(leaf), 6) << "second close";
    EXPECT_TRUE(reg.KeyExists(std::string(kBase) + "\\Gone\\Leaf"));
  }
}

TEST(RegistryTest, QueryValueSizeProtocol) {
  struct Row {
    const char* label;
    DWORD type;
    std::string_view stored;  // stored under the name "v"
    const char* name;
    int buffer;  // bytes in the span; -1: a null buffer
    LONG expected;
    DWORD expected_type;
    DWORD expected_cb;
    std::string_view expected_buffer;
  };
  const Row rows[] = {
      {"size query", win::REG_SZ, "abc\0"sv, "v", -1, 0, win::REG_SZ, 4, ""},
      {"exact", win::REG_SZ, "abc\0"sv, "v", 4, 0, win::REG_SZ, 4, "abc\0"sv},
      {"one short", win::REG_SZ, "abc\0"sv, "v", 3, 234, win::REG_SZ, 4,
       "\xCC\xCC\xCC"sv},
      {"missing, null data", win::REG_SZ, "a\0"sv, "w", -1, 2, win::REG_NONE, 0,
       ""},
      {"missing, with data", win::REG_SZ, "a\0"sv, "w", 2, 2, win::REG_NONE,
       kPoison, "\xCC\xCC"sv},
      {"unterminated", win::REG_SZ, "abc"sv, "v", 4, 0, win::REG_SZ, 3,
       "abc\0"sv},
      {"unterminated, no room", win::REG_SZ, "abc"sv, "v", 3, 0, win::REG_SZ, 3,
       "abc"sv},
      {"multi sz", win::REG_MULTI_SZ, "a\0b"sv, "V", 4, 0, win::REG_MULTI_SZ, 3,
       "a\0b\0"sv},
      {"binary", win::REG_BINARY, "abc"sv, "v", 4, 0, win::REG_BINARY, 3,
       "abc\xCC"sv},
      {"no bytes", win::REG_SZ, ""sv, "v", 1, 0, win::REG_SZ, 0, "\xCC"sv},
      {"odd type", 0x4242, "\1\2"sv, "v", 2, 0, 0x4242, 2, "\1\2"sv},
  };
  for (const Row& row : rows) {
    Registry reg;
    reg.PutValue(kBase, "v", row.type, Bytes(row.stored));
    HKEY h = Open(reg, "Software\\Test", win::KEY_READ);
    std::vector<BYTE> buffer(8, kSentinel);  // bytes past the span must stay
    std::span<BYTE> span;
    if (row.buffer >= 0) span = std::span<BYTE>(buffer.data(), row.buffer);
    DWORD type = kPoison;
    DWORD cb = kPoison;
    EXPECT_EQ(reg.QueryValue(h, row.name, &type, span, &cb), row.expected)
        << row.label;
    EXPECT_EQ(type, row.expected_type) << row.label;
    EXPECT_EQ(cb, row.expected_cb) << row.label;
    std::string expected(row.expected_buffer);
    expected.resize(buffer.size(), '\xCC');
    EXPECT_EQ(std::string(buffer.begin(), buffer.end()), expected) << row.label;
    EXPECT_EQ(reg.GetValue(kBase, "v")->data, Bytes(row.stored)) << row.label;
    reg.CloseKey(h);
  }
}

TEST(RegistryTest, AccessRightsOfTheHandle) {
  struct Row {
    win::REGSAM access;
    LONG query;
    LONG set;
  };
  const Row rows[] = {{win::KEY_READ, 0, 5},
                      {win::KEY_WRITE, 5, 0},
                      {0, 5, 5},
                      {win::KEY_ALL_ACCESS, 0, 0}};
  for (const Row& row : rows) {
    Registry reg;
    reg.PutValue(kBase, "v", win::REG_SZ, Bytes("old\0"sv));
    HKEY h = Open(reg, "Software\\Test", row.access);
    DWORD cb = 0;
    EXPECT_EQ(reg.QueryValue(h, "v", nullptr, {}, &cb), row.query)
        << std::hex << row.access;
    EXPECT_EQ(reg.SetValue(h, "v", win::REG_SZ, Bytes("new\0"sv)), row.set)
        << std::hex << row.access;
    EXPECT_EQ(reg.GetValue(kBase, "v")->data,
              Bytes(row.set == 0 ? "new\0"sv : "old\0"sv));
    // Creating a subkey does not consult the handle's access (Windows checks
    // the key's security instead); the new handle has every right.
    HKEY sub = kPoisonKey;
    ASSERT_EQ(reg.CreateKey(h, "Sub", &sub), 0) << std::hex << row.access;
    EXPECT_EQ(reg.SetValue(sub, "x", win::REG_BINARY, {}), 0);
    EXPECT_EQ(reg.QueryValue(sub, "x", nullptr, {}, &cb), 0);
    reg.CloseKey(sub);
    reg.CloseKey(h);
  }
}

TEST(RegistryTest, OpenKeyArguments) {
  struct Row {
    const char* label;
    HKEY parent;  // kPoisonKey: an open handle to HKLM\Software\Test
    const char* sub;
    LONG expected;
    const char* path;  // below HKLM\Software; null: no handle comes back
  };
  const Row rows[] = {
      {"missing", HKEY_LOCAL_MACHINE, "Software\\Nope", 2, nullptr},
      {"leading backslash", HKEY_LOCAL_MACHINE, "\\Software\\Test", 161,
       nullptr},
      {"trailing backslashes", HKEY_LOCAL_MACHINE, "Software\\Test\\\\", 0,
       "Test"},
      {"other case", HKEY_LOCAL_MACHINE, "SOFTWARE\\test\\ORVANE", 0,
       "Test\\Orvane"},
      {"null subkey", kPoisonKey, nullptr, 0, "Test"},
      {"empty subkey", kPoisonKey, "", 0, "Test"},
      {"null key", win::kNullKey, "Software", 6, nullptr},
      {"unknown handle", HKEY{0x7777}, "Software", 6, nullptr},
  };
  for (const Row& row : rows) {
    Registry reg;
    reg.PutKey("HKLM\\Software\\Test\\Orvane");
    HKEY base = Open(reg, "Software\\Test", win::KEY_READ);
    HKEY result = kPoisonKey;
    EXPECT_EQ(reg.OpenKey(row.parent == kPoisonKey ? base : row.parent, row.sub,
                          win::KEY_READ, &result),
              row.expected)
        << row.label;
    if (row.path == nullptr) {
      EXPECT_EQ(result, win::kNullKey) << row.label;
    } else {
      EXPECT_NE(result, base) << row.label << ": a new handle";
      EXPECT_EQ(reg.PathOf(result),
                "HKEY_LOCAL_MACHINE\\Software\\"s + row.path)
          << row.label;
      EXPECT_EQ(reg.CloseKey(result), 0) << row.label;
    }
    EXPECT_EQ(reg.CloseKey(base), 0) << row.label;
    EXPECT_EQ(reg.OpenHandleCount(), 0u) << row.label;
  }
}

TEST(RegistryTest, CreateKeyMakesEveryMissingKeyAndKeepsStoredCase) {
  Registry reg;
  reg.PutKey("HKLM\\SOFTWARE");
  HKEY h = kPoisonKey;
  ASSERT_EQ(reg.CreateKey(HKEY_LOCAL_MACHINE, "software\\Orvane\\A\\B", &h), 0);
  HKEY again = kPoisonKey;
  ASSERT_EQ(reg.CreateKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\ORVANE\\a\\", &again),
            0);
  EXPECT_EQ(reg.PathOf(h), "HKEY_LOCAL_MACHINE\\SOFTWARE\\Orvane\\A\\B");
  EXPECT_EQ(reg.PathOf(again), "HKEY_LOCAL_MACHINE\\SOFTWARE\\Orvane\\A");
  HKEY bad = kPoisonKey;
  EXPECT_EQ(reg.CreateKey(HKEY_LOCAL_MACHINE, "\\SOFTWARE\\New", &bad), 161);
  EXPECT_EQ(bad, kPoisonKey) << "left alone on failure";
  EXPECT_FALSE(reg.KeyExists("HKLM\\SOFTWARE\\New"));
  EXPECT_EQ(reg.CreateKey(HKEY_LOCAL_MACHINE, nullptr, &bad), 0);
  EXPECT_EQ(bad, HKEY_LOCAL_MACHINE) << "a root comes back as itself";
  EXPECT_EQ(reg.CloseKey(bad), 0);
  EXPECT_EQ(reg.OpenHandleCount(), 2u);
}

TEST(RegistryTest, EnumerationOrder) {
  Registry reg;
  for (const char* name : {"beta", "_x", "Alpha", "gamma", "ALPHA2", "b",
                           "ALPHA"}) {  // "ALPHA" is "Alpha" again
    reg.PutKey(std::string(kBase) + "\\" + name);
  }
  // By upper case, so "_" (0x5F) sorts after the letters.
  EXPECT_EQ(reg.SubkeyNames(kBase),
            (std::vector<std::string>{"Alpha", "ALPHA2", "b", "beta", "gamma",
                                      "_x"}));
  HKEY h = Open(reg, "Software\\Test", win::KEY_ALL_ACCESS);
  for (const char* name : {"z", "a", "M", "A"}) {
    ASSERT_EQ(reg.SetValue(h, name, win::REG_BINARY, Bytes(name)), 0);
  }
  std::vector<std::string> names;
  for (const RegValue& v : reg.Values(kBase)) names.push_back(v.name);
  EXPECT_EQ(names, (std::vector<std::string>{"z", "a", "M"}))
      << "insertion order, first spelling";
  EXPECT_EQ(reg.GetValue(kBase, "a")->data, Bytes("A"));
  reg.CloseKey(h);
}

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
  const AccessRow rows[] = {
      {"read", WindowsVersion::kWinXp, false, Call::kOpen, HKEY_LOCAL_MACHINE, "Software\\Orvane",
       KEY_READ, 0, true},
      {"no rights at all", WindowsVersion::kWinXp, false, Call::kOpen, HKEY_LOCAL_MACHINE,
       "SOFTWARE\\Orvane", 0, 0, true},
      {"all access", WindowsVersion::kWinXp, false, Call::kOpen, HKEY_LOCAL_MACHINE,
       "Software\\Orvane", KEY_ALL_ACCESS, 5, true},
      {"query and set", WindowsVersion::kWinXp, false, Call::kOpen, HKEY_LOCAL_MACHINE,
       "Software", KEY_QUERY_VALUE | KEY_SET_VALUE, 5, true},
      {"SYSTEM for writing", WindowsVersion::kWinXp, false, Call::kOpen, HKEY_LOCAL_MACHINE,
       "system\\CurrentControlSet", KEY_WRITE, 5, true},
      {"own hive", WindowsVersion::kWinXp, false, Call::kOpen, HKEY_CURRENT_USER, "Software",
       KEY_ALL_ACCESS, 0, true},
      {"NT 4", WindowsVersion::kNt4, false, Call::kOpen, HKEY_LOCAL_MACHINE, "Software\\Orvane",
       KEY_ALL_ACCESS, 5, true},
      {"administrator", WindowsVersion::kWinXp, true, Call::kOpen, HKEY_LOCAL_MACHINE,
       "Software\\Orvane", KEY_ALL_ACCESS, 0, true},
      {"98 keeps no security", WindowsVersion::kWin98, false, Call::kOpen, HKEY_LOCAL_MACHINE,
       "Software\\Orvane", KEY_ALL_ACCESS, 0, true},
      // RegCreateKeyA asks for MAXIMUM_ALLOWED: an existing key opens for
      // reading, so the value cannot be set; a new key cannot be made.
      {"create existing, then set", WindowsVersion::kWinXp, false, Call::kCreateThenSet,
       HKEY_LOCAL_MACHINE, "Software\\Orvane", 0, 5, true},
      {"create new", WindowsVersion::kWinXp, false, Call::kCreate, HKEY_LOCAL_MACHINE,
       "Software\\Orvane\\New", 0, 5, true},
      {"create new on 98", WindowsVersion::kWin98, false, Call::kCreateThenSet,
       HKEY_LOCAL_MACHINE, "Software\\Orvane\\New", 0, 0, true},
      {"delete", WindowsVersion::kWinXp, false, Call::kDelete, HKEY_LOCAL_MACHINE,
       "Software\\Orvane\\Leaf", 0, 5, true},
      {"delete tree", WindowsVersion::kWinXp, false, Call::kTree, HKEY_LOCAL_MACHINE,
       "Software\\Orvane", 0, 5, true},
      {"delete as administrator", WindowsVersion::kWinXp, true, Call::kDelete,
       HKEY_LOCAL_MACHINE, "Software\\Orvane\\Leaf", 0, 0, false},
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
        if (rc != 0) {
          EXPECT_EQ(key, kNullKey) << r.name;
        }
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

TEST(RegistryTest, DeepTreesDoNotExhaustTheStack) {
  Registry reg;
  std::string path = "HKLM\\Deep";
  for (int i = 0; i < 100000; ++i) path += "\\k";
  reg.PutKey(path);
  EXPECT_TRUE(reg.RemoveTree("HKLM\\Deep"));
  reg.PutKey(path);  // and once more, left for the destructor
}

}  // namespace
}  // namespace orvane::winsim
