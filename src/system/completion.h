// The last install step: the Add/Remove Programs entry or the RPC warning, the
// closing page unless "Quiet" is set, and the companion-product check.
#pragma once

#include "install/install_context.h"

namespace orvane {

void CompleteSetup(Platform& platform, InstallContext& context);
// Warns when the companion product's readme names a version below `threshold`.
void CheckCompanionVersion(Platform& platform, float threshold);

}  // namespace orvane
