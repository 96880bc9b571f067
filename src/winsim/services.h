// The simulated service control manager of the NT family and its one service
// that matters here, "Spooler". (Windows 95/98/ME have no service manager: the
// Machine answers those calls itself.)
//
// Rules kept, as Windows answers them (Wine's advapi32 service tests; MS docs of
// OpenSCManager, OpenService, ControlService, StartService, "Service Security
// and Access Rights"):
// - OpenSCManagerA: a null or empty machine name is the local machine; any
//   other name is a machine the simulator cannot reach (RPC_S_SERVER_UNAVAILABLE).
//   Database null or "ServicesActive"; "ServicesFailed" gives 1065, any other
//   name 123. SC_MANAGER_CONNECT is always implied, so access 0 succeeds.
// - Rights: an administrator is granted what he asks for. Anybody else has the
//   default rights of an interactive user: on the manager CONNECT,
//   ENUMERATE_SERVICE, QUERY_LOCK_STATUS and READ_CONTROL; on the Spooler
//   QUERY_CONFIG, QUERY_STATUS, ENUMERATE_DEPENDENTS, INTERROGATE,
//   USER_DEFINED_CONTROL and READ_CONTROL. Generic rights are mapped first
//   (GENERIC_READ on the manager is within the user's rights; SC_MANAGER_ALL_ACCESS
//   and SERVICE_START | SERVICE_STOP are not). Asking for more fails the open
//   with ERROR_ACCESS_DENIED; handles carry the rights they were granted.
// - OpenServiceA: a null name 487 (NT 4: 87); a name other than "Spooler"
//   (compared without regard to case; the display name does not count) 1060.
// - A null, closed or unknown handle, or one of the wrong kind: 6.
// - ControlService: a null status record 1780, an undefined control 87, then
//   the handle's right for that control (STOP needs SERVICE_STOP) 5, then the
//   state: STOPPED 1062, STOP_PENDING 1061, RUNNING accepts STOP and
//   INTERROGATE and refuses the others with 1052. The status record is filled
//   on success and with 1052, 1061 and 1062, and left alone otherwise.
// - The Spooler's stop takes `stop_ms` of virtual time (default 200): STOP on a
//   running spooler succeeds with STOP_PENDING, and the service is STOPPED once
//   that time has passed. StartServiceA needs SERVICE_START (5); it fails with
//   1056 while the service runs or is still stopping (its process is alive) and
//   on a stopped one succeeds with the service RUNNING at once.
// - QueryServiceStatus: the handle (6), a null record (2000/XP 487, NT 4 87),
//   then SERVICE_QUERY_STATUS (5); the record as ControlService fills it.
//
// The state is a function of virtual time: a pending stop is complete as soon as
// its deadline is reached, whoever asks. Settle() is where the spooler learns of
// it (OnSpoolerStopped): every service call settles first, and so should anyone
// who advances the clock.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "platform/win32_types.h"

namespace orvane::winsim {

class Spooler;

enum class ServiceState { kRunning, kStopPending, kStopped };

// "running", "stop_pending", "stopped" (the form kept in machine.ini).
const char* ServiceStateName(ServiceState state);
std::optional<ServiceState> ParseServiceState(std::string_view text);

class ServiceManager {
 public:
  static constexpr std::int64_t kDefaultStopMs = 200;

  // --- The calls. Each returns its result and puts Windows' error code in
  // *error on failure (untouched on success). `nowMs` is the virtual clock;
  // `spooler` hears of the Spooler's stops and starts. A null service name
  // fails with `nullNameError` (the code differs between versions).
  win::SC_HANDLE OpenManager(const char* machineName, const char* databaseName,
                             win::DWORD desiredAccess, bool administrator,
                             win::DWORD* error);
  win::SC_HANDLE OpenService(win::SC_HANDLE manager, const char* serviceName,
                             win::DWORD desiredAccess, bool administrator,
                             win::DWORD nullNameError, win::DWORD* error);
  bool Control(win::SC_HANDLE service, win::DWORD control, win::SERVICE_STATUS* status,
               std::int64_t nowMs, Spooler& spooler, win::DWORD* error);
  bool Start(win::SC_HANDLE service, std::int64_t nowMs, Spooler& spooler,
             win::DWORD* error);
  // A null record fails with `nullStatusError` (the code differs between
  // versions), after the handle and before its SERVICE_QUERY_STATUS right.
  bool Query(win::SC_HANDLE service, win::SERVICE_STATUS* status, std::int64_t nowMs,
             Spooler& spooler, win::DWORD nullStatusError, win::DWORD* error);
  bool Close(win::SC_HANDLE handle, win::DWORD* error);
  // The service a handle names ("Spooler"), empty for a manager or unknown one.
  std::string ServiceNameOf(win::SC_HANDLE handle) const;

  // --- The Spooler's state at `nowMs`.
  ServiceState SpoolerState(std::int64_t nowMs) const;
  // Whether the spooler answers calls at this moment: only while RUNNING (a
  // stopping spooler has already closed its RPC interface).
  bool SpoolerRunning(std::int64_t nowMs) const {
    return SpoolerState(nowMs) == ServiceState::kRunning;
  }
  // Completes a stop whose time has come and tells the spooler.
  void Settle(std::int64_t nowMs, Spooler& spooler);

  // --- Direct control for the tool, the reboot and tests (no rights checked).
  // Stops at once (telling the spooler if it was running or stopping).
  void StopSpoolerNow(Spooler& spooler);
  // Starts at once if stopped or stopping (telling the spooler).
  void StartSpoolerNow(Spooler& spooler);
  // The machine goes down: the service's process ends whatever its state, and
  // the spooler is told even if it had stopped already. StartSpoolerNow brings
  // it up again.
  void ShutDown(Spooler& spooler);

  // How long a stop takes, in virtual milliseconds. A long one is the "slow
  // stop" fault: a start requested before it ends fails with 1056.
  void SetSpoolerStopMs(std::int64_t ms) { stop_ms_ = ms < 0 ? 0 : ms; }
  std::int64_t spooler_stop_ms() const { return stop_ms_; }

  // --- Persistence: the state and, while stopping, the moment the stop ends.
  std::optional<std::int64_t> spooler_stop_due_ms() const {
    return state_ == ServiceState::kStopPending ? std::optional(stop_due_ms_)
                                                : std::nullopt;
  }
  // Restores a saved state without telling the spooler (its own state was
  // saved with it). `stopDueMs` matters only for kStopPending.
  void Restore(ServiceState state, std::int64_t stopDueMs);

  // Service and manager handles opened and not yet closed.
  std::size_t OpenHandleCount() const { return handles_.size(); }

 private:
  struct Handle {
    bool manager;
    win::DWORD access;
  };
  const Handle* Find(win::SC_HANDLE handle, bool manager) const;
  win::SC_HANDLE Add(bool manager, win::DWORD access);
  void Fill(win::SERVICE_STATUS* status, std::int64_t nowMs) const;

  ServiceState state_ = ServiceState::kRunning;
  std::int64_t stop_due_ms_ = 0;
  std::int64_t stop_ms_ = kDefaultStopMs;
  std::map<std::uintptr_t, Handle> handles_;
  std::uintptr_t next_handle_ = 0x5C0010;
};

}  // namespace orvane::winsim
