// Creates the printer "ORVANE" on the port "ORVANEPORT" with the driver
// "ORVANE Printer Driver". A failure is logged; the install goes on.
#pragma once

#include "install/install_context.h"

namespace orvane {

void CreatePrinter(Platform& platform, InstallContext& context);

}  // namespace orvane
