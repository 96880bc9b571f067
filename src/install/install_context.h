// The values every install step reads, computed once at the start of RunInstall.
#pragma once

#include <string>

#include "platform/platform.h"

namespace orvane {

struct InstallContext {
  std::string install_root;  // the installation root, normally ending in '\'
  std::string driver_dir;    // the printer-driver folder, no trailing '\'
  std::string setup_dir;     // the running program's folder, no trailing '\'
  std::string system_dir;    // the system folder with '\' appended
  int is_winnt = 0;          // 1 on the NT family
  int is_win4 = 0;           // 1 when the major version is 4 or more
  std::string monitor_dll;   // "orvmon.dll" on NT, else "orvmon95.dll"
  int rpc_unavailable = 0;   // set when adding the driver met error 1722

  // Windows 95/98/ME; every other combination of the flags takes the NT path.
  bool IsWin9xPath() const { return !is_winnt && is_win4; }
};

// The family flags as both routines derive them from GetVersion: bit 31 clear
// means the NT family; a major version (the low byte) of 4 or more means win4.
inline int IsWinNt(win::DWORD version) { return (version & 0x80000000u) == 0 ? 1 : 0; }
inline int IsWin4(win::DWORD version) { return (version & 0xFFu) >= 4 ? 1 : 0; }

}  // namespace orvane
