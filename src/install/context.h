// Computing the install context, and the Windows 2000/XP decision.
#pragma once

#include <string>

#include "install/install_context.h"

namespace orvane {

// The folder of the running program without its trailing backslash: the
// module path (GetModuleFileNameA into 512 bytes) up to its last '\' ("" when
// it has none, or when the path cannot be had).
std::string GetSetupDirectory(Platform& platform);

// True when the system counts as Windows 2000, XP or later: the settings
// file's "IsXPor2000" (read afresh at every call, converted as atoi does:
// 1 true, 0 false), else the major version that GetVersionExA reports (greater
// than 4; the 156-byte record first, then the 148-byte one; false when both
// fail). Keeps nothing between calls.
bool QueryIsXPor2000(Platform& platform);

// Where the spooler keeps printer drivers on a Windows of this family when the
// spooler cannot be asked: `system_dir` (with its trailing '\') +
// "spool\drivers\w32x86" on the NT family, the system folder itself elsewhere.
// These are the folders GetPrinterDriverDirectoryA names for the native
// environment on every such Windows. Never ends in '\'.
std::string DefaultDriverDirectory(const std::string& system_dir, int is_winnt);

// Fills every field of the context, in this order: the root, the driver
// folder, the monitor listing on standard output ("EnumMonitors failed\n\n" or
// "Monitor found\n\n"), the setup folder, the system folder, the family flags
// and their two log lines, the monitor DLL; rpc_unavailable is 0.
//
// When GetPrinterDriverDirectoryA fails (for instance with 1722 while the
// spooler is stopped) the code is logged as "GetPrinterDriverDirectory: %lu"
// and driver_dir becomes DefaultDriverDirectory: never empty, so no driver
// file is ever put into the root of a drive.
//
// False, after logging "GetSystemDirectory failed\r\n" and before the family
// lines, when the system folder cannot be had: the installation ends there.
// The context is then partly filled.
bool ComputeInstallContext(Platform& platform, InstallContext* context);

}  // namespace orvane
