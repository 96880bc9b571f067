// Starting Windows' own rundll32.exe for the shell's pages and wizards.
#pragma once

#include <string>

#include "platform/platform.h"

namespace orvane {

// Starts `commandLine` (it begins with "rundll32.exe") with the rundll32.exe
// of this Windows, named by full path: the Windows folder's on 95/98/ME (bit
// 31 of GetVersion set), the system folder's on the NT family. The command
// line is passed as it is; the current folder is the one that holds that
// rundll32.exe. A STARTUPINFOA of 68 bytes asking for nothing, creation flags
// CREATE_NEW_PROCESS_GROUP, `environment` as the block. The process is not
// waited for and its handles are not closed.
//
// False when the folder cannot be had (its query fails or does not fit 512
// bytes): nothing is started then, and no other program is tried in its
// place. Otherwise CreateProcessA's result.
//
// Why a full path: with no application name CreateProcessA looks in the
// program's own folder and then in the current folder before the system
// folders, so a rundll32.exe left in a download folder would run instead,
// with the installer's rights.
bool StartRundll32(Platform& platform, const std::string& commandLine,
                   const char* environment);

}  // namespace orvane
