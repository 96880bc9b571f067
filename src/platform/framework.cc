#include "platform/framework.h"

#include <algorithm>
#include <array>
#include <stdexcept>
#include <string_view>

#include "platform/command_line.h"

namespace orvane {
namespace {

// The framework reads the module name into a MAX_PATH buffer.
constexpr std::size_t kModuleNameSize = 260;

// The program's file name without folder and extension: the text after the
// last '\', '/' or ':' and before the last '.' of what remains.
std::string ProgramTitle(Platform& platform) {
  std::array<char, kModuleNameSize> buffer{};
  const win::DWORD copied = platform.GetModuleFileNameA(
      platform.GetModuleHandleA(nullptr), std::span<char>(buffer));
  // Windows XP leaves a name that fills the buffer without its NUL.
  std::string_view path(buffer.data(), std::min<std::size_t>(copied, buffer.size()));
  path = path.substr(0, path.find('\0'));
  const std::size_t folder_end = path.find_last_of("\\/:");
  if (folder_end != std::string_view::npos) path.remove_prefix(folder_end + 1);
  const std::size_t dot = path.rfind('.');
  if (dot != std::string_view::npos) path = path.substr(0, dot);
  return std::string(path);
}

}  // namespace

int AfxWinMain(Platform& platform, CWinApp& app) {
  // Hands the platform over for this run only, also when an exception leaves.
  struct Handover {
    Platform** slot;
    ~Handover() { *slot = nullptr; }
  } handover{&app.platform_};
  *handover.slot = &platform;
  app.m_lpCmdLine = ExtractCommandLine(platform.GetCommandLineA());
  app.m_pszAppName = ProgramTitle(platform);
  return app.InitInstance() ? app.Run() : app.ExitInstance();
}

int AfxMessageBox(Platform& platform, const char* text, win::UINT type,
                  win::UINT helpContext) {
  static_cast<void>(helpContext);  // no help file: F1 has nothing to show
  const std::string caption = ProgramTitle(platform);
  return platform.MessageBoxA(win::HWND{}, text, caption.c_str(), type);
}

Platform& CWinApp::platform() {
  if (platform_ == nullptr) {
    throw std::logic_error("CWinApp::platform() outside AfxWinMain");
  }
  return *platform_;
}

win::BOOL CWinApp::InitInstance() { return win::TRUE; }

int CWinApp::ExitInstance() { return 0; }

int CWinApp::Run() { return ExitInstance(); }

}  // namespace orvane
