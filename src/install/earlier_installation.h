// The first install step: finds a monitor DLL left by an earlier installation
// and clears that installation away, or ends the install asking for a reboot.
#pragma once

#include "install/install_context.h"

namespace orvane {

// Returns whether the installation goes on.
bool RemoveEarlierInstallation(Platform& platform, InstallContext& context);

}  // namespace orvane
