// The simulated registry: one tree of keys under the predefined roots, with the
// handle table that the registry calls work through.
//
// Windows' rules kept here:
// - Key and value names compare without regard to case and keep the case they
//   were created with. Subkeys enumerate in case-insensitive alphabetical order
//   (the hive's sorted index); values in insertion order.
// - A handle carries the access it was opened with; an operation that needs an
//   access right the handle lacks fails with ERROR_ACCESS_DENIED: querying a
//   value needs KEY_QUERY_VALUE, setting one KEY_SET_VALUE. Creating or
//   deleting a subkey consults no right of the parent handle, as on Windows
//   (creation is checked against the key's security; a deleted subkey is
//   opened anew with DELETE).
// - Key security: everybody may do anything, except that a user who is no
//   administrator, on the NT family, may only read HKLM\SOFTWARE and
//   HKLM\SYSTEM and what lies below them (SetReadOnlyMachineKeys).
// - A handle whose key was deleted stays a valid handle: RegCloseKey succeeds,
//   every other operation through it fails with ERROR_KEY_DELETED.
// - RegDeleteKeyA refuses a key with subkeys on the NT family (ERROR_ACCESS_DENIED)
//   and removes the whole subtree on Windows 95/98/ME; SHDeleteKeyA removes the
//   subtree everywhere.
//
// Registry calls do not touch the last-error value; they return their status.
#pragma once

#include <cstddef>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "platform/win32_types.h"

namespace orvane::winsim {

enum class DeleteKeyRule { kNt, kWin9x };

struct RegValue {
  std::string name;  // "" is the key's default value
  win::DWORD type = win::REG_NONE;
  std::vector<win::BYTE> data;
};

// A damaged REGEDIT4 text: the line (1-based) and what is wrong with it.
class RegFileError : public std::runtime_error {
 public:
  RegFileError(int line, const std::string& what)
      : std::runtime_error(what), line_(line) {}
  int line() const { return line_; }

 private:
  int line_;
};

class Registry {
 public:
  Registry();
  ~Registry();
  Registry(const Registry&) = delete;
  Registry& operator=(const Registry&) = delete;

  void SetDeleteKeyRule(DeleteKeyRule rule) { delete_rule_ = rule; }
  DeleteKeyRule delete_key_rule() const { return delete_rule_; }
  // Windows' default security for a user who is no administrator on the NT
  // family: HKLM\SOFTWARE and HKLM\SYSTEM grant reading only. Off (an
  // administrator, or Windows 95/98/ME, which keep no key security): no check.
  void SetReadOnlyMachineKeys(bool on) { read_only_machine_ = on; }

  // --- The calls, with Win32's arguments and results.
  win::LONG OpenKey(win::HKEY key, const char* subKey, win::REGSAM desired,
                    win::HKEY* result);
  win::LONG CreateKey(win::HKEY key, const char* subKey, win::HKEY* result);
  win::LONG QueryValue(win::HKEY key, const char* valueName, win::DWORD* type,
                       std::span<win::BYTE> data, win::DWORD* cbData);
  win::LONG SetValue(win::HKEY key, const char* valueName, win::DWORD type,
                     std::span<const win::BYTE> data);
  win::LONG DeleteKey(win::HKEY key, const char* subKey);
  win::LONG DeleteTree(win::HKEY key, const char* subKey);
  win::LONG CloseKey(win::HKEY key);

  // Handles opened and not yet closed (predefined roots do not count).
  std::size_t OpenHandleCount() const;
  // The full path ("HKEY_LOCAL_MACHINE\Software\...") of a handle's key, in its
  // stored case; empty for an unknown handle.
  std::string PathOf(win::HKEY key) const;

  // --- Direct access for the simulator and for tests: full paths that begin
  // with a root name (HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER, HKEY_CLASSES_ROOT,
  // HKEY_USERS, or HKLM, HKCU, HKCR, HKU), compared without regard to case.
  // No handles, no access checks. Creating under an unknown root throws
  // std::invalid_argument; looking under one finds nothing.
  bool KeyExists(std::string_view path) const;
  std::optional<RegValue> GetValue(std::string_view keyPath,
                                   std::string_view valueName) const;
  // Creates the key and every missing key on the way.
  void PutValue(std::string_view keyPath, std::string_view valueName,
                win::DWORD type, std::vector<win::BYTE> data);
  void PutKey(std::string_view keyPath);
  // Removes the key and its subtree; false when it did not exist. Open handles
  // to removed keys answer ERROR_KEY_DELETED. A root cannot be removed
  // (std::invalid_argument).
  bool RemoveTree(std::string_view keyPath);
  bool RemoveValue(std::string_view keyPath, std::string_view valueName);
  // Names in enumeration order; empty when the key does not exist.
  std::vector<std::string> SubkeyNames(std::string_view keyPath) const;
  std::vector<RegValue> Values(std::string_view keyPath) const;

  // --- REGEDIT4 text, as regedit writes and reads it. Every value type
  // round-trips byte for byte (REG_SZ that carries its NUL as "...", anything
  // else as hex or hex(N)).
  // The whole registry, or one key with its subtree (only the "REGEDIT4" line
  // when the key does not exist).
  std::string ExportRegedit4(std::string_view keyPath = {}) const;
  // Merges the text as regedit would: keys created, values set, "[-key]"
  // removes a key, "name"=- removes a value. Throws RegFileError and changes
  // nothing when the text is damaged, and for the UTF-16 era's "Windows
  // Registry Editor Version 5.00" header, which is not read.
  void ImportRegedit4(std::string_view text);

  struct Key;

 private:
  struct Handle;

  // The predefined roots, in enumeration order (they sort that way too).
  static constexpr std::size_t kRootCount = 4;
  static std::string_view RootName(std::size_t index);
  // Splits a full path such as "HKLM\A\\B\" into its root's index and the
  // names below it: runs of backslashes separate names, trailing ones are
  // ignored. nullopt when the path does not begin with a root name.
  static std::optional<std::size_t> SplitPath(
      std::string_view path, std::vector<std::string_view>* names);

  // An open handle or a predefined root; null for anything else.
  const Handle* FindHandle(win::HKEY key) const;
  win::HKEY NewHandle(std::shared_ptr<Key> key, win::REGSAM access);
  std::shared_ptr<Key> FindPath(std::string_view path) const;
  // Throws std::invalid_argument when the path names no root.
  std::shared_ptr<Key> MakePath(std::string_view path);
  std::string FullPath(const Key& key) const;
  // The stored-case full path of an existing key; empty when it is missing.
  std::string StoredPath(std::string_view path) const;
  // Unlinks the key from its parent and marks it and its subtree deleted.
  void Remove(std::shared_ptr<Key> key);
  // The key lies in a tree that SetReadOnlyMachineKeys makes read-only.
  bool ReadOnly(const Key& key) const;

  DeleteKeyRule delete_rule_ = DeleteKeyRule::kNt;
  bool read_only_machine_ = false;
  std::unique_ptr<Key> root_;  // holds the predefined roots as children
  // Open handles, and the predefined roots under their own values.
  std::map<std::uintptr_t, std::unique_ptr<Handle>> handles_;
  std::uintptr_t next_handle_ = 0x100;
};

}  // namespace orvane::winsim
