// Restarts the print spooler service ("Spooler"): a stop request, a pause of
// 500 ms, a start request, another pause of 500 ms. The service's state is
// never polled. Only when the start is refused because the service is still
// stopping (from this stop request or from an earlier one still under way) is
// it asked again, every 500 ms and at most 20 times, so that a slow stop does
// not leave the spooler, and every printer of the machine, stopped.
#pragma once

#include "platform/platform.h"

namespace orvane {

// Returns StartServiceA's result: non-zero when the start request was accepted.
// Never fails otherwise and logs nothing: when the service manager or the
// service cannot be opened (no rights, no such service), the later calls fail
// on the missing handle, both pauses still happen and the result is FALSE.
// Handles it opens are closed again before it returns.
win::BOOL RestartSpooler(Platform& platform);

}  // namespace orvane
