// Computing the install context, and the Windows 2000/XP decision.
#pragma once

#include <string>

#include "install/install_context.h"

namespace orvane {

// The folder of the running program without its trailing backslash: the
// module path up to its last '\' ("" when it has none).
std::string GetSetupDirectory(Platform& platform);

// True when the system counts as Windows 2000, XP or later: the settings
// file's "IsXPor2000" (1 true, 0 false, read afresh at every call), else the
// major version that GetVersionExA reports (greater than 4).
bool QueryIsXPor2000(Platform& platform);

// Fills the context and logs the family lines. False (after logging
// "GetSystemDirectory failed") when the system folder cannot be had: the
// installation ends there.
bool ComputeInstallContext(Platform& platform, InstallContext* context);

}  // namespace orvane
