// The one routine through which the install steps put files into place: a
// whole-file copy through the framework's file object that logs its failures.
#pragma once

#include <string>

#include "platform/platform.h"

namespace orvane {

// Copies `source` to `destination` (full paths): the source opened shared for
// reading (0x8040), the destination created or cut to zero, unshared (0x9012),
// the whole source read into one heap block of its length and written in one
// piece. Returns 1 when the destination holds a complete copy, else 0 after
// one log line that names the source path:
//
//   source cannot be opened        "CopyFile InFile.Open Failed: %s"   untouched
//   destination cannot be opened   "CopyFile OutFile.Open Failed: %s"  untouched
//   no block for the length        "CopyFile new Failed: %s"           empty
//   the length or the read fails   "CopyFile Read Failed: %s"          empty
//   the write or its close fails   "CopyFile Write Failed: %s"         deleted
//
// When the partly written destination cannot be deleted either, a second line
// "CopyFile OutFile.Remove Failed: %s" names the destination left behind, and
// the result is still 0. Never shows anything, never throws a file error, and
// leaves no handle or heap block open. Attributes and times are not copied.
int CopyFileChecked(Platform& platform, std::string source, std::string destination);

}  // namespace orvane
