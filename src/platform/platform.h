// The one interface through which the installer touches a machine.
//
// Every operation carries its Win32 name and answers as Win32 does: a LONG status
// for the registry, a BOOL or handle plus the last-error value for the rest. The
// installer's logic is written once against this interface; `platform/win32`
// forwards it to the real API, `winsim` answers from a simulated machine.
//
// Conventions that hold for every method:
// - Text arguments are NUL-terminated ANSI strings; null where Win32 accepts null.
// - Output buffers are spans. The span's size is the size Windows is told
//   (cbData, nSize, cbBuf), and the backend honours it as Windows does.
// - On failure an out-parameter is left as Windows leaves it (documented per call
//   where the installer depends on it).
// - Calls that Windows documents as setting the last-error value set it here;
//   a success leaves it unchanged unless noted.
#pragma once

#include <span>
#include <string_view>
#include <vector>

#include "platform/win32_types.h"

namespace orvane {

class Platform {
 public:
  virtual ~Platform() = default;

  // --- Registry (results are status codes; the last-error value is untouched).

  // 0 and the new key, or an error code and *result set to null.
  virtual win::LONG RegOpenKeyExA(win::HKEY key, const char* subKey,
                                  win::DWORD options, win::REGSAM desired,
                                  win::HKEY* result) = 0;
  // Opens the key or creates it with every missing key on the way.
  virtual win::LONG RegCreateKeyA(win::HKEY key, const char* subKey,
                                  win::HKEY* result) = 0;
  // `data` is the buffer and its size (*lpcbData on entry); an empty span with a
  // null pointer asks for the size only. On return *cbData (if given) holds the
  // size of the value; with ERROR_MORE_DATA the buffer is left untouched.
  virtual win::LONG RegQueryValueExA(win::HKEY key, const char* valueName,
                                     win::DWORD* type, std::span<win::BYTE> data,
                                     win::DWORD* cbData) = 0;
  virtual win::LONG RegSetValueExA(win::HKEY key, const char* valueName,
                                   win::DWORD reserved, win::DWORD type,
                                   std::span<const win::BYTE> data) = 0;
  // NT: fails with ERROR_ACCESS_DENIED while the subkey has subkeys.
  // Windows 95/98/ME: removes the whole subtree.
  virtual win::LONG RegDeleteKeyA(win::HKEY key, const char* subKey) = 0;
  // Removes the subkey and everything below it on every Windows.
  virtual win::LONG SHDeleteKeyA(win::HKEY key, const char* subKey) = 0;
  virtual win::LONG RegCloseKey(win::HKEY key) = 0;

  // --- Profile files.

  // Copies the value (or the default) into `out`, truncated to fit, and returns
  // the count of characters copied without the terminating NUL.
  virtual win::DWORD GetPrivateProfileStringA(const char* appName,
                                              const char* keyName,
                                              const char* defaultValue,
                                              std::span<char> out,
                                              const char* fileName) = 0;
  // A null value deletes the key; a null key deletes the section.
  virtual win::BOOL WritePrivateProfileStringA(const char* appName,
                                               const char* keyName,
                                               const char* value,
                                               const char* fileName) = 0;
  // With null section, key and value: flush the cached copy of the file.
  virtual win::BOOL WritePrivateProfileStringW(const char16_t* appName,
                                               const char16_t* keyName,
                                               const char16_t* value,
                                               const char16_t* fileName) = 0;

  // --- System information.

  virtual win::DWORD GetVersion() = 0;
  // dwOSVersionInfoSize must be 148 or 156; Windows that do not know the
  // extended record fail the 156-byte call.
  virtual win::BOOL GetVersionExA(win::OSVERSIONINFOEXA* info) = 0;
  // Return the length copied, or the size needed (with the NUL) when the buffer
  // is too small, or 0 on failure.
  virtual win::UINT GetSystemDirectoryA(std::span<char> buffer) = 0;
  virtual win::UINT GetWindowsDirectoryA(std::span<char> buffer) = 0;
  virtual win::HMODULE GetModuleHandleA(const char* moduleName) = 0;
  // Truncates to the buffer size (Windows XP: without a NUL when it fills it).
  virtual win::DWORD GetModuleFileNameA(win::HMODULE module,
                                        std::span<char> buffer) = 0;
  // The process command line as Windows hands it to the program.
  virtual const char* GetCommandLineA() = 0;
  // A block of NUL-terminated "NAME=value" strings closed by an empty string.
  // It stays valid for the life of the process.
  virtual const char* GetEnvironmentStrings() = 0;
  virtual win::DWORD GetLastError() = 0;
  virtual void SetLastError(win::DWORD code) = 0;

  // --- Processes and waiting.

  virtual win::BOOL CreateProcessA(const char* applicationName, char* commandLine,
                                   win::SECURITY_ATTRIBUTES* processAttributes,
                                   win::SECURITY_ATTRIBUTES* threadAttributes,
                                   win::BOOL inheritHandles,
                                   win::DWORD creationFlags,
                                   const char* environment,
                                   const char* currentDirectory,
                                   const win::STARTUPINFOA* startupInfo,
                                   win::PROCESS_INFORMATION* processInfo) = 0;
  virtual void Sleep(win::DWORD milliseconds) = 0;

  // --- Services.

  virtual win::SC_HANDLE OpenSCManagerA(const char* machineName,
                                        const char* databaseName,
                                        win::DWORD desiredAccess) = 0;
  virtual win::SC_HANDLE OpenServiceA(win::SC_HANDLE manager,
                                      const char* serviceName,
                                      win::DWORD desiredAccess) = 0;
  virtual win::BOOL ControlService(win::SC_HANDLE service, win::DWORD control,
                                   win::SERVICE_STATUS* status) = 0;
  virtual win::BOOL StartServiceA(win::SC_HANDLE service, win::DWORD argc,
                                  const char** argv) = 0;
  virtual win::BOOL CloseServiceHandle(win::SC_HANDLE handle) = 0;
  // The handle needs SERVICE_QUERY_STATUS; *status is left alone on failure.
  virtual win::BOOL QueryServiceStatus(win::SC_HANDLE service,
                                       win::SERVICE_STATUS* status) = 0;

  // --- Shell and windows.

  virtual void SHChangeNotify(win::LONG eventId, win::UINT flags,
                              const void* item1, const void* item2) = 0;
  // Blocks until the top-level windows have handled the message. For
  // WM_SETTINGCHANGE, lParam points to the NUL-terminated name of the area.
  virtual win::LRESULT SendMessageA(win::HWND window, win::UINT message,
                                    win::WPARAM wParam, win::LPARAM lParam) = 0;

  // --- Print spooler (server name null: the local machine).

  // `buffer` receives the directory; *needed the bytes it takes with its NUL.
  virtual win::BOOL GetPrinterDriverDirectoryA(const char* name,
                                               const char* environment,
                                               win::DWORD level,
                                               std::span<char> buffer,
                                               win::DWORD* needed) = 0;
  // Level 1. `bufferSize` is cbBuf; the entries are returned in `entries`.
  virtual win::BOOL EnumMonitorsA(const char* name, win::DWORD level,
                                  win::DWORD bufferSize, win::DWORD* needed,
                                  win::DWORD* returned,
                                  std::vector<win::MonitorInfo1>* entries) = 0;
  virtual win::BOOL AddMonitorA(const char* name, win::DWORD level,
                                const win::MONITOR_INFO_2A* monitor) = 0;
  virtual win::BOOL DeleteMonitorA(const char* name, const char* environment,
                                   const char* monitorName) = 0;
  // Level 3 takes the DRIVER_INFO_3A fields, level 6 all of DRIVER_INFO_6A.
  virtual win::BOOL AddPrinterDriverA(const char* name, win::DWORD level,
                                      const win::DRIVER_INFO_3A* driver) = 0;
  virtual win::BOOL AddPrinterDriverA(const char* name, win::DWORD level,
                                      const win::DRIVER_INFO_6A* driver) = 0;
  virtual win::BOOL DeletePrinterDriverA(const char* name, const char* environment,
                                         const char* driverName) = 0;
  // Level 2. `bufferSize` is cbBuf; the entries are returned in `entries`.
  virtual win::BOOL EnumPortsA(const char* name, win::DWORD level,
                               win::DWORD bufferSize, win::DWORD* needed,
                               win::DWORD* returned,
                               std::vector<win::PortInfo2>* entries) = 0;
  // Level 2, local printers (PRINTER_ENUM_LOCAL). `bufferSize` is cbBuf; the
  // entries are returned in `entries`.
  virtual win::BOOL EnumPrintersA(win::DWORD flags, const char* name, win::DWORD level,
                                  win::DWORD bufferSize, win::DWORD* needed,
                                  win::DWORD* returned,
                                  std::vector<win::PrinterInfo2>* entries) = 0;
  // Level 3, the drivers of one environment (null: the running one).
  // `bufferSize` is cbBuf; the entries are returned in `entries`.
  virtual win::BOOL EnumPrinterDriversA(const char* name, const char* environment,
                                        win::DWORD level, win::DWORD bufferSize,
                                        win::DWORD* needed, win::DWORD* returned,
                                        std::vector<win::DriverInfo3>* entries) = 0;
  // A printer handle, or null on failure.
  virtual win::HANDLE AddPrinterA(const char* name, win::DWORD level,
                                  const win::PRINTER_INFO_2A* printer) = 0;
  virtual win::BOOL OpenPrinterA(const char* printerName, win::HANDLE* printer,
                                 const win::PRINTER_DEFAULTSA* defaults) = 0;
  virtual win::BOOL DeletePrinter(win::HANDLE printer) = 0;
  virtual win::BOOL ClosePrinter(win::HANDLE printer) = 0;

  // --- Files.

  // INVALID_HANDLE_VALUE on failure. OPEN_ALWAYS and CREATE_ALWAYS on an
  // existing file succeed with the last-error value 183.
  virtual win::HANDLE CreateFileA(const char* fileName, win::DWORD desiredAccess,
                                  win::DWORD shareMode,
                                  win::SECURITY_ATTRIBUTES* securityAttributes,
                                  win::DWORD creationDisposition,
                                  win::DWORD flagsAndAttributes,
                                  win::HANDLE templateFile) = 0;
  virtual win::BOOL ReadFile(win::HANDLE file, std::span<win::BYTE> buffer,
                             win::DWORD* bytesRead) = 0;
  virtual win::BOOL WriteFile(win::HANDLE file, std::span<const win::BYTE> buffer,
                              win::DWORD* bytesWritten) = 0;
  virtual win::DWORD SetFilePointer(win::HANDLE file, win::LONG distance,
                                    win::LONG* distanceHigh,
                                    win::DWORD moveMethod) = 0;
  virtual win::DWORD GetFileSize(win::HANDLE file, win::DWORD* sizeHigh) = 0;
  virtual win::BOOL CloseHandle(win::HANDLE handle) = 0;
  virtual win::BOOL DeleteFileA(const char* fileName) = 0;
  virtual win::BOOL MoveFileA(const char* existingName, const char* newName) = 0;
  virtual win::DWORD GetFileAttributesA(const char* fileName) = 0;
  virtual win::BOOL GetFileAttributesExA(const char* fileName,
                                         win::WIN32_FILE_ATTRIBUTE_DATA* data) = 0;

  // --- Heap: the file-sized blocks. Null when no block can be had.

  virtual void* HeapAlloc(win::SIZE_T bytes) = 0;
  virtual void HeapFree(void* block) = 0;

  // --- User interface and output.

  // Modal; returns IDOK, IDYES or IDNO.
  virtual int MessageBoxA(win::HWND owner, const char* text, const char* caption,
                          win::UINT type) = 0;
  virtual void GetLocalTime(win::SYSTEMTIME* time) = 0;
  // What printf would write to the standard output.
  virtual void WriteStandardOutput(std::string_view text) = 0;
};

}  // namespace orvane
