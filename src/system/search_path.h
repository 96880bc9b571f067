// The repair of the machine-wide search path, the value "Path" of
// HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Control\Session Manager\Environment,
// after the spooler failed to find a driver module.
#pragma once

#include <string>

#include "platform/platform.h"

namespace orvane {

// The new "Path": W\system32;W;W\system32\wbem (W the Windows folder), then
// the old value's entries in their old order. An old entry is dropped when it
// is empty or names one of the three folders: compared without regard to case
// and to trailing backslashes, after expanding %...% variables
// (%SystemRoot% and %windir% as W, others from `environment`, a block of
// "NAME=value" strings closed by an empty one, may be null; unknown variables
// stay as written). Kept entries are written as they stood, unexpanded.
std::string BuildSearchPath(const std::string& windows_dir, const std::string& old_path,
                            const char* environment);

// Opens the environment key (KEY_ALL_ACCESS); when it opens and the Windows
// folder can be had, reads the old "Path" whole (however long) and writes
// BuildSearchPath's text with its NUL counted: as REG_EXPAND_SZ when the old
// value was one (its %...% entries keep expanding), else as REG_SZ. An old
// value that exists but cannot be read is left as it is, as is the whole
// value when the key does not open or the Windows folder cannot be had.
// Then, in every case, broadcasts WM_SETTINGCHANGE for "Environment" to all
// top-level windows; bounding the wait on a window that does not answer is
// the platform's (the Win32 backend sends with a timeout). Nothing is logged.
void RepairSearchPath(Platform& platform);

}  // namespace orvane
