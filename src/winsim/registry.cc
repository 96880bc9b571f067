// The simulated registry: the key tree, the handle table and the Reg* calls.
//
// Keys are shared nodes. A handle holds its key's node, so a key deleted while
// a handle is open stays alive (marked deleted, detached from the tree) until
// the handle is closed; every call but RegCloseKey then answers
// ERROR_KEY_DELETED.
#include "winsim/registry.h"

#include <algorithm>
#include <stdexcept>
#include <utility>

namespace orvane::winsim {

using win::DWORD;
using win::HKEY;
using win::LONG;
using win::REGSAM;

struct Registry::Key {
  Key() = default;
  explicit Key(std::string_view key_name) : name(key_name) {}
  Key(const Key&) = delete;
  Key& operator=(const Key&) = delete;
  ~Key();

  std::string name;
  Key* parent = nullptr;  // live keys only: a live key's parent is live
  bool deleted = false;
  std::string deleted_path;  // where a deleted key was, for PathOf
  std::vector<std::shared_ptr<Key>> subkeys;  // sorted as Windows enumerates
  std::vector<RegValue> values;               // in insertion order
};

struct Registry::Handle {
  std::shared_ptr<Key> key;
  REGSAM access = 0;
};

namespace {

// RegCreateKeyExA answers a null result pointer with ERROR_BADKEY
// [Wine test registry.c: test_reg_create_key].
constexpr LONG kErrorBadKey = 1010;

constexpr HKEY kRootKeys[] = {win::HKEY_CLASSES_ROOT, win::HKEY_CURRENT_USER,
                              win::HKEY_LOCAL_MACHINE, win::HKEY_USERS};
constexpr std::string_view kRootNames[] = {"HKEY_CLASSES_ROOT",
                                           "HKEY_CURRENT_USER",
                                           "HKEY_LOCAL_MACHINE", "HKEY_USERS"};
constexpr std::string_view kRootAbbreviations[] = {"HKCR", "HKCU", "HKLM",
                                                   "HKU"};

char Upper(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

// Windows compares names by their upper-case form, and the hive keeps subkeys
// sorted that way: "_x" sorts after "b" (0x5F > 0x42), not before it.
int CompareNames(std::string_view a, std::string_view b) {
  const std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    if (a[i] == b[i]) continue;  // most bytes match as they are
    const auto ca = static_cast<unsigned char>(Upper(a[i]));
    const auto cb = static_cast<unsigned char>(Upper(b[i]));
    if (ca != cb) return ca < cb ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

bool SameName(std::string_view a, std::string_view b) {
  return a.size() == b.size() && CompareNames(a, b) == 0;
}

using KeyPtr = std::shared_ptr<Registry::Key>;

std::vector<KeyPtr>::iterator LowerBound(Registry::Key& key,
                                         std::string_view name) {
  return std::lower_bound(key.subkeys.begin(), key.subkeys.end(), name,
                          [](const KeyPtr& k, std::string_view n) {
                            return CompareNames(k->name, n) < 0;
                          });
}

// Walks hand out a subkey as its entry in the parent's list, so that no
// reference count changes on the way down; the caller copies the last one.
const KeyPtr* FindSubkey(Registry::Key& key, std::string_view name) {
  auto it = LowerBound(key, name);
  if (it != key.subkeys.end() && SameName((*it)->name, name)) return &*it;
  return nullptr;
}

const KeyPtr& FindOrAddSubkey(Registry::Key& key, std::string_view name) {
  auto it = LowerBound(key, name);
  if (it != key.subkeys.end() && SameName((*it)->name, name)) return *it;
  auto child = std::make_shared<Registry::Key>(name);
  child->parent = &key;
  return *key.subkeys.insert(it, std::move(child));
}

// The key `names` lead to below `from`; null when one of them is missing.
const KeyPtr* WalkDown(const KeyPtr& from, const std::vector<std::string_view>& names) {
  const KeyPtr* key = &from;
  for (std::string_view name : names) {
    key = FindSubkey(**key, name);
    if (!key) return nullptr;
  }
  return key;
}

const KeyPtr& WalkDownMaking(const KeyPtr& from, const std::vector<std::string_view>& names) {
  const KeyPtr* key = &from;
  for (std::string_view name : names) key = &FindOrAddSubkey(**key, name);
  return *key;
}

std::vector<RegValue>::iterator FindValue(Registry::Key& key,
                                          std::string_view name) {
  return std::find_if(
      key.values.begin(), key.values.end(),
      [&](const RegValue& v) { return SameName(v.name, name); });
}

// Splits a subkey argument. Windows refuses a leading backslash
// (ERROR_BAD_PATHNAME) and skips runs of backslashes between names and at the
// end [Wine server/registry.c: get_path_token; test registry.c:
// test_reg_open_key].
LONG SplitSubkey(const char* subKey, std::vector<std::string_view>* names) {
  names->clear();
  if (subKey == nullptr) return win::ERROR_SUCCESS;
  std::string_view rest(subKey);
  if (!rest.empty() && rest.front() == '\\') return win::ERROR_BAD_PATHNAME;
  while (!rest.empty()) {
    const std::size_t end = rest.find('\\');
    std::string_view name = rest.substr(0, end);
    if (!name.empty()) names->push_back(name);
    if (end == std::string_view::npos) break;
    rest.remove_prefix(end + 1);
  }
  return win::ERROR_SUCCESS;
}

bool IsPredefined(HKEY key) {
  return std::find(std::begin(kRootKeys), std::end(kRootKeys), key) !=
         std::end(kRootKeys);
}

bool IsEmpty(const char* s) { return s == nullptr || *s == '\0'; }

// What a user who is no administrator may ask of HKLM\SOFTWARE and
// HKLM\SYSTEM: KEY_READ (KEY_QUERY_VALUE, KEY_ENUMERATE_SUB_KEYS, KEY_NOTIFY,
// READ_CONTROL) [MS: Registry Key Security and Access Rights], which
// GENERIC_READ maps to; the KEY_WOW64_* flags choose a view and ask no right
// [MS: Accessing an Alternate Registry View]. Users and Authenticated Users
// get Read there by default [MS: Default Access Control Settings in Windows
// 2000, Appendix B; DISA STIG WN25-00-000170, HKLM\SOFTWARE and HKLM\SYSTEM].
constexpr REGSAM kGenericRead = 0x80000000;
constexpr REGSAM kMaximumAllowed = 0x02000000;
constexpr REGSAM kWow64Flags = 0x0300;
constexpr REGSAM kUserMayAsk = win::KEY_READ | kGenericRead | kMaximumAllowed | kWow64Flags;

bool IsStringType(DWORD type) {
  return type == win::REG_SZ || type == win::REG_EXPAND_SZ ||
         type == win::REG_MULTI_SZ;
}

}  // namespace

// Takes the subtree apart iteratively so that a deep tree cannot exhaust the
// stack. A node still held by a handle keeps its subkeys.
Registry::Key::~Key() {
  std::vector<KeyPtr> pending = std::move(subkeys);
  while (!pending.empty()) {
    KeyPtr key = std::move(pending.back());
    pending.pop_back();
    if (key.use_count() == 1) {
      for (KeyPtr& child : key->subkeys) pending.push_back(std::move(child));
      key->subkeys.clear();
    }
  }
}

Registry::Registry() : root_(std::make_unique<Key>()) {
  for (std::size_t i = 0; i < kRootCount; ++i) {
    auto handle = std::make_unique<Handle>();
    handle->key = FindOrAddSubkey(*root_, kRootNames[i]);
    handle->access = win::KEY_ALL_ACCESS;
    handles_[static_cast<std::uintptr_t>(kRootKeys[i])] = std::move(handle);
  }
}

Registry::~Registry() = default;

std::string_view Registry::RootName(std::size_t index) {
  return kRootNames[index];
}

std::optional<std::size_t> Registry::SplitPath(
    std::string_view path, std::vector<std::string_view>* names) {
  names->clear();
  names->reserve(16);  // one allocation for the deepest of the installer's keys
  const std::size_t end = path.find('\\');
  const std::string_view root = path.substr(0, end);
  std::optional<std::size_t> index;
  for (std::size_t i = 0; i < kRootCount; ++i) {
    if (SameName(root, kRootNames[i]) ||
        SameName(root, kRootAbbreviations[i])) {
      index = i;
    }
  }
  if (!index || end == std::string_view::npos) return index;
  std::string_view rest = path.substr(end + 1);
  while (!rest.empty()) {
    const std::size_t next = rest.find('\\');
    std::string_view name = rest.substr(0, next);
    if (!name.empty()) names->push_back(name);
    if (next == std::string_view::npos) break;
    rest.remove_prefix(next + 1);
  }
  return index;
}

const Registry::Handle* Registry::FindHandle(HKEY key) const {
  auto it = handles_.find(static_cast<std::uintptr_t>(key));
  return it == handles_.end() ? nullptr : it->second.get();
}

HKEY Registry::NewHandle(std::shared_ptr<Key> key, REGSAM access) {
  const std::uintptr_t value = next_handle_;
  next_handle_ += 4;  // handle values are multiples of four, never reused
  auto handle = std::make_unique<Handle>();
  handle->key = std::move(key);
  handle->access = access;
  handles_[value] = std::move(handle);
  return HKEY{value};
}

std::shared_ptr<Registry::Key> Registry::FindPath(std::string_view path) const {
  std::vector<std::string_view> names;
  const std::optional<std::size_t> root = SplitPath(path, &names);
  if (!root) return nullptr;
  const KeyPtr* key = WalkDown(FindHandle(kRootKeys[*root])->key, names);
  return key ? *key : nullptr;
}

std::shared_ptr<Registry::Key> Registry::MakePath(std::string_view path) {
  std::vector<std::string_view> names;
  const std::optional<std::size_t> root = SplitPath(path, &names);
  if (!root) {
    throw std::invalid_argument("registry path without a root key: " +
                                std::string(path));
  }
  return WalkDownMaking(FindHandle(kRootKeys[*root])->key, names);
}

std::string Registry::FullPath(const Key& key) const {
  if (key.deleted) return key.deleted_path;
  std::vector<const Key*> chain;
  for (const Key* k = &key; k != nullptr && k != root_.get(); k = k->parent) {
    chain.push_back(k);
  }
  std::string path;
  for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
    if (!path.empty()) path += '\\';
    path += (*it)->name;
  }
  return path;
}

std::string Registry::StoredPath(std::string_view path) const {
  const KeyPtr key = FindPath(path);
  return key ? FullPath(*key) : std::string();
}

bool Registry::ReadOnly(const Key& key) const {
  if (!read_only_machine_) return false;
  const Key* below = nullptr;
  for (const Key* k = &key; k->parent != nullptr; below = k, k = k->parent) {
    if (k->parent != root_.get()) continue;
    return below != nullptr && SameName(k->name, "HKEY_LOCAL_MACHINE") &&
           (SameName(below->name, "SOFTWARE") || SameName(below->name, "SYSTEM"));
  }
  return false;  // a deleted key: its calls answer ERROR_KEY_DELETED
}

void Registry::Remove(std::shared_ptr<Key> key) {
  // The subtree, gathered before anything is unlinked.
  std::vector<KeyPtr> nodes{key};
  for (std::size_t i = 0; i < nodes.size(); ++i) {
    for (const KeyPtr& child : nodes[i]->subkeys) nodes.push_back(child);
  }
  // A key that a handle still holds remembers where it was, for PathOf. Below
  // the top, a key is otherwise held only by `nodes` and by its parent.
  for (const KeyPtr& node : nodes) {
    if (node == key || node.use_count() > 2)
      node->deleted_path = FullPath(*node);
  }
  if (Key* parent = key->parent) {
    auto it = LowerBound(*parent, key->name);
    if (it != parent->subkeys.end() && *it == key) parent->subkeys.erase(it);
  }
  for (const KeyPtr& node : nodes) {
    node->subkeys.clear();
    node->values.clear();
    node->parent = nullptr;
    node->deleted = true;
  }
}

// --- The calls.

LONG Registry::OpenKey(HKEY key, const char* subKey, REGSAM desired,
                       HKEY* result) {
  if (result == nullptr) return win::ERROR_INVALID_PARAMETER;
  *result = win::kNullKey;
  const Handle* handle = FindHandle(key);
  if (handle == nullptr) return win::ERROR_INVALID_HANDLE;
  // A predefined root with no subkey comes back as itself, not as a new
  // handle [Wine kernelbase/registry.c: RegOpenKeyExA].
  if (IsEmpty(subKey) && IsPredefined(key)) {
    *result = key;
    return win::ERROR_SUCCESS;
  }
  if (handle->key->deleted) return win::ERROR_KEY_DELETED;
  std::vector<std::string_view> names;
  if (LONG rc = SplitSubkey(subKey, &names)) return rc;
  const KeyPtr* target = WalkDown(handle->key, names);
  if (!target) return win::ERROR_FILE_NOT_FOUND;
  // Rights the key's security does not grant: ERROR_ACCESS_DENIED, the result
  // null [MS: RegOpenKeyExA, samDesired; Wine test registry.c:
  // check_user_privs, KEY_READ|KEY_WRITE on HKLM\Software as a limited user].
  // No rights at all (desired == 0) are allowed by Windows.
  if (ReadOnly(**target) && (desired & ~kUserMayAsk)) return win::ERROR_ACCESS_DENIED;
  // MAXIMUM_ALLOWED gets what the security grants: everything, or reading.
  if (desired & kMaximumAllowed) desired = ReadOnly(**target) ? win::KEY_READ : win::KEY_ALL_ACCESS;
  *result = NewHandle(*target, desired);
  return win::ERROR_SUCCESS;
}

LONG Registry::CreateKey(HKEY key, const char* subKey, HKEY* result) {
  if (result == nullptr) return kErrorBadKey;
  const Handle* handle = FindHandle(key);
  if (handle == nullptr) return win::ERROR_INVALID_HANDLE;
  // RegCreateKeyA: a predefined key with no subkey is handed back as it is
  // [MS: RegCreateKeyA, lpSubKey].
  if (IsEmpty(subKey) && IsPredefined(key)) {
    *result = key;
    return win::ERROR_SUCCESS;
  }
  if (handle->key->deleted) return win::ERROR_KEY_DELETED;
  std::vector<std::string_view> names;
  if (LONG rc = SplitSubkey(subKey, &names)) return rc;
  // The parent handle's own access is not consulted: Windows checks creation
  // against the key's security descriptor [MS: RegCreateKeyA, hKey; Wine test
  // registry.c: test_reg_create_key, "all versions of Windows ignore the
  // access rights to the parent handle"].
  // RegCreateKeyA asks for MAXIMUM_ALLOWED [Wine advapi32 registry.c:
  // RegCreateKeyA]: an existing key opens with what its security grants; a
  // missing one needs KEY_CREATE_SUB_KEY on the key above it, which a
  // read-only tree refuses (ERROR_ACCESS_DENIED, nothing created).
  if (read_only_machine_) {
    const KeyPtr* existing = &handle->key;
    bool missing = false;
    for (std::string_view name : names) {
      const KeyPtr* next = FindSubkey(**existing, name);
      if (!next) {
        missing = true;
        break;
      }
      existing = next;
    }
    if (ReadOnly(**existing)) {
      if (missing) return win::ERROR_ACCESS_DENIED;
      *result = NewHandle(*existing, win::KEY_READ);
      return win::ERROR_SUCCESS;
    }
  }
  *result = NewHandle(WalkDownMaking(handle->key, names), win::KEY_ALL_ACCESS);
  return win::ERROR_SUCCESS;
}

LONG Registry::QueryValue(HKEY key, const char* valueName, DWORD* type,
                          std::span<win::BYTE> data, DWORD* cbData) {
  const bool has_buffer = data.data() != nullptr;
  if (has_buffer && cbData == nullptr) return win::ERROR_INVALID_PARAMETER;
  if (key == win::kNullKey) return win::ERROR_INVALID_HANDLE;
  // The A version resets these before it looks anything up
  // [Wine kernelbase/registry.c: RegQueryValueExA].
  if (!has_buffer && cbData != nullptr) *cbData = 0;
  if (type != nullptr) *type = win::REG_NONE;

  const Handle* handle = FindHandle(key);
  if (handle == nullptr) return win::ERROR_INVALID_HANDLE;
  if (!(handle->access & win::KEY_QUERY_VALUE)) return win::ERROR_ACCESS_DENIED;
  if (handle->key->deleted) return win::ERROR_KEY_DELETED;
  Key& node = *handle->key;
  auto value = FindValue(node, valueName ? valueName : "");
  if (value == node.values.end()) return win::ERROR_FILE_NOT_FOUND;

  const std::size_t size = value->data.size();
  LONG status = win::ERROR_SUCCESS;
  if (has_buffer) {
    if (size > data.size()) {
      status = win::ERROR_MORE_DATA;  // the buffer stays untouched (NT)
    } else {
      std::copy(value->data.begin(), value->data.end(), data.begin());
      // A string stored without its NUL gets one when there is room; the
      // size reported does not count it.
      if (IsStringType(value->type) && size > 0 && size < data.size() &&
          value->data[size - 1] != 0) {
        data[size] = 0;
      }
    }
  }
  if (type != nullptr) *type = value->type;
  if (cbData != nullptr) *cbData = static_cast<DWORD>(size);
  return status;
}

LONG Registry::SetValue(HKEY key, const char* valueName, DWORD type,
                        std::span<const win::BYTE> data) {
  if (data.data() == nullptr && !data.empty()) return win::ERROR_NOACCESS;
  const Handle* handle = FindHandle(key);
  if (handle == nullptr) return win::ERROR_INVALID_HANDLE;
  if (!(handle->access & win::KEY_SET_VALUE)) return win::ERROR_ACCESS_DENIED;
  if (handle->key->deleted) return win::ERROR_KEY_DELETED;
  Key& node = *handle->key;
  const std::string_view name = valueName ? valueName : "";
  // NT stores the count of bytes given, NUL or not; any type number goes.
  std::vector<win::BYTE> bytes(data.begin(), data.end());
  auto value = FindValue(node, name);
  if (value != node.values.end()) {
    // An existing value keeps its name and its place in the enumeration.
    value->type = type;
    value->data = std::move(bytes);
  } else {
    node.values.push_back(RegValue{std::string(name), type, std::move(bytes)});
  }
  return win::ERROR_SUCCESS;
}

LONG Registry::DeleteKey(HKEY key, const char* subKey) {
  if (subKey == nullptr) return win::ERROR_INVALID_PARAMETER;
  const Handle* handle = FindHandle(key);
  if (handle == nullptr) return win::ERROR_INVALID_HANDLE;
  if (handle->key->deleted) return win::ERROR_KEY_DELETED;
  std::vector<std::string_view> names;
  if (LONG rc = SplitSubkey(subKey, &names)) return rc;
  // The subkey is opened with DELETE access of its own, so the parent
  // handle's access does not matter [MS: RegDeleteKeyA, hKey].
  const KeyPtr* found = WalkDown(handle->key, names);
  if (!found) return win::ERROR_FILE_NOT_FOUND;
  KeyPtr target = *found;
  if (target->parent == root_.get()) return win::ERROR_ACCESS_DENIED;
  // Opening the subkey with DELETE is refused where only reading is granted.
  if (ReadOnly(*target)) return win::ERROR_ACCESS_DENIED;
  // NT refuses a key that has subkeys; 95/98/ME take the whole subtree
  // [Wine server/registry.c: delete_key; MS: CRegKey::DeleteSubKey].
  if (!target->subkeys.empty() && delete_rule_ == DeleteKeyRule::kNt) {
    return win::ERROR_ACCESS_DENIED;
  }
  Remove(target);
  return win::ERROR_SUCCESS;
}

LONG Registry::DeleteTree(HKEY key, const char* subKey) {
  const Handle* handle = FindHandle(key);
  if (handle == nullptr) return win::ERROR_INVALID_HANDLE;
  if (handle->key->deleted) return win::ERROR_KEY_DELETED;
  std::vector<std::string_view> names;
  if (LONG rc = SplitSubkey(subKey, &names)) return rc;
  const KeyPtr* found = WalkDown(handle->key, names);
  if (!found) return win::ERROR_FILE_NOT_FOUND;
  KeyPtr target = *found;
  // SHDeleteKeyA is RegDeleteTreeA, which deletes key by key with DELETE
  // [Wine shcore main.c: SHDeleteKeyA]: refused where only reading is granted.
  if (ReadOnly(*target)) return win::ERROR_ACCESS_DENIED;
  if (names.empty()) {
    // No subkey: the key's contents go and the key stays
    // [Wine kernelbase/registry.c: RegDeleteTreeW; test_delete_tree].
    while (!target->subkeys.empty()) Remove(target->subkeys.back());
    target->values.clear();
    return win::ERROR_SUCCESS;
  }
  Remove(target);
  return win::ERROR_SUCCESS;
}

LONG Registry::CloseKey(HKEY key) {
  if (IsPredefined(key)) return win::ERROR_SUCCESS;  // harmless
  auto it = handles_.find(static_cast<std::uintptr_t>(key));
  if (it == handles_.end()) return win::ERROR_INVALID_HANDLE;
  handles_.erase(it);
  return win::ERROR_SUCCESS;
}

std::size_t Registry::OpenHandleCount() const {
  return handles_.size() - kRootCount;
}

std::string Registry::PathOf(HKEY key) const {
  const Handle* handle = FindHandle(key);
  return handle ? FullPath(*handle->key) : std::string();
}

// --- Direct access.

bool Registry::KeyExists(std::string_view path) const {
  return FindPath(path) != nullptr;
}

std::optional<RegValue> Registry::GetValue(std::string_view keyPath,
                                           std::string_view valueName) const {
  const KeyPtr key = FindPath(keyPath);
  if (!key) return std::nullopt;
  auto value = FindValue(*key, valueName);
  if (value == key->values.end()) return std::nullopt;
  return *value;
}

void Registry::PutValue(std::string_view keyPath, std::string_view valueName,
                        DWORD type, std::vector<win::BYTE> data) {
  const KeyPtr key = MakePath(keyPath);
  auto value = FindValue(*key, valueName);
  if (value != key->values.end()) {
    value->type = type;
    value->data = std::move(data);
  } else {
    key->values.push_back(
        RegValue{std::string(valueName), type, std::move(data)});
  }
}

void Registry::PutKey(std::string_view keyPath) { MakePath(keyPath); }

bool Registry::RemoveTree(std::string_view keyPath) {
  const KeyPtr key = FindPath(keyPath);
  if (!key) return false;
  if (key->parent == root_.get()) {
    throw std::invalid_argument("a root key cannot be removed: " +
                                std::string(keyPath));
  }
  Remove(key);
  return true;
}

bool Registry::RemoveValue(std::string_view keyPath,
                           std::string_view valueName) {
  const KeyPtr key = FindPath(keyPath);
  if (!key) return false;
  auto value = FindValue(*key, valueName);
  if (value == key->values.end()) return false;
  key->values.erase(value);
  return true;
}

std::vector<std::string> Registry::SubkeyNames(std::string_view keyPath) const {
  std::vector<std::string> names;
  if (const KeyPtr key = FindPath(keyPath)) {
    for (const KeyPtr& child : key->subkeys) names.push_back(child->name);
  }
  return names;
}

std::vector<RegValue> Registry::Values(std::string_view keyPath) const {
  const KeyPtr key = FindPath(keyPath);
  return key ? key->values : std::vector<RegValue>();
}

}  // namespace orvane::winsim
