// The printer driver "ORVANE Printer Driver": Microsoft's PostScript driver
// with the product's description and interface files, in the variant the
// running Windows needs.
#pragma once

#include "install/install_context.h"

namespace orvane {

// Logs "Printer Driver Directory: %s" (whole, however long); then copies from
// setup_dir + "\res\drivedir\" into driver_dir + "\": on the Windows
// 95/98/ME path "orvdriver.SPD" and the settings key "Uninstall" = ""; on the
// NT-family path ClearIniFileMapping, then "Pscript.dll", "Orvaneui.dll",
// "Pscript.hlp"; on both "ovps.PPD" and "ovfonts.tbl". Failures are logged by
// CopyFileChecked; nothing stops here.
void CopyDriverFiles(Platform& platform, InstallContext& context);

// Windows 95/98/ME path only (true elsewhere, without a call): true when
// driver_dir + "\Pscript.drv" exists. Otherwise shows the prerequisite
// message, starts the download page and, 5000 ms later, the Add Printer
// wizard (both with Windows' own rundll32.exe, StartRundll32, and the
// program's own environment), logs "Failed to launch Add Printer dialog\r\n"
// when the wizard does not start (its folder unknown included), and returns
// false: the installation ends.
bool CheckPostScriptDriver(Platform& platform, InstallContext& context);

// Adds the driver: record A (level 3, "Windows 4.0") on the Windows 95/98/ME
// path, record B (level 3, NT 4) elsewhere, or, when QueryIsXPor2000 says so,
// the version-3 files and record C (level 6). Prints "Adding printer
// driver\n\n" (and on 95/98/ME the driver folder, then pauses 1000 ms); on the
// NT-family path writes "TS Enabled" = "0" when AutoCAD's key opens. Sets
// rpc_unavailable to 0 before the call; a refusal goes to HandleDriverFailure
// with the very record and level. Never ends the installation.
void InstallPrinterDriver(Platform& platform, InstallContext& context);

// The six files of the version-3 driver, in order: "orvaneps5.PPD",
// "pscript5.dll", "ps5ui.dll", "orvane.INI", "orvaneui5.DLL", "pscript.ntf".
void CopyVersion3DriverFiles(Platform& platform, InstallContext& context);

}  // namespace orvane
