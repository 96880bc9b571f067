#include "system/uninstall_entry.h"

#include <span>
#include <string>

#include "app/install_root.h"
#include "platform/scoped_key.h"

namespace orvane {
namespace {

constexpr char kUninstallKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
constexpr char kEntryName[] = "Orvane";
constexpr char kEntryKey[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Orvane";
// Below the installation root; the path is not quoted.
constexpr char kUninstallCommand[] = "orvane\\setup.exe uninstall";

// A REG_SZ's bytes: the text and its terminating NUL.
std::span<const win::BYTE> SzBytes(const std::string& text) {
  return {reinterpret_cast<const win::BYTE*>(text.c_str()), text.size() + 1};
}

}  // namespace

win::BOOL WriteUninstallEntry(Platform& platform) {
  const std::string root = GetInstallRoot(platform);
  ScopedKey entry(platform);
  if (platform.RegOpenKeyExA(win::HKEY_LOCAL_MACHINE, kEntryKey, 0, win::KEY_ALL_ACCESS,
                             entry.Receive()) != win::ERROR_SUCCESS &&
      platform.RegCreateKeyA(win::HKEY_LOCAL_MACHINE, kEntryKey, entry.Receive()) !=
          win::ERROR_SUCCESS) {
    return win::TRUE;
  }
  // Value by value: other values of an existing entry stay as they are. The
  // results of the writes are not examined.
  platform.RegSetValueExA(entry.get(), "DisplayName", 0, win::REG_SZ,
                          SzBytes(kEntryName));
  platform.RegSetValueExA(entry.get(), "UninstallString", 0, win::REG_SZ,
                          SzBytes(root + kUninstallCommand));
  return win::TRUE;
}

win::BOOL DeleteUninstallEntry(Platform& platform) {
  ScopedKey parent(platform);
  if (platform.RegOpenKeyExA(win::HKEY_LOCAL_MACHINE, kUninstallKey, 0,
                             win::KEY_ALL_ACCESS, parent.Receive()) == win::ERROR_SUCCESS) {
    // The entry holds values only, so the plain deletion removes it on every
    // Windows family.
    platform.RegDeleteKeyA(parent.get(), kEntryName);
    parent.Close();
  }
  // Sent whether or not anything was deleted, so that the shell refreshes
  // its list of programs.
  platform.SHChangeNotify(win::SHCNE_CREATE | win::SHCNE_MKDIR | win::SHCNE_RMDIR,
                          win::SHCNF_IDLIST, nullptr, nullptr);
  return win::TRUE;
}

}  // namespace orvane
