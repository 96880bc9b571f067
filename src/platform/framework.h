// The application framework's start-up as the installer relies on it: one
// application object, one call of InitInstance, no message loop after it
// returns FALSE, and a message box captioned with the program's name.
//
// Nothing is global: the entry point (WinMain on Windows, main over a simulated
// machine on Linux) owns the application object and the Platform and hands
// both to AfxWinMain.
#pragma once

#include <string>

#include "platform/platform.h"
#include "platform/win32_types.h"

namespace orvane {

class CWinApp;

// The framework's start-up routine:
// 1. hands `platform` to `app`;
// 2. sets m_lpCmdLine to the arguments part of GetCommandLineA (see
//    ExtractCommandLine) and m_pszAppName to the program's file name without
//    folder and extension (from GetModuleFileNameA of GetModuleHandleA(null));
// 3. calls InitInstance once; when it returns FALSE, calls ExitInstance and
//    returns its result (0 unless overridden), otherwise returns Run().
// Afterwards `app` no longer holds the platform.
int AfxWinMain(Platform& platform, CWinApp& app);

// The framework's message box: MessageBoxA without an owner, with `text`, the
// style `type` as given, and the program's file name without folder and
// extension as caption ("setup" for C:\orvane\setup.exe), read afresh from
// GetModuleFileNameA. Returns the button pressed (IDOK, IDYES, IDNO).
// `helpContext` selects the help topic for F1; this program has no help file.
int AfxMessageBox(Platform& platform, const char* text, win::UINT type = win::MB_OK,
                  win::UINT helpContext = 0);

class CWinApp {
 public:
  CWinApp() = default;
  virtual ~CWinApp() = default;
  CWinApp(const CWinApp&) = delete;
  CWinApp& operator=(const CWinApp&) = delete;

  // The platform the start-up handed over; only while AfxWinMain runs
  // (throws std::logic_error otherwise).
  Platform& platform();

  // Called once by AfxWinMain. The default returns TRUE.
  virtual win::BOOL InitInstance();
  // Called when the application ends. The default stores nothing and returns 0.
  virtual int ExitInstance();
  // The message loop. This framework has no windows and no message queue, so
  // it ends at once as if the quit message had come: returns ExitInstance().
  virtual int Run();

  // The arguments part of the command line; "" before the start-up.
  const char* m_lpCmdLine = "";
  // The program's file name without folder and extension.
  std::string m_pszAppName;

 private:
  friend int AfxWinMain(Platform& platform, CWinApp& app);
  Platform* platform_ = nullptr;
};

}  // namespace orvane
