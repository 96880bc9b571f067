// The uninstall routine: removes the printer, the driver, the port monitor and
// their registry keys, whatever the result of each step.
#pragma once

#include "platform/platform.h"

namespace orvane {

// Runs the whole removal. `silent` 0: interactive (run from the command line
// "uninstall"); 1: called by the installer to clear an earlier installation.
void RunUninstall(Platform& platform, int silent);

}  // namespace orvane
