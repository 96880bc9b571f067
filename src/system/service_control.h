// Stops the print spooler service and starts it again, pausing after each
// request. Returns StartServiceA's result.
#pragma once

#include "platform/platform.h"

namespace orvane {

win::BOOL RestartSpooler(Platform& platform);

}  // namespace orvane
