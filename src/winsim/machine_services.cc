// The service manager (not modelled yet: every call fails), the shell
// notification, the window broadcast and the restart of the machine.
#include <cstdio>

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

void Machine::SHChangeNotify(LONG eventId, UINT flags, const void* item1,
                             const void* item2) {
  char event[16];
  std::snprintf(event, sizeof event, "0x%x", static_cast<unsigned>(eventId));
  Journal("shchangenotify", {event, std::to_string(flags), item1 ? "item" : "null",
                             item2 ? "item" : "null"});
}

LRESULT Machine::SendMessageA(HWND window, UINT message, WPARAM wParam,
                              LPARAM lParam) {
  char target[24];
  char msg[16];
  std::snprintf(target, sizeof target, "0x%llx",
                static_cast<unsigned long long>(window));
  std::snprintf(msg, sizeof msg, "0x%x", message);
  std::string text =
      message == WM_SETTINGCHANGE && lParam ? reinterpret_cast<const char*>(lParam) : "";
  if (Fails("SendMessageA", text)) {
    Journal("sendmessage", {target, msg, std::to_string(wParam), text, "failed"});
    return 0;
  }
  Journal("sendmessage", {target, msg, std::to_string(wParam), text});
  return 0;
}

void Machine::Reboot() {
  files_.ReleaseAll();
  Journal("reboot", {});
}

}  // namespace orvane::winsim
