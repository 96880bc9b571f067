// Where the product lives on disk: the folder that holds the product tree
// "orvane\...". Callers append relative paths to it without a separator of
// their own, so a root as stored ends with a backslash ("c:\").
#pragma once

#include <string>

#include "platform/platform.h"

namespace orvane {

// The value "Path" of HKEY_LOCAL_MACHINE\Software\Orvane, read afresh on every
// call: its bytes up to the first NUL, whatever the value's type, used exactly
// as stored (no backslash added, nothing expanded). "c:\" when the key cannot
// be opened or the value cannot be read into a 10000-byte buffer (missing,
// longer, access denied). A value that fills all 10000 bytes without a NUL is
// taken as exactly those 10000 bytes. Never fails; the key is closed again.
std::string GetInstallRoot(Platform& platform);

}  // namespace orvane
