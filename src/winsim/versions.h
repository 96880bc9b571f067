// The Windows versions the simulator can be, each with what the installer can
// observe of it: the GetVersion and GetVersionExA answers, its folders, the
// print spooler's environment and the registry rule for deleting keys.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "platform/win32_types.h"
#include "winsim/registry.h"

namespace orvane::winsim {

enum class WindowsVersion { kWin95, kWin98, kWinMe, kNt351, kNt4, kWin2000, kWinXp, kWin32s };

struct VersionProfile {
  WindowsVersion version;
  const char* name;          // the name `winsim create --windows` takes: "98", "xp"
  const char* display_name;  // "Windows 98"
  win::DWORD get_version;    // GetVersion's 32-bit answer
  win::DWORD major, minor, build_number, platform_id;
  const char* csd_version;
  bool knows_extended_record;  // GetVersionExA accepts the 156-byte record
  win::WORD service_pack_major;
  const char* windows_dir;     // "C:\WINDOWS"
  const char* system_dir;      // "C:\WINDOWS\system32"
  const char* driver_dir;      // GetPrinterDriverDirectoryA, native environment
  const char* environment;     // the spooler's native environment
  win::DWORD driver_version;   // Version-N under that environment's Drivers key
  const char* rundll32;        // where this Windows keeps rundll32.exe
  DeleteKeyRule delete_rule;
  bool nt_family;              // bit 31 of GetVersion clear
};

const VersionProfile& Profile(WindowsVersion version);
std::span<const VersionProfile> AllProfiles();
// "95", "98", "me", "nt351", "nt4", "2000", "xp", "win32s" (any case).
std::optional<WindowsVersion> ParseVersion(std::string_view name);

}  // namespace orvane::winsim
