#include "platform/win32/win32_platform.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

// Last: see windows_api.h.
#include "platform/win32/windows_api.h"

namespace orvane {

namespace {

// The records that pass through unchanged must have Windows' layout.
static_assert(sizeof(win::OSVERSIONINFOEXA) == sizeof(OSVERSIONINFOEXA));
static_assert(sizeof(win::SYSTEMTIME) == sizeof(SYSTEMTIME));
static_assert(sizeof(win::SERVICE_STATUS) == sizeof(SERVICE_STATUS));
static_assert(sizeof(win::DWORD) == sizeof(DWORD) && sizeof(win::LONG) == sizeof(LONG));

// Predefined keys are 32-bit values that Windows sign-extends to pointer width.
::HKEY ToKey(win::HKEY key) {
  auto value = static_cast<std::uintptr_t>(key);
  if (value >= 0x80000000u && value <= 0x80000006u) {
    return reinterpret_cast<::HKEY>(
        static_cast<std::intptr_t>(static_cast<std::int32_t>(static_cast<std::uint32_t>(value))));
  }
  return reinterpret_cast<::HKEY>(value);
}
win::HKEY FromKey(::HKEY key) { return win::HKEY{reinterpret_cast<std::uintptr_t>(key)}; }

::HANDLE ToHandle(win::HANDLE h) {
  return reinterpret_cast<::HANDLE>(static_cast<std::uintptr_t>(h));
}
win::HANDLE FromHandle(::HANDLE h) {
  return win::HANDLE{reinterpret_cast<std::uintptr_t>(h)};
}
::SC_HANDLE ToService(win::SC_HANDLE h) {
  return reinterpret_cast<::SC_HANDLE>(static_cast<std::uintptr_t>(h));
}
win::SC_HANDLE FromService(::SC_HANDLE h) {
  return win::SC_HANDLE{reinterpret_cast<std::uintptr_t>(h)};
}
::HWND ToWindow(win::HWND h) { return reinterpret_cast<::HWND>(static_cast<std::uintptr_t>(h)); }

LPSTR Text(const char* text) { return const_cast<LPSTR>(text); }

win::FILETIME FromFileTime(const ::FILETIME& time) {
  return win::FILETIME{time.dwLowDateTime, time.dwHighDateTime};
}

}  // namespace

// --- Registry.

win::LONG Win32Platform::RegOpenKeyExA(win::HKEY key, const char* subKey,
                                       win::DWORD options, win::REGSAM desired,
                                       win::HKEY* result) {
  ::HKEY opened = nullptr;
  LONG status = ::RegOpenKeyExA(ToKey(key), subKey, options, desired, &opened);
  if (result) *result = FromKey(opened);
  return status;
}

win::LONG Win32Platform::RegCreateKeyA(win::HKEY key, const char* subKey,
                                       win::HKEY* result) {
  ::HKEY created = nullptr;
  LONG status = ::RegCreateKeyA(ToKey(key), subKey, &created);
  if (result) *result = FromKey(created);
  return status;
}

win::LONG Win32Platform::RegQueryValueExA(win::HKEY key, const char* valueName,
                                          win::DWORD* type, std::span<win::BYTE> data,
                                          win::DWORD* cbData) {
  DWORD size = static_cast<DWORD>(data.size());
  DWORD valueType = REG_NONE;
  LONG status = ::RegQueryValueExA(ToKey(key), valueName, nullptr, &valueType,
                                   data.data(), &size);
  if (type) *type = valueType;
  if (cbData) *cbData = size;
  return status;
}

win::LONG Win32Platform::RegSetValueExA(win::HKEY key, const char* valueName,
                                        win::DWORD reserved, win::DWORD type,
                                        std::span<const win::BYTE> data) {
  return ::RegSetValueExA(ToKey(key), valueName, reserved, type, data.data(),
                          static_cast<DWORD>(data.size()));
}

win::LONG Win32Platform::RegDeleteKeyA(win::HKEY key, const char* subKey) {
  return ::RegDeleteKeyA(ToKey(key), subKey);
}

win::LONG Win32Platform::SHDeleteKeyA(win::HKEY key, const char* subKey) {
  return static_cast<win::LONG>(::SHDeleteKeyA(ToKey(key), subKey));
}

win::LONG Win32Platform::RegCloseKey(win::HKEY key) { return ::RegCloseKey(ToKey(key)); }

// --- Profile files.

win::DWORD Win32Platform::GetPrivateProfileStringA(const char* appName,
                                                   const char* keyName,
                                                   const char* defaultValue,
                                                   std::span<char> out,
                                                   const char* fileName) {
  return ::GetPrivateProfileStringA(appName, keyName, defaultValue, out.data(),
                                    static_cast<DWORD>(out.size()), fileName);
}

win::BOOL Win32Platform::WritePrivateProfileStringA(const char* appName,
                                                    const char* keyName,
                                                    const char* value,
                                                    const char* fileName) {
  return ::WritePrivateProfileStringA(appName, keyName, value, fileName);
}

win::BOOL Win32Platform::WritePrivateProfileStringW(const char16_t* appName,
                                                    const char16_t* keyName,
                                                    const char16_t* value,
                                                    const char16_t* fileName) {
  static_assert(sizeof(wchar_t) == sizeof(char16_t));
  return ::WritePrivateProfileStringW(reinterpret_cast<LPCWSTR>(appName),
                                      reinterpret_cast<LPCWSTR>(keyName),
                                      reinterpret_cast<LPCWSTR>(value),
                                      reinterpret_cast<LPCWSTR>(fileName));
}

// --- System information.

win::DWORD Win32Platform::GetVersion() { return ::GetVersion(); }

win::BOOL Win32Platform::GetVersionExA(win::OSVERSIONINFOEXA* info) {
  return ::GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(info));
}

win::UINT Win32Platform::GetSystemDirectoryA(std::span<char> buffer) {
  return ::GetSystemDirectoryA(buffer.data(), static_cast<UINT>(buffer.size()));
}

win::UINT Win32Platform::GetWindowsDirectoryA(std::span<char> buffer) {
  return ::GetWindowsDirectoryA(buffer.data(), static_cast<UINT>(buffer.size()));
}

win::HMODULE Win32Platform::GetModuleHandleA(const char* moduleName) {
  return win::HMODULE{reinterpret_cast<std::uintptr_t>(::GetModuleHandleA(moduleName))};
}

win::DWORD Win32Platform::GetModuleFileNameA(win::HMODULE module, std::span<char> buffer) {
  return ::GetModuleFileNameA(reinterpret_cast<::HMODULE>(static_cast<std::uintptr_t>(module)),
                              buffer.data(), static_cast<DWORD>(buffer.size()));
}

const char* Win32Platform::GetCommandLineA() { return ::GetCommandLineA(); }

const char* Win32Platform::GetEnvironmentStrings() { return ::GetEnvironmentStrings(); }

win::DWORD Win32Platform::GetLastError() { return ::GetLastError(); }

void Win32Platform::SetLastError(win::DWORD code) { ::SetLastError(code); }

// --- Processes and waiting.

win::BOOL Win32Platform::CreateProcessA(const char* applicationName, char* commandLine,
                                        win::SECURITY_ATTRIBUTES* processAttributes,
                                        win::SECURITY_ATTRIBUTES* threadAttributes,
                                        win::BOOL inheritHandles, win::DWORD creationFlags,
                                        const char* environment,
                                        const char* currentDirectory,
                                        const win::STARTUPINFOA* startupInfo,
                                        win::PROCESS_INFORMATION* processInfo) {
  ::STARTUPINFOA si;
  std::memset(&si, 0, sizeof si);
  si.cb = sizeof si;
  if (startupInfo) {
    si.lpReserved = Text(startupInfo->lpReserved);
    si.lpDesktop = Text(startupInfo->lpDesktop);
    si.lpTitle = Text(startupInfo->lpTitle);
    si.dwX = startupInfo->dwX;
    si.dwY = startupInfo->dwY;
    si.dwXSize = startupInfo->dwXSize;
    si.dwYSize = startupInfo->dwYSize;
    si.dwXCountChars = startupInfo->dwXCountChars;
    si.dwYCountChars = startupInfo->dwYCountChars;
    si.dwFillAttribute = startupInfo->dwFillAttribute;
    si.dwFlags = startupInfo->dwFlags;
    si.wShowWindow = startupInfo->wShowWindow;
    si.cbReserved2 = startupInfo->cbReserved2;
    si.lpReserved2 = startupInfo->lpReserved2;
    si.hStdInput = ToHandle(startupInfo->hStdInput);
    si.hStdOutput = ToHandle(startupInfo->hStdOutput);
    si.hStdError = ToHandle(startupInfo->hStdError);
  }
  ::PROCESS_INFORMATION pi;
  std::memset(&pi, 0, sizeof pi);
  BOOL ok = ::CreateProcessA(
      applicationName, commandLine,
      reinterpret_cast<LPSECURITY_ATTRIBUTES>(processAttributes),
      reinterpret_cast<LPSECURITY_ATTRIBUTES>(threadAttributes), inheritHandles,
      creationFlags, const_cast<char*>(environment), currentDirectory, &si, &pi);
  if (processInfo) {
    processInfo->hProcess = FromHandle(pi.hProcess);
    processInfo->hThread = FromHandle(pi.hThread);
    processInfo->dwProcessId = pi.dwProcessId;
    processInfo->dwThreadId = pi.dwThreadId;
  }
  return ok;
}

void Win32Platform::Sleep(win::DWORD milliseconds) { ::Sleep(milliseconds); }

// --- Services.

win::SC_HANDLE Win32Platform::OpenSCManagerA(const char* machineName,
                                             const char* databaseName,
                                             win::DWORD desiredAccess) {
  return FromService(::OpenSCManagerA(machineName, databaseName, desiredAccess));
}

win::SC_HANDLE Win32Platform::OpenServiceA(win::SC_HANDLE manager, const char* serviceName,
                                           win::DWORD desiredAccess) {
  return FromService(::OpenServiceA(ToService(manager), serviceName, desiredAccess));
}

win::BOOL Win32Platform::ControlService(win::SC_HANDLE service, win::DWORD control,
                                        win::SERVICE_STATUS* status) {
  return ::ControlService(ToService(service), control,
                          reinterpret_cast<::SERVICE_STATUS*>(status));
}

win::BOOL Win32Platform::StartServiceA(win::SC_HANDLE service, win::DWORD argc,
                                       const char** argv) {
  return ::StartServiceA(ToService(service), argc, const_cast<LPCSTR*>(argv));
}

win::BOOL Win32Platform::QueryServiceStatus(win::SC_HANDLE service,
                                            win::SERVICE_STATUS* status) {
  return ::QueryServiceStatus(ToService(service),
                              reinterpret_cast<::SERVICE_STATUS*>(status));
}

win::BOOL Win32Platform::CloseServiceHandle(win::SC_HANDLE handle) {
  return ::CloseServiceHandle(ToService(handle));
}

// --- Shell and windows.

void Win32Platform::SHChangeNotify(win::LONG eventId, win::UINT flags, const void* item1,
                                   const void* item2) {
  ::SHChangeNotify(eventId, flags, item1, item2);
}

win::LRESULT Win32Platform::SendMessageA(win::HWND window, win::UINT message,
                                         win::WPARAM wParam, win::LPARAM lParam) {
  DWORD_PTR result = 0;
  if (!::SendMessageTimeoutA(ToWindow(window), message, wParam, lParam, SMTO_ABORTIFHUNG,
                             5000, &result)) {
    return 0;
  }
  return static_cast<win::LRESULT>(result);
}

// --- Print spooler.

win::BOOL Win32Platform::GetPrinterDriverDirectoryA(const char* name,
                                                    const char* environment,
                                                    win::DWORD level,
                                                    std::span<char> buffer,
                                                    win::DWORD* needed) {
  DWORD size = 0;
  BOOL ok = ::GetPrinterDriverDirectoryA(Text(name), Text(environment), level,
                                         reinterpret_cast<LPBYTE>(buffer.data()),
                                         static_cast<DWORD>(buffer.size()),
                                         needed ? &size : nullptr);
  if (needed) *needed = size;
  return ok;
}

win::BOOL Win32Platform::EnumMonitorsA(const char* name, win::DWORD level,
                                       win::DWORD bufferSize, win::DWORD* needed,
                                       win::DWORD* returned,
                                       std::vector<win::MonitorInfo1>* entries) {
  std::vector<BYTE> buffer(bufferSize ? bufferSize : 1);
  DWORD size = 0, count = 0;
  BOOL ok = ::EnumMonitorsA(Text(name), level, bufferSize ? buffer.data() : nullptr,
                            bufferSize, needed ? &size : nullptr,
                            returned ? &count : nullptr);
  DWORD error = ::GetLastError();
  if (needed) *needed = size;
  if (returned) *returned = count;
  if (ok && entries && level == 1) {
    entries->clear();
    const auto* info = reinterpret_cast<const MONITOR_INFO_1A*>(buffer.data());
    for (DWORD i = 0; i < count; ++i) {
      entries->push_back({info[i].pName ? info[i].pName : ""});
    }
  }
  ::SetLastError(error);
  return ok;
}

win::BOOL Win32Platform::AddMonitorA(const char* name, win::DWORD level,
                                     const win::MONITOR_INFO_2A* monitor) {
  if (!monitor) return ::AddMonitorA(Text(name), level, nullptr);
  ::MONITOR_INFO_2A info;
  info.pName = Text(monitor->pName);
  info.pEnvironment = Text(monitor->pEnvironment);
  info.pDLLName = Text(monitor->pDLLName);
  return ::AddMonitorA(Text(name), level, reinterpret_cast<LPBYTE>(&info));
}

win::BOOL Win32Platform::DeleteMonitorA(const char* name, const char* environment,
                                        const char* monitorName) {
  return ::DeleteMonitorA(Text(name), Text(environment), Text(monitorName));
}

namespace {

// The DRIVER_INFO_3A fields, which begin both records.
template <typename Target, typename Source>
void CopyDriverInfo3(Target& to, const Source& from) {
  to.cVersion = from.cVersion;
  to.pName = Text(from.pName);
  to.pEnvironment = Text(from.pEnvironment);
  to.pDriverPath = Text(from.pDriverPath);
  to.pDataFile = Text(from.pDataFile);
  to.pConfigFile = Text(from.pConfigFile);
  to.pHelpFile = Text(from.pHelpFile);
  to.pDependentFiles = Text(from.pDependentFiles);
  to.pMonitorName = Text(from.pMonitorName);
  to.pDefaultDataType = Text(from.pDefaultDataType);
}

}  // namespace

win::BOOL Win32Platform::AddPrinterDriverA(const char* name, win::DWORD level,
                                           const win::DRIVER_INFO_3A* driver) {
  if (!driver) return ::AddPrinterDriverA(Text(name), level, nullptr);
  ::DRIVER_INFO_3A info;
  std::memset(&info, 0, sizeof info);
  CopyDriverInfo3(info, *driver);
  return ::AddPrinterDriverA(Text(name), level, reinterpret_cast<LPBYTE>(&info));
}

win::BOOL Win32Platform::AddPrinterDriverA(const char* name, win::DWORD level,
                                           const win::DRIVER_INFO_6A* driver) {
  if (!driver) return ::AddPrinterDriverA(Text(name), level, nullptr);
  ::DRIVER_INFO_6A info;
  std::memset(&info, 0, sizeof info);
  CopyDriverInfo3(info, *driver);
  info.pszzPreviousNames = Text(driver->pszzPreviousNames);
  info.ftDriverDate.dwLowDateTime = driver->ftDriverDate.dwLowDateTime;
  info.ftDriverDate.dwHighDateTime = driver->ftDriverDate.dwHighDateTime;
  info.dwlDriverVersion = driver->dwlDriverVersion;
  info.pszMfgName = Text(driver->pszMfgName);
  info.pszOEMUrl = Text(driver->pszOEMUrl);
  info.pszHardwareID = Text(driver->pszHardwareID);
  info.pszProvider = Text(driver->pszProvider);
  return ::AddPrinterDriverA(Text(name), level, reinterpret_cast<LPBYTE>(&info));
}

win::BOOL Win32Platform::DeletePrinterDriverA(const char* name, const char* environment,
                                              const char* driverName) {
  return ::DeletePrinterDriverA(Text(name), Text(environment), Text(driverName));
}

win::BOOL Win32Platform::EnumPortsA(const char* name, win::DWORD level,
                                    win::DWORD bufferSize, win::DWORD* needed,
                                    win::DWORD* returned,
                                    std::vector<win::PortInfo2>* entries) {
  std::vector<BYTE> buffer(bufferSize ? bufferSize : 1);
  DWORD size = 0, count = 0;
  BOOL ok = ::EnumPortsA(Text(name), level, bufferSize ? buffer.data() : nullptr,
                         bufferSize, needed ? &size : nullptr, returned ? &count : nullptr);
  DWORD error = ::GetLastError();
  if (needed) *needed = size;
  if (returned) *returned = count;
  if (ok && entries && level == 2) {
    entries->clear();
    const auto* info = reinterpret_cast<const PORT_INFO_2A*>(buffer.data());
    for (DWORD i = 0; i < count; ++i) {
      entries->push_back({info[i].pPortName ? info[i].pPortName : "",
                          info[i].pMonitorName ? info[i].pMonitorName : "",
                          info[i].pDescription ? info[i].pDescription : "",
                          info[i].fPortType, info[i].Reserved});
    }
  }
  ::SetLastError(error);
  return ok;
}

namespace {

std::string Owned(const char* text) { return text ? text : ""; }

// A dependent-file list: names up to the empty one; null is none.
std::vector<std::string> Names(const char* list) {
  std::vector<std::string> names;
  for (const char* p = list; p && *p; p += std::strlen(p) + 1) names.emplace_back(p);
  return names;
}

}  // namespace

win::BOOL Win32Platform::EnumPrintersA(win::DWORD flags, const char* name, win::DWORD level,
                                       win::DWORD bufferSize, win::DWORD* needed,
                                       win::DWORD* returned,
                                       std::vector<win::PrinterInfo2>* entries) {
  std::vector<BYTE> buffer(bufferSize ? bufferSize : 1);
  DWORD size = 0, count = 0;
  BOOL ok = ::EnumPrintersA(flags, Text(name), level, bufferSize ? buffer.data() : nullptr,
                            bufferSize, needed ? &size : nullptr,
                            returned ? &count : nullptr);
  DWORD error = ::GetLastError();
  if (needed) *needed = size;
  if (returned) *returned = count;
  if (ok && entries && level == 2) {
    entries->clear();
    const auto* info = reinterpret_cast<const PRINTER_INFO_2A*>(buffer.data());
    for (DWORD i = 0; i < count; ++i) {
      const PRINTER_INFO_2A& p = info[i];
      entries->push_back({Owned(p.pServerName), Owned(p.pPrinterName), Owned(p.pShareName),
                          Owned(p.pPortName), Owned(p.pDriverName), Owned(p.pComment),
                          Owned(p.pLocation), Owned(p.pSepFile), Owned(p.pPrintProcessor),
                          Owned(p.pDatatype), Owned(p.pParameters), p.Attributes,
                          p.Priority, p.DefaultPriority, p.StartTime, p.UntilTime,
                          p.Status, p.cJobs, p.AveragePPM});
    }
  }
  ::SetLastError(error);
  return ok;
}

win::BOOL Win32Platform::EnumPrinterDriversA(const char* name, const char* environment,
                                             win::DWORD level, win::DWORD bufferSize,
                                             win::DWORD* needed, win::DWORD* returned,
                                             std::vector<win::DriverInfo3>* entries) {
  std::vector<BYTE> buffer(bufferSize ? bufferSize : 1);
  DWORD size = 0, count = 0;
  BOOL ok = ::EnumPrinterDriversA(Text(name), Text(environment), level,
                                  bufferSize ? buffer.data() : nullptr, bufferSize,
                                  needed ? &size : nullptr, returned ? &count : nullptr);
  DWORD error = ::GetLastError();
  if (needed) *needed = size;
  if (returned) *returned = count;
  if (ok && entries && level == 3) {
    entries->clear();
    const auto* info = reinterpret_cast<const DRIVER_INFO_3A*>(buffer.data());
    for (DWORD i = 0; i < count; ++i) {
      const DRIVER_INFO_3A& d = info[i];
      entries->push_back({d.cVersion, Owned(d.pName), Owned(d.pEnvironment),
                          Owned(d.pDriverPath), Owned(d.pDataFile), Owned(d.pConfigFile),
                          Owned(d.pHelpFile), Names(d.pDependentFiles),
                          Owned(d.pMonitorName), Owned(d.pDefaultDataType)});
    }
  }
  ::SetLastError(error);
  return ok;
}

win::HANDLE Win32Platform::AddPrinterA(const char* name, win::DWORD level,
                                       const win::PRINTER_INFO_2A* printer) {
  if (!printer) return FromHandle(::AddPrinterA(Text(name), level, nullptr));
  ::PRINTER_INFO_2A info;
  std::memset(&info, 0, sizeof info);
  info.pServerName = Text(printer->pServerName);
  info.pPrinterName = Text(printer->pPrinterName);
  info.pShareName = Text(printer->pShareName);
  info.pPortName = Text(printer->pPortName);
  info.pDriverName = Text(printer->pDriverName);
  info.pComment = Text(printer->pComment);
  info.pLocation = Text(printer->pLocation);
  info.pDevMode = reinterpret_cast<LPDEVMODEA>(printer->pDevMode);
  info.pSepFile = Text(printer->pSepFile);
  info.pPrintProcessor = Text(printer->pPrintProcessor);
  info.pDatatype = Text(printer->pDatatype);
  info.pParameters = Text(printer->pParameters);
  info.pSecurityDescriptor = printer->pSecurityDescriptor;
  info.Attributes = printer->Attributes;
  info.Priority = printer->Priority;
  info.DefaultPriority = printer->DefaultPriority;
  info.StartTime = printer->StartTime;
  info.UntilTime = printer->UntilTime;
  info.Status = printer->Status;
  info.cJobs = printer->cJobs;
  info.AveragePPM = printer->AveragePPM;
  return FromHandle(::AddPrinterA(Text(name), level, reinterpret_cast<LPBYTE>(&info)));
}

win::BOOL Win32Platform::OpenPrinterA(const char* printerName, win::HANDLE* printer,
                                      const win::PRINTER_DEFAULTSA* defaults) {
  ::HANDLE opened = nullptr;
  BOOL ok;
  if (defaults) {
    ::PRINTER_DEFAULTSA d;
    d.pDatatype = Text(defaults->pDatatype);
    d.pDevMode = reinterpret_cast<LPDEVMODEA>(defaults->pDevMode);
    d.DesiredAccess = defaults->DesiredAccess;
    ok = ::OpenPrinterA(Text(printerName), &opened, &d);
  } else {
    ok = ::OpenPrinterA(Text(printerName), &opened, nullptr);
  }
  if (printer) *printer = FromHandle(opened);
  return ok;
}

win::BOOL Win32Platform::DeletePrinter(win::HANDLE printer) {
  return ::DeletePrinter(ToHandle(printer));
}

win::BOOL Win32Platform::ClosePrinter(win::HANDLE printer) {
  return ::ClosePrinter(ToHandle(printer));
}

// --- Files.

win::HANDLE Win32Platform::CreateFileA(const char* fileName, win::DWORD desiredAccess,
                                       win::DWORD shareMode,
                                       win::SECURITY_ATTRIBUTES* securityAttributes,
                                       win::DWORD creationDisposition,
                                       win::DWORD flagsAndAttributes,
                                       win::HANDLE templateFile) {
  return FromHandle(::CreateFileA(fileName, desiredAccess, shareMode,
                                  reinterpret_cast<LPSECURITY_ATTRIBUTES>(securityAttributes),
                                  creationDisposition, flagsAndAttributes,
                                  ToHandle(templateFile)));
}

win::BOOL Win32Platform::ReadFile(win::HANDLE file, std::span<win::BYTE> buffer,
                                  win::DWORD* bytesRead) {
  DWORD read = 0;
  BOOL ok = ::ReadFile(ToHandle(file), buffer.data(), static_cast<DWORD>(buffer.size()),
                       &read, nullptr);
  if (bytesRead) *bytesRead = read;
  return ok;
}

win::BOOL Win32Platform::WriteFile(win::HANDLE file, std::span<const win::BYTE> buffer,
                                   win::DWORD* bytesWritten) {
  DWORD written = 0;
  BOOL ok = ::WriteFile(ToHandle(file), buffer.data(), static_cast<DWORD>(buffer.size()),
                        &written, nullptr);
  if (bytesWritten) *bytesWritten = written;
  return ok;
}

win::DWORD Win32Platform::SetFilePointer(win::HANDLE file, win::LONG distance,
                                         win::LONG* distanceHigh, win::DWORD moveMethod) {
  return ::SetFilePointer(ToHandle(file), distance, reinterpret_cast<PLONG>(distanceHigh),
                          moveMethod);
}

win::DWORD Win32Platform::GetFileSize(win::HANDLE file, win::DWORD* sizeHigh) {
  return ::GetFileSize(ToHandle(file), reinterpret_cast<LPDWORD>(sizeHigh));
}

win::BOOL Win32Platform::CloseHandle(win::HANDLE handle) {
  return ::CloseHandle(ToHandle(handle));
}

win::BOOL Win32Platform::DeleteFileA(const char* fileName) { return ::DeleteFileA(fileName); }

win::BOOL Win32Platform::MoveFileA(const char* existingName, const char* newName) {
  return ::MoveFileA(existingName, newName);
}

win::DWORD Win32Platform::GetFileAttributesA(const char* fileName) {
  return ::GetFileAttributesA(fileName);
}

// Windows 95's kernel32 has no GetFileAttributesExA (Windows 98 and NT 4.0
// added it), and a program that imports it does not start there. The record is
// put together from calls every 32-bit Windows has:
// - GetFileAttributesA resolves the path as GetFileAttributesExA does, so it
//   decides whether the call fails and with which last-error value (2 for a
//   missing file, 3 for a missing folder, ...);
// - FindFirstFileA reads the times and the size from the directory entry,
//   without opening the file: a file held open without sharing (a loaded DLL)
//   is described too.
// A name with wildcards would let FindFirstFileA describe another file, so it
// is refused with 123 (ERROR_INVALID_NAME). A folder without a directory entry
// of its own (a drive's root, a path ending in a backslash) is reported with
// zero times. On success the last-error value is left as it was.
win::BOOL Win32Platform::GetFileAttributesExA(const char* fileName,
                                              win::WIN32_FILE_ATTRIBUTE_DATA* data) {
  const DWORD previousError = ::GetLastError();
  const DWORD attributes = ::GetFileAttributesA(fileName);
  if (attributes == INVALID_FILE_ATTRIBUTES) return FALSE;
  if (std::string_view(fileName).find_first_of("*?") != std::string_view::npos) {
    ::SetLastError(ERROR_INVALID_NAME);
    return FALSE;
  }
  win::WIN32_FILE_ATTRIBUTE_DATA record;
  record.dwFileAttributes = attributes;
  WIN32_FIND_DATAA entry;
  ::HANDLE search = ::FindFirstFileA(fileName, &entry);
  if (search != INVALID_HANDLE_VALUE) {
    ::FindClose(search);
    record.ftCreationTime = FromFileTime(entry.ftCreationTime);
    record.ftLastAccessTime = FromFileTime(entry.ftLastAccessTime);
    record.ftLastWriteTime = FromFileTime(entry.ftLastWriteTime);
    record.nFileSizeHigh = entry.nFileSizeHigh;
    record.nFileSizeLow = entry.nFileSizeLow;
  } else if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    return FALSE;  // gone since, or its folder cannot be listed: FindFirstFileA's error
  }
  *data = record;
  ::SetLastError(previousError);
  return TRUE;
}

// --- Heap.

void* Win32Platform::HeapAlloc(win::SIZE_T bytes) {
  return ::HeapAlloc(::GetProcessHeap(), 0, bytes);
}

void Win32Platform::HeapFree(void* block) {
  if (block) ::HeapFree(::GetProcessHeap(), 0, block);
}

// --- User interface and output.

int Win32Platform::MessageBoxA(win::HWND owner, const char* text, const char* caption,
                               win::UINT type) {
  return ::MessageBoxA(ToWindow(owner), text, caption, type);
}

void Win32Platform::GetLocalTime(win::SYSTEMTIME* time) {
  ::GetLocalTime(reinterpret_cast<::SYSTEMTIME*>(time));
}

// A windowed program has a standard output only when its starter redirected
// one; the last-error value is kept, since callers may read it afterwards.
void Win32Platform::WriteStandardOutput(std::string_view text) {
  DWORD error = ::GetLastError();
  ::HANDLE out = ::GetStdHandle(STD_OUTPUT_HANDLE);
  if (out && out != INVALID_HANDLE_VALUE) {
    DWORD written = 0;
    ::WriteFile(out, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  }
  ::SetLastError(error);
}

}  // namespace orvane
