#include "system/service_control.h"

namespace orvane {
namespace {

constexpr char kSpoolerService[] = "Spooler";
constexpr win::DWORD kPauseMs = 500;
// Further start requests while an accepted stop completes: 10 s at most.
constexpr int kStartRetries = 20;

// Owns one service-manager or service handle; a null handle is not closed.
class ScopedServiceHandle {
 public:
  ScopedServiceHandle(Platform& platform, win::SC_HANDLE handle)
      : platform_(platform), handle_(handle) {}
  ~ScopedServiceHandle() {
    if (handle_ != win::kNullServiceHandle) platform_.CloseServiceHandle(handle_);
  }
  ScopedServiceHandle(const ScopedServiceHandle&) = delete;
  ScopedServiceHandle& operator=(const ScopedServiceHandle&) = delete;

  win::SC_HANDLE get() const { return handle_; }

 private:
  Platform& platform_;
  win::SC_HANDLE handle_;
};

}  // namespace

win::BOOL RestartSpooler(Platform& platform) {
  ScopedServiceHandle manager(
      platform, platform.OpenSCManagerA(nullptr, nullptr, win::SC_MANAGER_ALL_ACCESS));
  // With a null manager this fails with ERROR_INVALID_HANDLE, and the calls
  // below fail the same way on the null service handle: nothing is tested.
  ScopedServiceHandle service(
      platform, platform.OpenServiceA(manager.get(), kSpoolerService,
                                      win::SERVICE_START | win::SERVICE_STOP));
  win::SERVICE_STATUS status;  // all zero: a call that fails early leaves it so
  const win::BOOL accepted =
      platform.ControlService(service.get(), win::SERVICE_CONTROL_STOP, &status);
  static_cast<void>(platform.GetLastError());  // read, and dropped
  // A stop asked for earlier may still be under way (a restart before this
  // one gave up on it): the manager then refuses this one with
  // ERROR_SERVICE_CANNOT_ACCEPT_CTRL and reports STOP_PENDING in the record,
  // which it fills on that refusal too (MS: ControlService). That stop ends
  // with the spooler stopped just the same, so it is waited for alike.
  const bool stopping =
      accepted != win::FALSE || status.dwCurrentState == win::SERVICE_STOP_PENDING;
  // The stop is asynchronous; it gets this long before the start request.
  platform.Sleep(kPauseMs);
  win::BOOL started = platform.StartServiceA(service.get(), 0, nullptr);
  // A spooler that accepted the stop but is still stopping refuses the start
  // with ERROR_SERVICE_ALREADY_RUNNING. Giving up then would leave it stopped
  // for good, and every printer of the machine with it: ask again, a bounded
  // number of times, while the stop completes.
  for (int retry = 0; stopping && !started && retry < kStartRetries &&
                      platform.GetLastError() == win::ERROR_SERVICE_ALREADY_RUNNING;
       ++retry) {
    platform.Sleep(kPauseMs);
    started = platform.StartServiceA(service.get(), 0, nullptr);
  }
  platform.Sleep(kPauseMs);
  return started;
}

}  // namespace orvane
