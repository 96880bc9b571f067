// The service calls (forwarded to the ServiceManager on the NT family), the
// shell notification, the window broadcast and the restart of the machine.
#include <cstdio>
#include <string>

#include "winsim/machine.h"

namespace orvane::winsim {

using namespace orvane::win;

namespace {

constexpr DWORD ERROR_CALL_NOT_IMPLEMENTED = 120;
constexpr DWORD ERROR_INVALID_ADDRESS = 487;

// The broadcast gives a window that does not answer this long: the Win32
// backend sends it with SendMessageTimeoutA, SMTO_ABORTIFHUNG and this timeout.
constexpr std::int64_t kBroadcastTimeoutMs = 5000;

std::string Text(const char* text) { return text ? text : ""; }

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
// unloaded), files held by other processes are let go, and the spooler starts
// afresh and loads the monitors registered then.

void Machine::Reboot() {
  services_.ShutDown(spooler_);
  files_.ReleaseAll();
  services_.StartSpoolerNow(spooler_);
  Journal("reboot", {});
}

}  // namespace orvane::winsim
