// The application object: the installer does all of its work while the
// program starts, in InitInstance, and then ends without a message loop.
#pragma once

#include "platform/framework.h"
#include "platform/win32_types.h"

namespace orvane {

class SetupApp : public CWinApp {
 public:
  // Picks the run mode from the command line (the arguments after the program
  // name) and always returns FALSE, so that the program ends with exit code 0:
  // - empty: installs (RunInstall);
  // - exactly "uninstall" (case-sensitive, nothing around it): asks "Are your
  //   sure you want to uninstall orvane?" (Yes/No) and uninstalls on Yes
  //   (RunUninstall, interactive);
  // - anything else: starts that command line as a hidden process in a new
  //   process group, with this program's environment and current folder, and
  //   neither waits for it nor reports whether it started.
  win::BOOL InitInstance() override;
};

}  // namespace orvane
