// The first install step: finds a monitor DLL left in the system folder by an
// earlier installation and clears that installation away, or ends the install
// asking the user to reboot (and, on Windows 95/98/ME, perhaps to delete the
// printer) and to run setup again. Only the DLL decides; the monitor listing
// plays no part.
#pragma once

#include "install/install_context.h"

namespace orvane {

// Returns whether the installation goes on; false after its message box(es).
//
// Windows 95/98/ME (context.IsWin9xPath()): the installed DLL is deleted; if
// it is gone, or as large as the shipped one (or the shipped one is missing),
// the install goes on and nothing else is touched. Otherwise the old printer,
// monitor and keys are removed and the install ends with the reboot message.
//
// The NT family: the installed DLL is deleted; if it stays, RunUninstall runs
// silently and the DLL is deleted again; if it still stays, the install ends
// with the reboot-and-rights message. On every other way the earlier keys are
// deleted (also on a first installation) and the install goes on.
//
// Failed deletions (file, printer, monitor, keys) never stop the step; file
// errors are caught here. Nothing is undone when the install ends.
bool RemoveEarlierInstallation(Platform& platform, InstallContext& context);

}  // namespace orvane
