#include "winsim/versions.h"

#include <algorithm>
#include <cctype>

namespace orvane::winsim {
namespace {

using win::VER_PLATFORM_WIN32_NT;
using win::VER_PLATFORM_WIN32_WINDOWS;
using win::VER_PLATFORM_WIN32s;

// GetVersion: low byte major, next byte minor; the high word is the build on NT
// (bit 31 clear) and has bit 31 set on Windows 95/98/ME and Win32s.
// On 95/98/ME dwBuildNumber repeats major.minor in its high word.
// The 156-byte OSVERSIONINFOEXA is refused by 95/98/ME, NT 3.51 and NT 4 before
// Service Pack 6; the NT 4 here is Service Pack 5, so its callers must retry
// with 148 bytes.
constexpr VersionProfile kProfiles[] = {
    {WindowsVersion::kWin95, "95", "Windows 95", 0xC0000004u, 4, 0, 0x040003B6u,
     VER_PLATFORM_WIN32_WINDOWS, "", false, 0, "C:\\WINDOWS", "C:\\WINDOWS\\SYSTEM",
     "C:\\WINDOWS\\SYSTEM", "Windows 4.0", 0, "C:\\WINDOWS\\rundll32.exe",
     DeleteKeyRule::kWin9x, false},
    {WindowsVersion::kWin98, "98", "Windows 98", 0xC0000A04u, 4, 10, 0x040A07CEu,
     VER_PLATFORM_WIN32_WINDOWS, " A ", false, 0, "C:\\WINDOWS", "C:\\WINDOWS\\SYSTEM",
     "C:\\WINDOWS\\SYSTEM", "Windows 4.0", 0, "C:\\WINDOWS\\rundll32.exe",
     DeleteKeyRule::kWin9x, false},
    {WindowsVersion::kWinMe, "me", "Windows ME", 0xC0005A04u, 4, 90, 0x045A0BB8u,
     VER_PLATFORM_WIN32_WINDOWS, "", false, 0, "C:\\WINDOWS", "C:\\WINDOWS\\SYSTEM",
     "C:\\WINDOWS\\SYSTEM", "Windows 4.0", 0, "C:\\WINDOWS\\rundll32.exe",
     DeleteKeyRule::kWin9x, false},
    {WindowsVersion::kNt351, "nt351", "Windows NT 3.51", 0x04213303u, 3, 51, 1057,
     VER_PLATFORM_WIN32_NT, "Service Pack 5", false, 5, "C:\\WINNT35",
     "C:\\WINNT35\\system32", "C:\\WINNT35\\system32\\spool\\drivers\\w32x86",
     "Windows NT x86", 1, "C:\\WINNT35\\system32\\rundll32.exe", DeleteKeyRule::kNt,
     true},
    {WindowsVersion::kNt4, "nt4", "Windows NT 4.0", 0x05650004u, 4, 0, 1381,
     VER_PLATFORM_WIN32_NT, "Service Pack 5", false, 5, "C:\\WINNT",
     "C:\\WINNT\\system32", "C:\\WINNT\\system32\\spool\\drivers\\w32x86",
     "Windows NT x86", 2, "C:\\WINNT\\system32\\rundll32.exe", DeleteKeyRule::kNt, true},
    {WindowsVersion::kWin2000, "2000", "Windows 2000", 0x08930005u, 5, 0, 2195,
     VER_PLATFORM_WIN32_NT, "Service Pack 4", true, 4, "C:\\WINNT",
     "C:\\WINNT\\system32", "C:\\WINNT\\system32\\spool\\drivers\\w32x86",
     "Windows NT x86", 3, "C:\\WINNT\\system32\\rundll32.exe", DeleteKeyRule::kNt, true},
    {WindowsVersion::kWinXp, "xp", "Windows XP", 0x0A280105u, 5, 1, 2600,
     VER_PLATFORM_WIN32_NT, "Service Pack 2", true, 2, "C:\\WINDOWS",
     "C:\\WINDOWS\\system32", "C:\\WINDOWS\\system32\\spool\\drivers\\w32x86",
     "Windows NT x86", 3, "C:\\WINDOWS\\system32\\rundll32.exe", DeleteKeyRule::kNt,
     true},
    // Win32s on Windows 3.1: bit 31 set with major version 3. Its printing goes
    // through the Windows 3.1 drivers in the system folder.
    {WindowsVersion::kWin32s, "win32s", "Windows 3.1 with Win32s", 0x80000A03u, 3, 10,
     0, VER_PLATFORM_WIN32s, "", false, 0, "C:\\WINDOWS", "C:\\WINDOWS\\SYSTEM",
     "C:\\WINDOWS\\SYSTEM", "Windows 3.1", 0, "C:\\WINDOWS\\rundll32.exe",
     DeleteKeyRule::kWin9x, false},
};

}  // namespace

const VersionProfile& Profile(WindowsVersion version) {
  for (const VersionProfile& p : kProfiles) {
    if (p.version == version) return p;
  }
  return kProfiles[0];
}

std::span<const VersionProfile> AllProfiles() { return kProfiles; }

std::optional<WindowsVersion> ParseVersion(std::string_view name) {
  std::string lower(name);
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  for (const VersionProfile& p : kProfiles) {
    if (lower == p.name) return p.version;
  }
  return std::nullopt;
}

}  // namespace orvane::winsim
