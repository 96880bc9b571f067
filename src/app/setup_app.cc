#include "app/setup_app.h"

#include <string>
#include <vector>

#include "install/run_install.h"
#include "platform/platform.h"
#include "uninstall/run_uninstall.h"

namespace orvane {
namespace {

constexpr char kUninstallWord[] = "uninstall";
constexpr char kUninstallQuestion[] = "Are your sure you want to uninstall orvane?";

// Starts `commandLine` hidden: the first token names the program (searched for
// as Windows searches when no application name is given). The result is not
// examined: a command line that names no program fails silently.
// The user names this command line: it keeps Windows' search order and setup's
// current folder, unlike the programs setup starts for itself (StartRundll32).
void RunHidden(Platform& platform, const std::string& commandLine) {
  const char* environment = platform.GetEnvironmentStrings();
  win::STARTUPINFOA startup;  // every field zero but the three below
  startup.cb = win::kStartupInfoSize;
  startup.dwFlags = win::STARTF_USESHOWWINDOW;
  startup.wShowWindow = win::SW_HIDE;
  // CreateProcessA may write into the command line: it gets its own copy.
  std::vector<char> writable(commandLine.begin(), commandLine.end());
  writable.push_back('\0');
  win::PROCESS_INFORMATION process;
  platform.CreateProcessA(nullptr, writable.data(), nullptr, nullptr, win::FALSE,
                          win::CREATE_NEW_PROCESS_GROUP, environment, nullptr, &startup,
                          &process);
}

}  // namespace

win::BOOL SetupApp::InitInstance() {
  Platform& platform = this->platform();
  if (m_lpCmdLine[0] == '\0') {
    RunInstall(platform);
    return win::FALSE;
  }
  const std::string commandLine = m_lpCmdLine;
  if (commandLine == kUninstallWord) {
    if (AfxMessageBox(platform, kUninstallQuestion, win::MB_YESNO, 0) == win::IDYES) {
      RunUninstall(platform, 0);
    }
    return win::FALSE;
  }
  RunHidden(platform, commandLine);
  return win::FALSE;
}

}  // namespace orvane
