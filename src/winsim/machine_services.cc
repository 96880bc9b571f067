// The service calls (forwarded to the ServiceManager on the NT family), the
// shell notification, the window broadcast and the restart of the machine.
#include <cctype>
#include <cstdio>
#include <string>
#include <vector>

#include "winsim/machine.h"

namespace orvane::winsim {

using namespace orvane::win;

namespace {

constexpr DWORD ERROR_CALL_NOT_IMPLEMENTED = 120;
constexpr DWORD ERROR_INVALID_ADDRESS = 487;

// The broadcast gives a window that does not answer this long: the Win32
// backend sends it with SendMessageTimeoutA, SMTO_ABORTIFHUNG and this timeout.
constexpr std::int64_t kBroadcastTimeoutMs = 5000;

// Where Windows keeps the file operations that wait for the next start.
// NT: pairs of names in a REG_MULTI_SZ value, performed by the session manager.
constexpr const char* kSessionManager =
    "HKLM\\SYSTEM\\CurrentControlSet\\Control\\Session Manager";
constexpr const char* kPendingRenames = "PendingFileRenameOperations";
// Windows 95/98/ME: "[rename]" lines "DEST=SOURCE" (NUL=SOURCE deletes) in
// WININIT.INI in the Windows folder, performed by wininit.exe, which then keeps
// the file as WININIT.BAK.
constexpr const char* kWininit = "WININIT.INI";
constexpr const char* kWininitDone = "WININIT.BAK";

std::string Text(const char* text) { return text ? text : ""; }

std::string Trim(std::string_view text) {
  std::size_t begin = text.find_first_not_of(" \t\r");
  if (begin == std::string_view::npos) return "";
  std::size_t end = text.find_last_not_of(" \t\r");
  return std::string(text.substr(begin, end - begin + 1));
}

bool IsRenameSection(std::string_view line) {
  std::string name = Trim(line);
  if (name.size() < 2 || name.front() != '[' || name.back() != ']') return false;
  name = Trim(std::string_view(name).substr(1, name.size() - 2));
  if (name.size() != 6) return false;
  for (std::size_t i = 0; i < 6; ++i) {
    if (std::tolower(static_cast<unsigned char>(name[i])) != "rename"[i]) return false;
  }
  return true;
}

// Renames `from` to `to`, first removing `to` when `replace` is set. What fails
// is left as it was, as the boot-time renamers do.
void RenameAtBoot(FileSystem& files, const std::string& from, const std::string& to,
                  bool replace) {
  if (!files.Exists(from)) return;
  if (replace && files.Exists(to) && !files.IsDirectory(to) &&
      files.Canonical(to) != files.Canonical(from)) {
    files.Remove(to);
  }
  DWORD ignored = 0;
  files.Move(from.c_str(), to.c_str(), &ignored);
}

std::string StripNtPrefix(std::string name) {
  if (name.starts_with("\\??\\")) name.erase(0, 4);
  return name;
}

void PerformNtRenames(Registry& registry, FileSystem& files) {
  auto value = registry.GetValue(kSessionManager, kPendingRenames);
  if (!value) return;
  // Source and destination in turn; an empty destination deletes the source,
  // one marked "!" replaces what is there (Wine: wineboot, pendingRename).
  std::vector<std::string> names;
  std::string current;
  for (BYTE b : value->data) {
    if (b == 0) {
      names.push_back(std::move(current));
      current.clear();
    } else {
      current += static_cast<char>(b);
    }
  }
  for (std::size_t i = 0; i + 1 < names.size() && !names[i].empty(); i += 2) {
    std::string from = StripNtPrefix(names[i]);
    std::string to = names[i + 1];
    if (to.empty()) {
      files.Remove(from);
      continue;
    }
    bool replace = to.front() == '!';
    if (replace) to.erase(0, 1);
    RenameAtBoot(files, from, StripNtPrefix(to), replace);
  }
  registry.RemoveValue(kSessionManager, kPendingRenames);
}

void PerformWininitRenames(const std::string& windowsDir, FileSystem& files) {
  std::string wininit = windowsDir + "\\" + kWininit;
  auto bytes = files.ReadAll(wininit);
  if (!bytes) return;
  std::string text(bytes->begin(), bytes->end());
  bool in_rename = false;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string_view line(text.data() + start, end - start);
    start = end + 1;
    if (Trim(line).starts_with('[')) {
      in_rename = IsRenameSection(line);
      continue;
    }
    std::size_t eq = line.find('=');
    if (!in_rename || eq == std::string_view::npos) continue;
    std::string to = Trim(line.substr(0, eq));
    std::string from = Trim(line.substr(eq + 1));
    if (from.empty()) continue;
    std::string upper = to;
    for (char& c : upper)
      c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (upper == "NUL") {
      files.Remove(from);
    } else {
      RenameAtBoot(files, from, to, /*replace=*/true);
    }
  }
  RenameAtBoot(files, wininit, windowsDir + "\\" + kWininitDone, /*replace=*/true);
}

}  // namespace

// --- Services. Windows 95/98/ME export these from advapi32 as stubs that
// fail with ERROR_CALL_NOT_IMPLEMENTED whatever they are given. Each call
// first completes a stop whose time has come, even one that then fails.

SC_HANDLE Machine::OpenSCManagerA(const char* machineName, const char* databaseName,
                                  DWORD desiredAccess) {
  services_.Settle(clock_ms_, spooler_);
  if (Fails("OpenSCManagerA", Text(machineName))) return kNullServiceHandle;
  if (!profile_->nt_family) {
    last_error_ = ERROR_CALL_NOT_IMPLEMENTED;
    return kNullServiceHandle;
  }
  DWORD error = 0;
  SC_HANDLE manager = services_.OpenManager(machineName, databaseName, desiredAccess,
                                            administrator_, &error);
  // Success clears the value (Wine's test_open_scm, as Windows answers).
  last_error_ = manager == kNullServiceHandle ? error : ERROR_SUCCESS;
  return manager;
}

SC_HANDLE Machine::OpenServiceA(SC_HANDLE manager, const char* serviceName,
                                DWORD desiredAccess) {
  services_.Settle(clock_ms_, spooler_);
  if (Fails("OpenServiceA", Text(serviceName))) return kNullServiceHandle;
  if (!profile_->nt_family) {
    last_error_ = ERROR_CALL_NOT_IMPLEMENTED;
    return kNullServiceHandle;
  }
  // A null name: 2000 and XP 487, NT 4 87 (Wine's test_open_svc).
  DWORD nullNameError =
      profile_->major >= 5 ? ERROR_INVALID_ADDRESS : ERROR_INVALID_PARAMETER;
  DWORD error = 0;
  SC_HANDLE service = services_.OpenService(manager, serviceName, desiredAccess,
                                            administrator_, nullNameError, &error);
  if (service == kNullServiceHandle) last_error_ = error;
  return service;
}

BOOL Machine::ControlService(SC_HANDLE service, DWORD control, SERVICE_STATUS* status) {
  services_.Settle(clock_ms_, spooler_);
  if (Fails("ControlService", services_.ServiceNameOf(service))) return FALSE;
  if (!profile_->nt_family) {
    last_error_ = ERROR_CALL_NOT_IMPLEMENTED;
    return FALSE;
  }
  DWORD error = 0;
  if (!services_.Control(service, control, status, clock_ms_, spooler_, &error)) {
    last_error_ = error;
    return FALSE;
  }
  return TRUE;
}

BOOL Machine::StartServiceA(SC_HANDLE service, DWORD /*argc*/, const char** /*argv*/) {
  services_.Settle(clock_ms_, spooler_);
  if (Fails("StartServiceA", services_.ServiceNameOf(service))) return FALSE;
  if (!profile_->nt_family) {
    last_error_ = ERROR_CALL_NOT_IMPLEMENTED;
    return FALSE;
  }
  DWORD error = 0;
  if (!services_.Start(service, clock_ms_, spooler_, &error)) {
    last_error_ = error;
    return FALSE;
  }
  return TRUE;
}

BOOL Machine::QueryServiceStatus(SC_HANDLE service, SERVICE_STATUS* status) {
  services_.Settle(clock_ms_, spooler_);
  if (Fails("QueryServiceStatus", services_.ServiceNameOf(service))) return FALSE;
  if (!profile_->nt_family) {
    last_error_ = ERROR_CALL_NOT_IMPLEMENTED;
    return FALSE;
  }
  // A null record: 2000 and XP 487, NT 4 87 (Wine's test_query_svc).
  DWORD nullStatusError =
      profile_->major >= 5 ? ERROR_INVALID_ADDRESS : ERROR_INVALID_PARAMETER;
  DWORD error = 0;
  if (!services_.Query(service, status, clock_ms_, spooler_, nullStatusError, &error)) {
    last_error_ = error;
    return FALSE;
  }
  return TRUE;
}

BOOL Machine::CloseServiceHandle(SC_HANDLE handle) {
  services_.Settle(clock_ms_, spooler_);
  if (!profile_->nt_family) {
    last_error_ = ERROR_CALL_NOT_IMPLEMENTED;
    return FALSE;
  }
  DWORD error = 0;
  if (!services_.Close(handle, &error)) {
    last_error_ = error;
    return FALSE;
  }
  return TRUE;
}

// --- Shell and windows.

void Machine::SHChangeNotify(LONG eventId, UINT flags, const void* item1,
                             const void* item2) {
  char event[16];
  std::snprintf(event, sizeof event, "0x%x", static_cast<unsigned>(eventId));
  Journal("shchangenotify", {event, std::to_string(flags), item1 ? "item" : "null",
                             item2 ? "item" : "null"});
}

LRESULT Machine::SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  char target[24];
  char msg[16];
  std::snprintf(target, sizeof target, "0x%llx", static_cast<unsigned long long>(window));
  std::snprintf(msg, sizeof msg, "0x%x", message);
  std::string text =
      message == WM_SETTINGCHANGE && lParam ? reinterpret_cast<const char*>(lParam) : "";
  // A window that does not answer (the fault): the wait ends at the timeout,
  // in virtual time, and the call fails with the fault's code.
  if (Fails("SendMessageA", text)) {
    clock_ms_ += kBroadcastTimeoutMs;
    services_.Settle(clock_ms_, spooler_);
    Journal("sendmessage", {target, msg, std::to_string(wParam), text, "hung"});
    return 0;
  }
  Journal("sendmessage", {target, msg, std::to_string(wParam), text});
  LeaveStale("SendMessageA", text);
  return 0;
}

// --- The restart: every process ends (the spooler's too, so its DLLs are
// unloaded), files held by other processes are let go, the file operations
// left for the start are done, and the spooler starts afresh and loads the
// monitors registered then.

void Machine::Reboot() {
  services_.ShutDown(spooler_);
  files_.ReleaseAll();
  if (profile_->nt_family) {
    PerformNtRenames(registry_, files_);
  } else {
    PerformWininitRenames(profile_->windows_dir, files_);
  }
  services_.StartSpoolerNow(spooler_);
  Journal("reboot", {});
}

}  // namespace orvane::winsim
