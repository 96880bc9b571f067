// The uninstall routine: takes the printer "ORVANE", the driver "ORVANE Printer
// Driver", the port monitor "ORVANE Monitor" and their registry keys out of
// Windows and removes the Add/Remove Programs entry.
//
// Every step runs whatever the earlier ones returned; no failure stops the
// routine, and failures show only as numbers in the setup log. It deletes no
// file: the monitor DLLs, the driver files and the product folder stay.
//
// Windows 95/98/ME take two runs, tied by the settings file's "Uninstall"
// value: the first (value "") asks for a reboot and keeps the Add/Remove
// Programs entry; a later one (any other value) deletes the entry. Both leave
// the value "1". On the NT family one run does everything, with the spooler
// restarted twice, and the settings file is not touched.
#pragma once

#include "platform/platform.h"

namespace orvane {

// `silent` 0: interactive (the "uninstall" run mode, after confirmation).
// Non-zero: called by the installer to clear an earlier installation; the
// closing message boxes are not shown, and on Windows 95/98/ME neither is the
// entry deleted that goes with one of them. On the NT family the entry is
// deleted either way.
void RunUninstall(Platform& platform, int silent);

}  // namespace orvane
