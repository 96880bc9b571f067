// The last install step: the Add/Remove Programs entry or the RPC warning, the
// closing page unless "Quiet" is set, and the companion-product check.
#pragma once

#include "install/install_context.h"

namespace orvane {

// With rpc_unavailable: the RPC message box, rpcblocked.tmp moved to
// rpcblocked.html (a failure ignored) and that page as the closing page, no
// Add/Remove Programs entry. Otherwise the entry and the readme. The page is
// started with Windows' own rundll32.exe (StartRundll32; not waited for, its
// result not examined) when "Quiet" reads as 0;
// "Quiet" is then written as "0" whatever it was. Logs nothing.
void CompleteSetup(Platform& platform, InstallContext& context);

// Warns when the companion product's readme (the root followed by
// "orvane\res\utilities\readme.html") names, after the first "this is version "
// found without regard to case, a version that with 0.0001 added is below
// `threshold` (compared in double precision). The text ends at its first NUL;
// the version is read as atof reads it (no number gives 0). A readme that is
// missing, unreadable or without the marker shows nothing.
void CheckCompanionVersion(Platform& platform, float threshold);

}  // namespace orvane
