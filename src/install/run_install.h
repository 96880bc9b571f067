// The install routine: puts the port monitor, the printer driver and the
// printer in place, step by step, logging its failures to the setup log.
#pragma once

#include "platform/platform.h"

namespace orvane {

// Runs the whole installation. Reports through the setup log and message
// boxes only; never throws a file error of its own.
void RunInstall(Platform& platform);

}  // namespace orvane
