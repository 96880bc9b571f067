// Windows' own folders, files and registry keys on a new machine: what a fresh
// installation of that Windows holds that the installer meets or relies on.
#pragma once

#include "winsim/machine.h"

namespace orvane::winsim {

struct LayoutOptions {
  // Windows 95/98/ME: the PostScript driver's files in the system folder.
  bool postscript_driver = true;
};

void LayOutWindows(Machine& machine, const LayoutOptions& options = {});

// The files of the PostScript driver that Windows 95/98/ME keeps in its
// system folder.
extern const char* const kWin9xPostScriptFiles[];

}  // namespace orvane::winsim
