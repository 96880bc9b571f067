// A simulated Windows machine: the Platform that the installer runs against on
// Linux. It is a model, not a recorder: state lives where Windows keeps it
// (registry, files on drive C:), the calls derive their answers from that state
// and set the last-error value call by call as Windows does.
//
// What a user would see but no state holds (message boxes, started programs,
// pauses, shell notifications, broadcasts) goes to the journal, one event a line,
// its kind first and the text last, verbatim but for the escapes \\ \t \r \n.
//
// Time is virtual: Sleep advances the clock and is journaled; GetLocalTime reads
// the clock, so log time stamps are deterministic.
#pragma once

#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"
#include "winsim/faults.h"
#include "winsim/filesystem.h"
#include "winsim/registry.h"
#include "winsim/services.h"
#include "winsim/spooler.h"
#include "winsim/versions.h"

namespace orvane::winsim {

// Asked for the answer to a message box when no queued answer is left; returns
// IDOK, IDYES or IDNO, or nullopt to take the default (IDOK for MB_OK, IDNO for
// MB_YESNO).
using PromptFn = std::function<std::optional<int>(
    std::string_view text, std::string_view caption, win::UINT type)>;

class Machine final : public Platform {
 public:
  // A machine of `version` whose drive C: is the host folder `driveC` (which
  // must exist). Nothing is laid out: see layout.h for Windows' own files.
  Machine(WindowsVersion version, std::filesystem::path driveC);
  ~Machine() override;

  // --- Platform.
  win::LONG RegOpenKeyExA(win::HKEY key, const char* subKey, win::DWORD options,
                          win::REGSAM desired, win::HKEY* result) override;
  win::LONG RegCreateKeyA(win::HKEY key, const char* subKey,
                          win::HKEY* result) override;
  win::LONG RegQueryValueExA(win::HKEY key, const char* valueName,
                             win::DWORD* type, std::span<win::BYTE> data,
                             win::DWORD* cbData) override;
  win::LONG RegSetValueExA(win::HKEY key, const char* valueName,
                           win::DWORD reserved, win::DWORD type,
                           std::span<const win::BYTE> data) override;
  win::LONG RegDeleteKeyA(win::HKEY key, const char* subKey) override;
  win::LONG SHDeleteKeyA(win::HKEY key, const char* subKey) override;
  win::LONG RegCloseKey(win::HKEY key) override;

  win::DWORD GetPrivateProfileStringA(const char* appName, const char* keyName,
                                      const char* defaultValue, std::span<char> out,
                                      const char* fileName) override;
  win::BOOL WritePrivateProfileStringA(const char* appName, const char* keyName,
                                       const char* value,
                                       const char* fileName) override;
  win::BOOL WritePrivateProfileStringW(const char16_t* appName,
                                       const char16_t* keyName,
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

  // Journals "process", then: 1 or 0 (started), the creation flags, the
  // STARTUPINFOA in short ("none" when null), "env=" own, other or null,
  // "app=" and "dir=" the application name and current folder as given (null
  // when null), "ran=" the program file that started (none), and last the
  // command line. A null application name searches as Windows does
  // (FindProgram); a given one names exactly the file that starts.
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
                          win::DWORD shareMode,
                          win::SECURITY_ATTRIBUTES* securityAttributes,
                          win::DWORD creationDisposition,
                          win::DWORD flagsAndAttributes,
                          win::HANDLE templateFile) override;
  win::BOOL ReadFile(win::HANDLE file, std::span<win::BYTE> buffer,
                     win::DWORD* bytesRead) override;
  win::BOOL WriteFile(win::HANDLE file, std::span<const win::BYTE> buffer,
                      win::DWORD* bytesWritten) override;
  win::DWORD SetFilePointer(win::HANDLE file, win::LONG distance,
                            win::LONG* distanceHigh, win::DWORD moveMethod) override;
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

  // --- The machine's state, for the entry point, the winsim tool and tests.
  const VersionProfile& profile() const { return *profile_; }
  Registry& registry() { return registry_; }
  const Registry& registry() const { return registry_; }
  FileSystem& files() { return files_; }
  const FileSystem& files() const { return files_; }
  FaultTable& faults() { return faults_; }
  const FaultTable& faults() const { return faults_; }
  Spooler& spooler() { return spooler_; }
  const Spooler& spooler() const { return spooler_; }
  ServiceManager& services() { return services_; }
  const ServiceManager& services() const { return services_; }

  // Whether the program runs with administrative rights (the default). Without
  // them the spooler and the service manager refuse changes with
  // ERROR_ACCESS_DENIED, and on the NT family HKLM\SOFTWARE and HKLM\SYSTEM
  // may only be read (Registry::SetReadOnlyMachineKeys).
  bool administrator() const { return administrator_; }
  void SetAdministrator(bool administrator) {
    administrator_ = administrator;
    registry_.SetReadOnlyMachineKeys(!administrator && profile_->nt_family);
  }

  // Restarts the machine: the spooler starts afresh and files held or loaded
  // by other processes are released.
  void Reboot();

  // Milliseconds of virtual time since the epoch; Sleep advances it.
  std::int64_t now_ms() const { return clock_ms_; }

  const std::vector<std::string>& journal() const { return journal_; }
  // Appends an event: `kind`, then the fields, tab-separated and escaped.
  void Journal(std::string_view kind, const std::vector<std::string>& fields);
  void SetJournal(std::vector<std::string> lines) { journal_ = std::move(lines); }

  // Answers for the coming Yes/No boxes, IDYES or IDNO, first in first out.
  std::deque<int>& answers() { return answers_; }
  const std::deque<int>& answers() const { return answers_; }
  void SetPrompt(PromptFn prompt) { prompt_ = std::move(prompt); }

  // Everything written to standard output in this run; also passed to the sink.
  const std::string& standard_output() const { return stdout_; }
  void SetStandardOutputSink(std::function<void(std::string_view)> sink) {
    stdout_sink_ = std::move(sink);
  }

  // The virtual clock: local time now.
  win::SYSTEMTIME clock() const;
  void SetClock(const win::SYSTEMTIME& now);

  // The running program: its module path ("C:\orvane\setup.exe") and the process
  // command line that Windows hands it.
  void SetModulePath(std::string path) { module_path_ = std::move(path); }
  const std::string& module_path() const { return module_path_; }
  void SetCommandLine(std::string commandLine) { command_line_ = std::move(commandLine); }

  // The process environment, "NAME=value" strings in block order.
  void SetEnvironment(std::vector<std::string> variables);
  const std::vector<std::string>& environment() const { return environment_; }

  // Heap blocks handed out and not yet freed.
  std::size_t heap_blocks() const { return heap_.size(); }
  // Handles and blocks still open or held, one line each; empty when clean.
  std::vector<std::string> LeakReport() const;

 private:
  // Applies an armed failure for `call` on `subject`: sets the last-error value
  // and returns true when the call must fail.
  bool Fails(std::string_view call, std::string_view subject);
  // Applies an armed stale last-error value after a call that succeeded.
  void LeaveStale(std::string_view call, std::string_view subject);
  std::string RegSubject(win::HKEY key, const char* subKey) const;
  std::string ResolveProfilePath(const char* fileName) const;
  std::optional<std::string> FindProgram(std::string_view commandLine,
                                         std::string* resolved) const;

  const VersionProfile* profile_;
  Registry registry_;
  FileSystem files_;
  FaultTable faults_;
  Spooler spooler_;
  ServiceManager services_;
  bool administrator_ = true;
  win::DWORD last_error_ = 0;
  std::vector<std::string> journal_;
  std::deque<int> answers_;
  PromptFn prompt_;
  std::string stdout_;
  std::function<void(std::string_view)> stdout_sink_;
  std::int64_t clock_ms_ = 0;  // milliseconds since 1601-01-01, local time
  std::string module_path_ = "C:\\orvane\\setup.exe";
  std::string command_line_ = "\"C:\\orvane\\setup.exe\"";
  std::vector<std::string> environment_;
  std::string environment_block_;
  std::map<void*, std::size_t> heap_;  // block to its mapped length (host_memory.h)
  win::DWORD next_process_id_ = 0x400;
};

}  // namespace orvane::winsim
