// Registry cases: deleting keys with and without subkeys, missing keys and
// values, RegQueryValueExA's size protocol, handles to deleted keys. Each case
// works below its own scratch key.
#include <string>
#include <utility>
#include <vector>

#include "contract.h"

namespace orvane::contract {
namespace {

using namespace orvane::win;

// A REG_SZ value of `text` with its NUL.
LONG SetString(Platform& p, HKEY key, const char* name, std::string_view text) {
  const std::string data(text);
  return p.RegSetValueExA(key, name, 0, REG_SZ,
                          std::span(reinterpret_cast<const BYTE*>(data.c_str()), data.size() + 1));
}

// RegOpenKeyExA's status for `subKey`; the key is closed again.
LONG OpenStatus(Platform& p, HKEY key, const char* subKey) {
  HKEY opened = kNullKey;
  const LONG status = p.RegOpenKeyExA(key, subKey, 0, KEY_READ, &opened);
  if (status == 0) p.RegCloseKey(opened);
  return status;
}

std::vector<BYTE> Bytes(std::string_view text) { return {text.begin(), text.end()}; }

// One RegQueryValueExA into the first `size` bytes of a buffer filled with
// '#', so that bytes written past `size` show (kSizeOnly: no buffer at all);
// the type and the size start as kPoison.
constexpr DWORD kSizeOnly = kPoison;
struct Query {
  LONG status = 0;
  DWORD type = kPoison, size;
  std::string buffer = std::string(32, '#');
};
Query Ask(Platform& p, HKEY key, const char* name, DWORD size) {
  Query q{0, kPoison, size};
  auto* bytes = reinterpret_cast<BYTE*>(q.buffer.data());
  q.status = p.RegQueryValueExA(key, name, &q.type,
                                size == kSizeOnly ? std::span<BYTE>() : std::span(bytes, size),
                                &q.size);
  return q;
}
// What the buffer should hold: `data`, then the fill.
std::string Filled(std::string_view data = {}) {
  return std::string(data) + std::string(32 - data.size(), '#');
}

// RegDeleteKeyA on a key with subkeys: the NT family refuses with
// ERROR_ACCESS_DENIED and deletes nothing; Windows 95/98/ME remove the whole
// subtree [MS: RegDeleteKey; Wine server/registry.c: delete_key].
void RegDeleteKeyWithSubkeys(Platform& p, Scratch& s, Checker& c) {
  HKEY child = kNullKey;
  if (!c.Equal("create Parent\\Child", p.RegCreateKeyA(s.key, "Parent\\Child", &child), 0)) {
    return;
  }
  p.RegCloseKey(child);
  const bool nt = (p.GetVersion() & 0x80000000u) == 0;
  c.Equal("RegDeleteKeyA(Parent)", p.RegDeleteKeyA(s.key, "Parent"),
          nt ? ERROR_ACCESS_DENIED : ERROR_SUCCESS);
  c.Equal("Parent afterwards", OpenStatus(p, s.key, "Parent"),
          nt ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND);
  c.Equal("Parent\\Child afterwards", OpenStatus(p, s.key, "Parent\\Child"),
          nt ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND);
  if (!nt) return;
  // Leaf first, then the parent: both go.
  c.Equal("RegDeleteKeyA(Parent\\Child)", p.RegDeleteKeyA(s.key, "Parent\\Child"), 0);
  c.Equal("RegDeleteKeyA(Parent), now empty", p.RegDeleteKeyA(s.key, "Parent"), 0);
  c.Equal("Parent at last", OpenStatus(p, s.key, "Parent"), ERROR_FILE_NOT_FOUND);
}

// SHDeleteKeyA removes the key and its whole subtree, values included, on
// every Windows; a sibling survives.
void SHDeleteKeyRemovesTree(Platform& p, Scratch& s, Checker& c) {
  for (const char* path : {"Tree\\A\\B", "Tree\\C", "Keep"}) {
    HKEY key = kNullKey;
    if (!c.Equal(std::string("create ") + path, p.RegCreateKeyA(s.key, path, &key), 0)) return;
    c.Equal(std::string("value in ") + path, SetString(p, key, "v", path), 0);
    p.RegCloseKey(key);
  }
  c.Equal("SHDeleteKeyA(Tree)", p.SHDeleteKeyA(s.key, "Tree"), ERROR_SUCCESS);
  c.Equal("Tree afterwards", OpenStatus(p, s.key, "Tree"), ERROR_FILE_NOT_FOUND);
  c.Equal("Keep afterwards", OpenStatus(p, s.key, "Keep"), ERROR_SUCCESS);
}

// A handle does only what it was opened for: querying needs KEY_QUERY_VALUE,
// setting KEY_SET_VALUE (5 otherwise); creating a subkey through it does not
// consult its access [MS: RegCreateKeyExA, hKey; Wine test registry.c:
// test_reg_create_key]. A null key is no handle (6); RegDeleteKeyA needs a
// subkey name (87), and "" deletes the key itself; SHDeleteKeyA without a
// subkey empties the key and keeps it [Wine kernelbase registry.c:
// RegDeleteTreeA].
void HandleAccessAndArguments(Platform& p, Scratch& s, Checker& c) {
  c.Equal("set v", SetString(p, s.key, "v", "old"), 0);
  const struct {
    const char* name;
    REGSAM access;
    LONG query, set;
  } rows[] = {{"KEY_READ", KEY_READ, 0, 5},
              {"KEY_WRITE", KEY_WRITE, 5, 0},
              {"no rights", 0, 5, 5},
              {"KEY_ALL_ACCESS", KEY_ALL_ACCESS, 0, 0}};
  for (const auto& row : rows) {
    HKEY h = kNullKey;
    if (!c.Equal(row.name, p.RegOpenKeyExA(s.key, "", 0, row.access, &h), 0)) continue;
    DWORD size = 0;
    c.Equal(std::string(row.name) + ": query", p.RegQueryValueExA(h, "v", nullptr, {}, &size),
            row.query);
    c.Equal(std::string(row.name) + ": set", SetString(p, h, "v", "new"), row.set);
    HKEY sub = kNullKey;
    if (c.Equal(std::string(row.name) + ": create", p.RegCreateKeyA(h, "Sub", &sub), 0)) {
      c.Equal(std::string(row.name) + ": set in the new key", SetString(p, sub, "x", ""), 0);
      p.RegCloseKey(sub);
    }
    p.RegCloseKey(h);
  }
  HKEY none{0x1234};
  c.Equal("null key", p.RegOpenKeyExA(kNullKey, "Sub", 0, KEY_READ, &none), ERROR_INVALID_HANDLE);
  c.Equal("RegDeleteKeyA(null)", p.RegDeleteKeyA(s.key, nullptr), ERROR_INVALID_PARAMETER);
  c.Equal("SHDeleteKeyA(key, null)", p.SHDeleteKeyA(s.key, nullptr), 0);
  c.Equal("Sub afterwards", OpenStatus(p, s.key, "Sub"), ERROR_FILE_NOT_FOUND);
  DWORD size = 0;
  c.Equal("v afterwards", p.RegQueryValueExA(s.key, "v", nullptr, {}, &size), 2);
  HKEY own = kNullKey;
  c.Equal("create Own", p.RegCreateKeyA(s.key, "Own", &own), 0);
  c.Equal("RegDeleteKeyA(Own, \"\")", p.RegDeleteKeyA(own, ""), 0);
  c.Equal("Own afterwards", OpenStatus(p, s.key, "Own"), ERROR_FILE_NOT_FOUND);
  p.RegCloseKey(own);
}

// RegCreateKeyA makes every missing key on the way and opens an existing one;
// names compare without regard to case. How a subkey may be spelt: a leading
// backslash is refused (161), trailing backslashes are ignored, and an empty
// name opens the key itself [Wine test registry.c: test_reg_open_key].
void CreateKeyAndSubkeyNames(Platform& p, Scratch& s, Checker& c) {
  HKEY key = kNullKey;
  if (!c.Equal("RegCreateKeyA(A\\B\\C)", p.RegCreateKeyA(s.key, "A\\B\\C", &key), 0)) return;
  c.Equal("value in C", SetString(p, key, "ValueName", "one"), 0);
  p.RegCloseKey(key);
  const std::pair<const char*, LONG> opens[] = {
      {"A", 0}, {"A\\B", 0}, {"a\\b\\c", 0}, {"\\A", ERROR_BAD_PATHNAME}, {"A\\\\", 0}};
  for (const auto& [sub, status] : opens) {
    c.Equal(std::string("open ") + sub, OpenStatus(p, s.key, sub), status);
  }
  HKEY self = kNullKey;
  if (c.Equal("open \"\"", p.RegOpenKeyExA(s.key, "", 0, KEY_READ, &self), ERROR_SUCCESS)) {
    c.Equal("\"\" opens the key itself", OpenStatus(p, self, "A"), ERROR_SUCCESS);
    p.RegCloseKey(self);
  }
  if (!c.Equal("RegCreateKeyA(A\\B\\C) again", p.RegCreateKeyA(s.key, "A\\b\\C", &key), 0)) {
    return;
  }
  // The value written before is there, under any case of its name; writing it
  // under another case replaces it.
  Query q = Ask(p, key, "VALUENAME", 16);
  c.Equal("query VALUENAME", q.status, ERROR_SUCCESS);
  c.Equal("VALUENAME", std::string(q.buffer.c_str()), "one");
  c.Equal("set valuename", SetString(p, key, "valuename", "two"), 0);
  q = Ask(p, key, "ValueName", 16);
  c.Equal("ValueName replaced", std::string(q.buffer.c_str()), "two");
  p.RegCloseKey(key);
}

// Opening or deleting a key that is not there: 2, and RegOpenKeyExA nulls its
// result; registry calls return their status and leave the last-error value
// alone [Wine test registry.c: test_reg_open_key, test_reg_delete_key]. A
// missing value: 2, the buffer untouched; without a buffer the size is set to
// 0 [Wine test registry.c: test_query_value_ex].
void MissingKeysAndValues(Platform& p, Scratch& s, Checker& c) {
  for (const char* sub : {"Missing", "Missing\\Deeper"}) {
    std::string row = std::string("RegOpenKeyExA(") + sub + ")";
    HKEY result{0x1234};
    p.SetLastError(kPoison);
    c.Equal(row, p.RegOpenKeyExA(s.key, sub, 0, KEY_READ, &result), ERROR_FILE_NOT_FOUND);
    c.That(row, result == kNullKey, "the result set to null");
    c.Equal(row + ": last error", p.GetLastError(), kPoison);  // returned, not set
    c.Equal(std::string("RegDeleteKeyA(") + sub + ")", p.RegDeleteKeyA(s.key, sub),
            ERROR_FILE_NOT_FOUND);
    c.Equal(std::string("SHDeleteKeyA(") + sub + ")", p.SHDeleteKeyA(s.key, sub),
            ERROR_FILE_NOT_FOUND);
  }
  for (const char* name : {"Nope", ""}) {
    std::string row = std::string("value \"") + name + "\"";
    Query q = Ask(p, s.key, name, 8);
    c.Equal(row + " with a buffer", q.status, ERROR_FILE_NOT_FOUND);
    c.Equal(row + " with a buffer: buffer", q.buffer, Filled());
    q = Ask(p, s.key, name, kSizeOnly);
    c.Equal(row + " size only", q.status, ERROR_FILE_NOT_FOUND);
    c.Equal(row + " size only: size", q.size, 0);
  }
}

// A buffer too small: 234 with the size needed and the type, the buffer not
// touched at all (NT); the exact size then succeeds and a size-only query
// reports the size [Wine test registry.c: test_query_value_ex, test_get_value].
void QueryValueTooSmall(Platform& p, Scratch& s, Checker& c) {
  using namespace std::string_view_literals;
  const struct {
    const char* name;
    DWORD type;
    std::string_view data;
    DWORD buffer;  // smaller than the data
  } rows[] = {
      {"sz", REG_SZ, "abcdef\0"sv, 4},           {"sz one short", REG_SZ, "abcdef\0"sv, 6},
      {"expand_sz", REG_EXPAND_SZ, "%windir%\0"sv, 1}, {"multi_sz", REG_MULTI_SZ, "a\0bc\0\0"sv, 5},
      {"binary", REG_BINARY, "\x01\x02\x03\x04\x05\x06\x07\x08"sv, 7},
      {"dword", REG_DWORD, "\x2A\0\0\0"sv, 3},
  };
  for (const auto& row : rows) {
    const std::string name = row.name;
    std::vector<BYTE> data = Bytes(row.data);
    if (!c.Equal(name, p.RegSetValueExA(s.key, row.name, 0, row.type, data), 0)) continue;
    Query q = Ask(p, s.key, row.name, row.buffer);
    c.Equal(name + ": status", q.status, ERROR_MORE_DATA);
    c.Equal(name + ": size needed", q.size, data.size());
    c.Equal(name + ": type", q.type, row.type);
    c.Equal(name + ": buffer", q.buffer, Filled());
    q = Ask(p, s.key, row.name, static_cast<DWORD>(data.size()));
    c.Equal(name + ": exact size", q.status, ERROR_SUCCESS);
    c.Equal(name + ": exact size: buffer", q.buffer, Filled(row.data));
    q = Ask(p, s.key, row.name, kSizeOnly);
    c.Equal(name + ": size only", q.size, data.size());
  }
}

// A REG_SZ stored without its NUL (the byte after the count is not a NUL, so
// NT does not count one in) comes back with its own size; the reader adds a
// NUL only when the buffer has room [Wine test registry.c:
// test_string_termination].
void StringWithoutNul(Platform& p, Scratch& s, Checker& c) {
  const std::vector<BYTE> abcd = Bytes("abcd");
  if (!c.Equal("set", p.RegSetValueExA(s.key, "s", 0, REG_SZ, std::span(abcd.data(), 3)), 0)) {
    return;
  }
  Query q = Ask(p, s.key, "s", kSizeOnly);
  c.Equal("size only", q.size, 3);
  q = Ask(p, s.key, "s", 3);
  c.Equal("buffer of 3", q.status, ERROR_SUCCESS);
  c.Equal("buffer of 3: size", q.size, 3);
  c.Equal("buffer of 3: buffer", q.buffer, Filled("abc"));  // no NUL added
  q = Ask(p, s.key, "s", 8);
  c.Equal("buffer of 8", q.status, ERROR_SUCCESS);
  c.Equal("buffer of 8: size", q.size, 3);
  c.Equal("buffer of 8: buffer", q.buffer, Filled(std::string_view("abc", 4)));
  // Other types get no NUL.
  c.Equal("binary", p.RegSetValueExA(s.key, "b", 0, REG_BINARY, Bytes("abc")), 0);
  c.Equal("binary in 8", Ask(p, s.key, "b", 8).buffer, Filled("abc"));
}

// A handle whose key was deleted stays a handle: every call through it answers
// ERROR_KEY_DELETED, and closing it succeeds [Wine server/registry.c:
// get_hkey_obj; Wine test registry.c: test_deleted_key].
void DeletedKeyHandle(Platform& p, Scratch& s, Checker& c) {
  HKEY victim = kNullKey;
  if (!c.Equal("create Victim", p.RegCreateKeyA(s.key, "Victim", &victim), 0)) return;
  c.Equal("value in Victim", SetString(p, victim, "v", "x"), 0);
  c.Equal("RegDeleteKeyA(Victim)", p.RegDeleteKeyA(s.key, "Victim"), ERROR_SUCCESS);
  c.Equal("Victim afterwards", OpenStatus(p, s.key, "Victim"), ERROR_FILE_NOT_FOUND);

  c.Equal("RegQueryValueExA", Ask(p, victim, "v", 8).status, ERROR_KEY_DELETED);
  c.Equal("RegSetValueExA", SetString(p, victim, "w", "y"), ERROR_KEY_DELETED);
  HKEY sub{0x1234};
  c.Equal("RegCreateKeyA", p.RegCreateKeyA(victim, "Sub", &sub), ERROR_KEY_DELETED);
  if (sub != kNullKey && sub != HKEY{0x1234}) p.RegCloseKey(sub);
  c.Equal("RegCloseKey", p.RegCloseKey(victim), ERROR_SUCCESS);
}

const Case kCases[] = {
    {"RegDeleteKeyWithSubkeys", RegDeleteKeyWithSubkeys, true},
    {"SHDeleteKeyRemovesTree", SHDeleteKeyRemovesTree, true},
    {"HandleAccessAndArguments", HandleAccessAndArguments},
    {"CreateKeyAndSubkeyNames", CreateKeyAndSubkeyNames},
    {"MissingKeysAndValues", MissingKeysAndValues},
    {"QueryValueTooSmall", QueryValueTooSmall},
    {"StringWithoutNul", StringWithoutNul},
    {"DeletedKeyHandle", DeletedKeyHandle},
};

[[maybe_unused]] const bool added = AddCases(kCases);

}  // namespace
}  // namespace orvane::contract
