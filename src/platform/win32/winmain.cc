// setup.exe: a windowed program with no window. The framework's start-up runs
// the installer over the real Windows and the process ends with its result.
#include "app/setup_app.h"
#include "platform/framework.h"
#include "platform/win32/win32_platform.h"

// Last: see windows_api.h.
#include "platform/win32/windows_api.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  orvane::Win32Platform platform;
  orvane::SetupApp app;
  return orvane::AfxWinMain(platform, app);
}
