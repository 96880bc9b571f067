#include "system/service_control.h"

namespace orvane {

// Filled by the removal-and-upgrade work.
win::BOOL RestartSpooler(Platform&) { return win::FALSE; }

}  // namespace orvane
