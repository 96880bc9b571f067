// The port monitor "ORVANE Monitor" and its redirected port "ORVANEPORT": the
// monitor DLLs in the system folder, the monitor's registration with the
// spooler, and the port's configuration, which the monitor reads.
#pragma once

#include "install/install_context.h"

namespace orvane {

// Copies `monitor_dll` and its companion ("orvmona.dll" beside "orvmon.dll",
// else "orvmona95.dll") from setup_dir + "\res\drivedir\" into system_dir.
// Failures are logged by CopyFileChecked; nothing stops here.
void CopyMonitorFiles(Platform& platform, InstallContext& context);

// Registers "ORVANE Monitor" (MONITOR_INFO_2 at level 2, the family's
// environment, the bare DLL name). On the NT-family path it first prints
// "Initializing Spooler\n\n" and pauses 3000 ms. Success pauses 1000 ms.
// Access denied (5) shows the administrative-rights message, logs nothing and
// returns false: the installation ends. Any other code logs "AddMonitor: %lu"
// and pauses 2000 ms; true.
bool AddPortMonitor(Platform& platform, InstallContext& context);

// Writes the twelve values of ...\Monitors\ORVANE Monitor\Ports\ORVANEPORT in
// their fixed order, types and byte counts, opening or creating the keys on
// the way. Other values of the port and other ports are left alone. A key
// that can neither be opened nor created skips the rest silently; every key
// opened here is closed again.
void WritePortConfiguration(Platform& platform, InstallContext& context);

}  // namespace orvane
