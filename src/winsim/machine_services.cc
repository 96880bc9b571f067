// The service manager, not modelled yet: every call fails.
#include "winsim/machine.h"

namespace orvane::winsim {

using namespace orvane::win;

namespace {
constexpr DWORD ERROR_CALL_NOT_IMPLEMENTED = 120;
}  // namespace

SC_HANDLE Machine::OpenSCManagerA(const char*, const char*, DWORD) {
  last_error_ = ERROR_CALL_NOT_IMPLEMENTED;
  return kNullServiceHandle;
}

SC_HANDLE Machine::OpenServiceA(SC_HANDLE, const char*, DWORD) {
  last_error_ = ERROR_INVALID_HANDLE;
  return kNullServiceHandle;
}

BOOL Machine::ControlService(SC_HANDLE, DWORD, SERVICE_STATUS*) {
  last_error_ = ERROR_INVALID_HANDLE;
  return FALSE;
}

BOOL Machine::StartServiceA(SC_HANDLE, DWORD, const char**) {
  last_error_ = ERROR_INVALID_HANDLE;
  return FALSE;
}

BOOL Machine::CloseServiceHandle(SC_HANDLE) {
  last_error_ = ERROR_INVALID_HANDLE;
  return FALSE;
}

}  // namespace orvane::winsim
