#include "winsim/services.h"

#include <cctype>

#include "winsim/spooler.h"

namespace orvane::winsim {

using namespace orvane::win;

namespace {

// Access rights (winnt.h, winsvc.h) beyond those the interface declares.
constexpr DWORD READ_CONTROL = 0x00020000;  // STANDARD_RIGHTS_READ, _WRITE, _EXECUTE
constexpr DWORD GENERIC_EXECUTE = 0x20000000;
constexpr DWORD GENERIC_ALL = 0x10000000;
constexpr DWORD MAXIMUM_ALLOWED = 0x02000000;

constexpr DWORD SC_MANAGER_CREATE_SERVICE = 0x0002;
constexpr DWORD SC_MANAGER_ENUMERATE_SERVICE = 0x0004;
constexpr DWORD SC_MANAGER_LOCK = 0x0008;
constexpr DWORD SC_MANAGER_QUERY_LOCK_STATUS = 0x0010;
constexpr DWORD SC_MANAGER_MODIFY_BOOT_CONFIG = 0x0020;

constexpr DWORD SERVICE_QUERY_CONFIG = 0x0001;
constexpr DWORD SERVICE_CHANGE_CONFIG = 0x0002;
constexpr DWORD SERVICE_ENUMERATE_DEPENDENTS = 0x0008;
constexpr DWORD SERVICE_PAUSE_CONTINUE = 0x0040;
constexpr DWORD SERVICE_INTERROGATE = 0x0080;
constexpr DWORD SERVICE_USER_DEFINED_CONTROL = 0x0100;

constexpr DWORD SERVICE_CONTROL_INTERROGATE = 4;
constexpr DWORD SERVICE_WIN32_OWN_PROCESS = 0x10;
constexpr DWORD SERVICE_INTERACTIVE_PROCESS = 0x100;
constexpr DWORD SERVICE_ACCEPT_STOP = 0x1;
constexpr DWORD SERVICE_ACCEPT_SHUTDOWN = 0x4;

constexpr const char* kSpooler = "Spooler";

struct Rights {
  DWORD read, write, execute, all;  // what each generic right stands for
  DWORD user;                       // what a user who is no administrator holds
};

// Generic mappings from "Service Security and Access Rights"; the user's rights
// are the default security of the manager and of a service such as the Spooler
// (Administrators, Power Users and LocalSystem may also start and stop it).
constexpr Rights kManagerRights = {
    READ_CONTROL | SC_MANAGER_ENUMERATE_SERVICE | SC_MANAGER_QUERY_LOCK_STATUS,
    READ_CONTROL | SC_MANAGER_CREATE_SERVICE | SC_MANAGER_MODIFY_BOOT_CONFIG,
    READ_CONTROL | SC_MANAGER_CONNECT | SC_MANAGER_LOCK,
    SC_MANAGER_ALL_ACCESS,
    SC_MANAGER_CONNECT | SC_MANAGER_ENUMERATE_SERVICE | SC_MANAGER_QUERY_LOCK_STATUS |
        READ_CONTROL,
};
constexpr Rights kServiceRights = {
    READ_CONTROL | SERVICE_QUERY_CONFIG | SERVICE_QUERY_STATUS | SERVICE_INTERROGATE |
        SERVICE_ENUMERATE_DEPENDENTS,
    READ_CONTROL | SERVICE_CHANGE_CONFIG,
    READ_CONTROL | SERVICE_START | SERVICE_STOP | SERVICE_PAUSE_CONTINUE |
        SERVICE_USER_DEFINED_CONTROL,
    SERVICE_ALL_ACCESS,
    SERVICE_QUERY_CONFIG | SERVICE_QUERY_STATUS | SERVICE_ENUMERATE_DEPENDENTS |
        SERVICE_INTERROGATE | SERVICE_USER_DEFINED_CONTROL | READ_CONTROL,
};

// The rights granted for `desired`, or nullopt when the caller does not hold
// them all.
std::optional<DWORD> Grant(DWORD desired, const Rights& rights, bool administrator) {
  DWORD held = administrator ? rights.all : rights.user;
  if (desired & MAXIMUM_ALLOWED) return held;
  DWORD wanted =
      desired & ~(GENERIC_READ | GENERIC_WRITE | GENERIC_EXECUTE | GENERIC_ALL);
  if (desired & GENERIC_READ) wanted |= rights.read;
  if (desired & GENERIC_WRITE) wanted |= rights.write;
  if (desired & GENERIC_EXECUTE) wanted |= rights.execute;
  if (desired & GENERIC_ALL) wanted |= rights.all;
  if (wanted & ~held) return std::nullopt;
  return wanted;
}

// The right a control needs; 0 for a control a program cannot send
// (SERVICE_CONTROL_SHUTDOWN among them).
DWORD RightFor(DWORD control) {
  switch (control) {
    case SERVICE_CONTROL_STOP:
      return SERVICE_STOP;
    case SERVICE_CONTROL_INTERROGATE:
      return SERVICE_INTERROGATE;
    case 2:   // PAUSE
    case 3:   // CONTINUE
    case 6:   // PARAMCHANGE
    case 7:   // NETBINDADD
    case 8:   // NETBINDREMOVE
    case 9:   // NETBINDENABLE
    case 10:  // NETBINDDISABLE
      return SERVICE_PAUSE_CONTINUE;
    default:
      return control >= 128 && control <= 255 ? SERVICE_USER_DEFINED_CONTROL : 0;
  }
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

bool Fail(DWORD* error, DWORD code) {
  if (error) *error = code;
  return false;
}

}  // namespace

const char* ServiceStateName(ServiceState state) {
  switch (state) {
    case ServiceState::kRunning:
      return "running";
    case ServiceState::kStopPending:
      return "stop_pending";
    case ServiceState::kStopped:
      return "stopped";
  }
  return "running";
}

std::optional<ServiceState> ParseServiceState(std::string_view text) {
  for (ServiceState s :
       {ServiceState::kRunning, ServiceState::kStopPending, ServiceState::kStopped}) {
    if (text == ServiceStateName(s)) return s;
  }
  return std::nullopt;
}

SC_HANDLE ServiceManager::OpenManager(const char* machineName, const char* databaseName,
                                      DWORD desiredAccess, bool administrator,
                                      DWORD* error) {
  // Another machine: the simulator has no network to reach it over.
  if (machineName && *machineName) {
    Fail(error, RPC_S_SERVER_UNAVAILABLE);
    return kNullServiceHandle;
  }
  if (databaseName && !EqualsIgnoringCase(databaseName, "ServicesActive")) {
    Fail(error, EqualsIgnoringCase(databaseName, "ServicesFailed")
                    ? ERROR_DATABASE_DOES_NOT_EXIST
                    : ERROR_INVALID_NAME);
    return kNullServiceHandle;
  }
  auto granted = Grant(desiredAccess | SC_MANAGER_CONNECT, kManagerRights, administrator);
  if (!granted) {
    Fail(error, ERROR_ACCESS_DENIED);
    return kNullServiceHandle;
  }
  return Add(true, *granted);
}

SC_HANDLE ServiceManager::OpenService(SC_HANDLE manager, const char* serviceName,
                                      DWORD desiredAccess, bool administrator,
                                      DWORD nullNameError, DWORD* error) {
  if (!Find(manager, true)) {
    Fail(error, ERROR_INVALID_HANDLE);
    return kNullServiceHandle;
  }
  if (!serviceName) {
    Fail(error, nullNameError);
    return kNullServiceHandle;
  }
  // An empty name is no valid service name (unverified; MS-SCMR lists 123).
  if (!*serviceName) {
    Fail(error, ERROR_INVALID_NAME);
    return kNullServiceHandle;
  }
  if (!EqualsIgnoringCase(serviceName, kSpooler)) {
    Fail(error, ERROR_SERVICE_DOES_NOT_EXIST);
    return kNullServiceHandle;
  }
  auto granted = Grant(desiredAccess, kServiceRights, administrator);
  if (!granted) {
    Fail(error, ERROR_ACCESS_DENIED);
    return kNullServiceHandle;
  }
  return Add(false, *granted);
}

bool ServiceManager::Control(SC_HANDLE service, DWORD control, SERVICE_STATUS* status,
                             std::int64_t nowMs, Spooler& spooler, DWORD* error) {
  const Handle* handle = Find(service, false);
  if (!handle) return Fail(error, ERROR_INVALID_HANDLE);
  // The record is a reference parameter of the remote call (unverified: the
  // client stub refuses a null one before the manager sees the request).
  if (!status) return Fail(error, RPC_X_NULL_REF_POINTER);
  DWORD right = RightFor(control);
  if (right == 0) return Fail(error, ERROR_INVALID_PARAMETER);
  if (!(handle->access & right)) return Fail(error, ERROR_ACCESS_DENIED);
  Settle(nowMs, spooler);
  // What the manager does in each state (MS: ControlService, remarks).
  switch (state_) {
    case ServiceState::kStopped:
      Fill(status, nowMs);
      return Fail(error, ERROR_SERVICE_NOT_ACTIVE);
    case ServiceState::kStopPending:
      Fill(status, nowMs);
      return Fail(error, ERROR_SERVICE_CANNOT_ACCEPT_CTRL);
    case ServiceState::kRunning:
      break;
  }
  if (control == SERVICE_CONTROL_STOP) {
    state_ = ServiceState::kStopPending;
    stop_due_ms_ = nowMs + stop_ms_;
    Settle(nowMs, spooler);  // a stop that takes no time is over at once
  } else if (control != SERVICE_CONTROL_INTERROGATE) {
    Fill(status, nowMs);
    return Fail(error, ERROR_INVALID_SERVICE_CONTROL);
  }
  Fill(status, nowMs);
  return true;
}

bool ServiceManager::Start(SC_HANDLE service, std::int64_t nowMs, Spooler& spooler,
                           DWORD* error) {
  const Handle* handle = Find(service, false);
  if (!handle) return Fail(error, ERROR_INVALID_HANDLE);
  if (!(handle->access & SERVICE_START)) return Fail(error, ERROR_ACCESS_DENIED);
  Settle(nowMs, spooler);
  // While stopping, the service's process is still alive: it counts as running.
  if (state_ != ServiceState::kStopped) return Fail(error, ERROR_SERVICE_ALREADY_RUNNING);
  state_ = ServiceState::kRunning;
  spooler.OnSpoolerStarted();
  return true;
}

bool ServiceManager::Query(SC_HANDLE service, SERVICE_STATUS* status, std::int64_t nowMs,
                           Spooler& spooler, DWORD nullStatusError, DWORD* error) {
  const Handle* handle = Find(service, false);
  if (!handle) return Fail(error, ERROR_INVALID_HANDLE);
  if (!status) return Fail(error, nullStatusError);
  if (!(handle->access & SERVICE_QUERY_STATUS)) return Fail(error, ERROR_ACCESS_DENIED);
  Settle(nowMs, spooler);
  Fill(status, nowMs);
  return true;
}

bool ServiceManager::Close(SC_HANDLE handle, DWORD* error) {
  if (handles_.erase(static_cast<std::uintptr_t>(handle)) == 0) {
    return Fail(error, ERROR_INVALID_HANDLE);
  }
  return true;
}

std::string ServiceManager::ServiceNameOf(SC_HANDLE handle) const {
  return Find(handle, false) ? kSpooler : "";
}

ServiceState ServiceManager::SpoolerState(std::int64_t nowMs) const {
  if (state_ == ServiceState::kStopPending && nowMs >= stop_due_ms_) {
    return ServiceState::kStopped;
  }
  return state_;
}

void ServiceManager::Settle(std::int64_t nowMs, Spooler& spooler) {
  if (state_ == ServiceState::kStopPending && nowMs >= stop_due_ms_) {
    state_ = ServiceState::kStopped;
    spooler.OnSpoolerStopped();
  }
}

void ServiceManager::StopSpoolerNow(Spooler& spooler) {
  if (state_ == ServiceState::kStopped) return;
  state_ = ServiceState::kStopped;
  spooler.OnSpoolerStopped();
}

void ServiceManager::StartSpoolerNow(Spooler& spooler) {
  if (state_ == ServiceState::kRunning) return;
  StopSpoolerNow(spooler);  // a stopping process ends first
  state_ = ServiceState::kRunning;
  spooler.OnSpoolerStarted();
}

void ServiceManager::ShutDown(Spooler& spooler) {
  state_ = ServiceState::kStopped;
  spooler.OnSpoolerStopped();
}

void ServiceManager::Restore(ServiceState state, std::int64_t stopDueMs) {
  state_ = state;
  stop_due_ms_ = stopDueMs;
}

const ServiceManager::Handle* ServiceManager::Find(SC_HANDLE handle, bool manager) const {
  auto it = handles_.find(static_cast<std::uintptr_t>(handle));
  if (it == handles_.end() || it->second.manager != manager) return nullptr;
  return &it->second;
}

SC_HANDLE ServiceManager::Add(bool manager, DWORD access) {
  std::uintptr_t value = next_handle_;
  next_handle_ += 8;
  handles_[value] = Handle{manager, access};
  return SC_HANDLE{value};
}

void ServiceManager::Fill(SERVICE_STATUS* status, std::int64_t nowMs) const {
  if (!status) return;
  ServiceState state = SpoolerState(nowMs);
  *status = SERVICE_STATUS{};
  status->dwServiceType = SERVICE_WIN32_OWN_PROCESS | SERVICE_INTERACTIVE_PROCESS;
  switch (state) {
    case ServiceState::kRunning:
      status->dwCurrentState = SERVICE_RUNNING;
      status->dwControlsAccepted = SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN;
      break;
    case ServiceState::kStopPending:
      status->dwCurrentState = SERVICE_STOP_PENDING;
      status->dwCheckPoint = 1;
      status->dwWaitHint = static_cast<DWORD>(stop_due_ms_ - nowMs);
      break;
    case ServiceState::kStopped:
      status->dwCurrentState = SERVICE_STOPPED;
      break;
  }
}

}  // namespace orvane::winsim
