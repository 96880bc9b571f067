// The Platform on real Windows: every call forwarded to the Win32 API with its
// arguments converted between the interface's types and Windows' own. No logic
// of its own; the decisions are above the interface.
//
// Three calls need a word:
// - STARTUPINFOA is passed with Windows' own size for this build (68 bytes on
//   32-bit Windows, larger on 64-bit), whatever cb the caller filled in.
// - SendMessageA to HWND_BROADCAST is sent with SendMessageTimeoutA, aborting
//   on a hung window and waiting at most 5 seconds for each window, so that one
//   window that does not answer cannot hold up the installation.
// - GetFileAttributesExA is put together from GetFileAttributesA and
//   FindFirstFileA, because Windows 95 does not have it (see the .cc).
#pragma once

#include "platform/platform.h"

namespace orvane {

class Win32Platform final : public Platform {
 public:
  win::LONG RegOpenKeyExA(win::HKEY key, const char* subKey, win::DWORD options,
                          win::REGSAM desired, win::HKEY* result) override;
  win::LONG RegCreateKeyA(win::HKEY key, const char* subKey, win::HKEY* result) override;
  win::LONG RegQueryValueExA(win::HKEY key, const char* valueName, win::DWORD* type,
                             std::span<win::BYTE> data, win::DWORD* cbData) override;
  win::LONG RegSetValueExA(win::HKEY key, const char* valueName, win::DWORD reserved,
                           win::DWORD type, std::span<const win::BYTE> data) override;
  win::LONG RegDeleteKeyA(win::HKEY key, const char* subKey) override;
  win::LONG SHDeleteKeyA(win::HKEY key, const char* subKey) override;
  win::LONG RegCloseKey(win::HKEY key) override;

  win::DWORD GetPrivateProfileStringA(const char* appName, const char* keyName,
                                      const char* defaultValue, std::span<char> out,
                                      const char* fileName) override;
  win::BOOL WritePrivateProfileStringA(const char* appName, const char* keyName,
                                       const char* value, const char* fileName) override;
  win::BOOL WritePrivateProfileStringW(const char16_t* appName, const char16_t* keyName,
                                       const char16_t* value,
                                       const char16_t* fileName) override;

  win::DWORD GetVersion() override;
  win::BOOL GetVersionExA(win::OSVERSIONINFOEXA* info) override;
  win::UINT GetSystemDirectoryA(std::span<char> buffer) override;
  win::UINT GetWindowsDirectoryA(std::span<char> buffer) override;
  win::HMODULE GetModuleHandleA(const char* moduleName) override;
  win::DWORD GetModuleFileNameA(win::HMODULE module, std::span<char> buffer) override;
  const char* GetCommandLineA() override;
  const char* GetEnvironmentStrings() override;
  win::DWORD GetLastError() override;
  void SetLastError(win::DWORD code) override;

  win::BOOL CreateProcessA(const char* applicationName, char* commandLine,
                           win::SECURITY_ATTRIBUTES* processAttributes,
                           win::SECURITY_ATTRIBUTES* threadAttributes,
                           win::BOOL inheritHandles, win::DWORD creationFlags,
                           const char* environment, const char* currentDirectory,
                           const win::STARTUPINFOA* startupInfo,
                           win::PROCESS_INFORMATION* processInfo) override;
  void Sleep(win::DWORD milliseconds) override;

  win::SC_HANDLE OpenSCManagerA(const char* machineName, const char* databaseName,
                                win::DWORD desiredAccess) override;
  win::SC_HANDLE OpenServiceA(win::SC_HANDLE manager, const char* serviceName,
                              win::DWORD desiredAccess) override;
  win::BOOL ControlService(win::SC_HANDLE service, win::DWORD control,
                           win::SERVICE_STATUS* status) override;
  win::BOOL StartServiceA(win::SC_HANDLE service, win::DWORD argc,
                          const char** argv) override;
  win::BOOL CloseServiceHandle(win::SC_HANDLE handle) override;
  win::BOOL QueryServiceStatus(win::SC_HANDLE service,
                               win::SERVICE_STATUS* status) override;

  void SHChangeNotify(win::LONG eventId, win::UINT flags, const void* item1,
                      const void* item2) override;
  win::LRESULT SendMessageA(win::HWND window, win::UINT message, win::WPARAM wParam,
                            win::LPARAM lParam) override;

  win::BOOL GetPrinterDriverDirectoryA(const char* name, const char* environment,
                                       win::DWORD level, std::span<char> buffer,
                                       win::DWORD* needed) override;
  win::BOOL EnumMonitorsA(const char* name, win::DWORD level, win::DWORD bufferSize,
                          win::DWORD* needed, win::DWORD* returned,
                          std::vector<win::MonitorInfo1>* entries) override;
  win::BOOL AddMonitorA(const char* name, win::DWORD level,
                        const win::MONITOR_INFO_2A* monitor) override;
  win::BOOL DeleteMonitorA(const char* name, const char* environment,
                           const char* monitorName) override;
  win::BOOL AddPrinterDriverA(const char* name, win::DWORD level,
                              const win::DRIVER_INFO_3A* driver) override;
  win::BOOL AddPrinterDriverA(const char* name, win::DWORD level,
                              const win::DRIVER_INFO_6A* driver) override;
  win::BOOL DeletePrinterDriverA(const char* name, const char* environment,
                                 const char* driverName) override;
  win::BOOL EnumPortsA(const char* name, win::DWORD level, win::DWORD bufferSize,
                       win::DWORD* needed, win::DWORD* returned,
                       std::vector<win::PortInfo2>* entries) override;
  win::BOOL EnumPrintersA(win::DWORD flags, const char* name, win::DWORD level,
                          win::DWORD bufferSize, win::DWORD* needed, win::DWORD* returned,
                          std::vector<win::PrinterInfo2>* entries) override;
  win::BOOL EnumPrinterDriversA(const char* name, const char* environment, win::DWORD level,
                                win::DWORD bufferSize, win::DWORD* needed,
                                win::DWORD* returned,
                                std::vector<win::DriverInfo3>* entries) override;
  win::HANDLE AddPrinterA(const char* name, win::DWORD level,
                          const win::PRINTER_INFO_2A* printer) override;
  win::BOOL OpenPrinterA(const char* printerName, win::HANDLE* printer,
                         const win::PRINTER_DEFAULTSA* defaults) override;
  win::BOOL DeletePrinter(win::HANDLE printer) override;
  win::BOOL ClosePrinter(win::HANDLE printer) override;

  win::HANDLE CreateFileA(const char* fileName, win::DWORD desiredAccess,
                          win::DWORD shareMode, win::SECURITY_ATTRIBUTES* securityAttributes,
                          win::DWORD creationDisposition, win::DWORD flagsAndAttributes,
                          win::HANDLE templateFile) override;
  win::BOOL ReadFile(win::HANDLE file, std::span<win::BYTE> buffer,
                     win::DWORD* bytesRead) override;
  win::BOOL WriteFile(win::HANDLE file, std::span<const win::BYTE> buffer,
                      win::DWORD* bytesWritten) override;
  win::DWORD SetFilePointer(win::HANDLE file, win::LONG distance, win::LONG* distanceHigh,
                            win::DWORD moveMethod) override;
  win::DWORD GetFileSize(win::HANDLE file, win::DWORD* sizeHigh) override;
  win::BOOL CloseHandle(win::HANDLE handle) override;
  win::BOOL DeleteFileA(const char* fileName) override;
  win::BOOL MoveFileA(const char* existingName, const char* newName) override;
  win::DWORD GetFileAttributesA(const char* fileName) override;
  win::BOOL GetFileAttributesExA(const char* fileName,
                                 win::WIN32_FILE_ATTRIBUTE_DATA* data) override;

  void* HeapAlloc(win::SIZE_T bytes) override;
  void HeapFree(void* block) override;

  int MessageBoxA(win::HWND owner, const char* text, const char* caption,
                  win::UINT type) override;
  void GetLocalTime(win::SYSTEMTIME* time) override;
  void WriteStandardOutput(std::string_view text) override;
};

}  // namespace orvane
