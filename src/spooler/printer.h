// Creates the printer "ORVANE" on the port "ORVANEPORT" with the driver
// "ORVANE Printer Driver" and the print processor "winprint".
#pragma once

#include "install/install_context.h"

namespace orvane {

// Progress and the port-listing diagnostic go to standard output only. A
// refusal is logged as "AddPrinter: %lu" and not retried; a failing
// ClosePrinter prints "ClosePrinter: %lu". Never ends the installation, and
// leaves no printer handle open.
void CreatePrinter(Platform& platform, InstallContext& context);

}  // namespace orvane
