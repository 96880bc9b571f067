// What the campaign compares between two moments of a machine: the whole
// registry and every file on drive C:, and the rule that sorts them into the
// product's own and everybody else's.
//
// The product owns, and may change at will:
//   keys      ...\Control\Print\Printers\ORVANE and ...\Printers\ORVANE,0,
//             ...\Control\Print\Monitors\ORVANE Monitor,
//             ...\Print\Environments\<env>\Drivers[\<version>]\ORVANE Printer Driver,
//             ...\CurrentVersion\Uninstall\Orvane,
//             ...\Windows NT\CurrentVersion\IniFileMapping\orvane.ini,
//             and the registry section that entry maps the settings to, if any;
//   files     everything below the product folder, the monitor DLLs in the
//             system folder, the driver files of its Windows family in the
//             printer-driver folder and its version folders.
// The keys on the way to the product's keys may be created (empty). Everything
// else must stay byte for byte, with two rules of their own: the settings
// file, of which only the keys "Uninstall", "TS Enabled" and "Quiet" of
// section "Parameters" may change, and the machine-wide "Path", to which only
// the three Windows directories of the search-path repair may be added.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "winsim/machine.h"

namespace orvane::campaign {

struct KeyState {
  std::string path;  // as stored
  std::vector<winsim::RegValue> values;
};

struct FileState {
  std::string path;  // as stored
  std::string bytes;
};

struct Snapshot {
  std::map<std::string, KeyState> keys;    // by upper-case full path
  std::map<std::string, FileState> files;  // by upper-case Windows path
};

Snapshot TakeSnapshot(const winsim::Machine& machine);

std::string Upper(std::string_view text);

class ProductScope {
 public:
  // `setupDir` is the product folder ("C:\orvane"); `mappedSection` the
  // registry key that an IniFileMapping entry maps the settings to ("" for
  // none).
  ProductScope(const winsim::VersionProfile& profile, std::string setupDir,
               std::string mappedSection);

  bool IsProductKey(std::string_view path) const;
  // A key on the way to a product key (it may be created, empty).
  bool LeadsToProductKey(std::string_view path) const;
  bool IsProductFile(std::string_view path) const;
  const std::string& settings_file() const { return settings_file_; }

 private:
  std::vector<std::vector<std::string>> key_patterns_;  // upper case, "*" any name
  std::string product_folder_;                          // upper case, with "\"
  std::string settings_file_;                           // upper case
  std::string system_folder_;                           // upper case, with "\"
  std::string driver_folder_;                           // upper case, with "\"
  std::vector<std::string> monitor_files_;
  std::vector<std::string> driver_files_;
};

// The changes outside the product's own keys, files and settings between
// `before` and `after`, one description each; empty when there is none.
// `windowsDir` is the Windows folder (for the search-path rule).
std::vector<std::string> ChangesOutsideProduct(const Snapshot& before, const Snapshot& after,
                                               const ProductScope& scope,
                                               const std::string& windowsDir);

// The settings file's rule alone: the findings for `before` and `after`
// (either may be missing: nullptr).
std::vector<std::string> SettingsChanges(const std::string* before, const std::string* after);

// The search path's rule alone: findings for the "Path" value before and after
// (nullptr when it is missing).
std::vector<std::string> SearchPathChanges(const winsim::RegValue* before,
                                           const winsim::RegValue* after,
                                           const std::string& windowsDir);

}  // namespace orvane::campaign
