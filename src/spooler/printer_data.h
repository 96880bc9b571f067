// The printer's configuration data, written as registry blobs from the
// product's data files. Each returns whether the installation goes on.
#pragma once

#include "install/install_context.h"

namespace orvane {

bool WritePrinterDriverData(Platform& platform, InstallContext& context);
bool WriteDefaultDevMode(Platform& platform, InstallContext& context);

}  // namespace orvane
