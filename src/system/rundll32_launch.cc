#include "system/rundll32_launch.h"

#include <cstring>
#include <vector>

#include "install/install_context.h"

namespace orvane {
namespace {

constexpr std::size_t kDirectoryBuffer = 512;

// The folder that holds this Windows' rundll32.exe, as the folder query gives
// it; false when the query fails or its answer does not fit.
bool Rundll32Folder(Platform& platform, std::string* folder) {
  char buffer[kDirectoryBuffer] = {};
  // 95/98/ME keep rundll32.exe in the Windows folder, the NT family in system32.
  const win::UINT length = IsWinNt(platform.GetVersion())
                               ? platform.GetSystemDirectoryA(buffer)
                               : platform.GetWindowsDirectoryA(buffer);
  // A result as large as the buffer is the size it would have needed.
  if (length == 0 || length >= sizeof buffer) return false;
  folder->assign(buffer, strnlen(buffer, sizeof buffer));
  return true;
}

}  // namespace

bool StartRundll32(Platform& platform, const std::string& commandLine,
                   const char* environment) {
  std::string folder;
  if (!Rundll32Folder(platform, &folder)) return false;
  // The folder ends in '\' only when it is the root of a drive.
  const std::string program =
      folder + (folder.ends_with('\\') ? "" : "\\") + "rundll32.exe";

  win::STARTUPINFOA startup;  // every other field zero or null
  startup.cb = win::kStartupInfoSize;
  startup.dwFlags = 0;
  startup.wShowWindow = win::SW_SHOWNORMAL;  // no flag asks for it: no effect
  // CreateProcessA may write into its command line: it gets a copy of its own.
  std::vector<char> writable(commandLine.begin(), commandLine.end());
  writable.push_back('\0');
  win::PROCESS_INFORMATION process;
  return platform.CreateProcessA(program.c_str(), writable.data(), nullptr, nullptr,
                                 win::FALSE, win::CREATE_NEW_PROCESS_GROUP, environment,
                                 folder.c_str(), &startup, &process) != win::FALSE;
}

}  // namespace orvane
