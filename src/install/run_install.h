// The install routine: puts the port monitor, the printer driver and the
// printer in place, step by step, logging its failures to the setup log.
#pragma once

#include "platform/platform.h"

namespace orvane {

// Runs the whole installation: computes the install context, then the steps
// in their fixed order (earlier installation, monitor files, driver files,
// monitor, port, the PostScript check on Windows 95/98/ME, driver, printer,
// printer data, default settings, completion). Returns at once, undoing
// nothing, where a step ends the installation: no system folder, an earlier
// installation still in place, access denied for the monitor, no PostScript
// driver on 95/98/ME, a printer data file that cannot be used. Reports
// through the setup log, standard output and message boxes only; never
// throws a file error of its own.
void RunInstall(Platform& platform);

}  // namespace orvane
