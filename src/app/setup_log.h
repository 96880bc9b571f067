// The setup log: the installer's only progress and diagnostic record, the file
// GetInstallRoot() + "orvane\res\drivedir\setup.log", appended to line by line.
#pragma once

#include <string>

#include "platform/platform.h"

namespace orvane {

// Appends one line: the local time as "%m-%d-%y: %H:%M", then `text` with no
// separator, then "\r\n" (a text that ends in "\r\n" thus gives an empty line
// after it). The root is read from the registry on every call; the file is
// opened (0xB002: read/write, unshared, created when missing, never
// truncated), appended to after its last byte and closed again.
//
// Never reports anything and never throws a file error: when the file cannot
// be opened (folder missing, held by another process, read-only) the line is
// lost; a file error while appending is dropped, and part of the line may have
// been written. Nothing is shown, nothing is created but the file itself.
void WriteSetupLog(Platform& platform, std::string text);

}  // namespace orvane
