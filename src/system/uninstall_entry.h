// The product's entry in Add/Remove Programs, the key
// HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Orvane. Both
// return TRUE in every case and log nothing.
#pragma once

#include "platform/platform.h"

namespace orvane {

// Writes "DisplayName" = "Orvane" and "UninstallString" = root +
// "orvane\setup.exe uninstall" (unquoted), opening or creating the key; other
// values of an existing entry stay. A key that cannot be had changes nothing.
win::BOOL WriteUninstallEntry(Platform& platform);

// Deletes the entry through its parent key (when the parent opens), then
// notifies the shell (SHChangeNotify 0x1A) whether or not anything went.
win::BOOL DeleteUninstallEntry(Platform& platform);

}  // namespace orvane
