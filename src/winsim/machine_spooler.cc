// The print spooler, as far as it is modelled yet:
// the printer-driver folder and the listings of monitors and ports, read from
// the registry keys where Windows keeps them. Calls that change the spooler are
// not modelled yet and fail with ERROR_CALL_NOT_IMPLEMENTED.
#include <cstring>

#include "winsim/machine.h"

namespace orvane::winsim {

using namespace orvane::win;

namespace {

constexpr DWORD ERROR_CALL_NOT_IMPLEMENTED = 120;
constexpr std::string_view kMonitorsKey =
    "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors";
constexpr std::string_view kLocalPortsKey =
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Ports";

bool IsLocal(const char* server) { return server == nullptr || *server == '\0'; }

}  // namespace

BOOL Machine::GetPrinterDriverDirectoryA(const char* name, const char* environment,
                                         DWORD level, std::span<char> buffer,
                                         DWORD* needed) {
  if (level != 1) {
    last_error_ = ERROR_INVALID_LEVEL;
    return FALSE;
  }
  if (!needed) {
    last_error_ = RPC_X_NULL_REF_POINTER;
    return FALSE;
  }
  if (!IsLocal(name)) {
    last_error_ = ERROR_INVALID_PARAMETER;
    return FALSE;
  }
  if (Fails("GetPrinterDriverDirectoryA", environment ? environment : "")) return FALSE;
  if (environment && *environment && strcasecmp(environment, profile_->environment) != 0) {
    last_error_ = ERROR_INVALID_ENVIRONMENT;
    return FALSE;
  }
  std::string dir = profile_->driver_dir;
  *needed = static_cast<DWORD>(dir.size() + 1);
  if (buffer.size() < dir.size() + 1) {
    last_error_ = ERROR_INSUFFICIENT_BUFFER;
    return FALSE;
  }
  std::memcpy(buffer.data(), dir.c_str(), dir.size() + 1);
  return TRUE;
}

// Every subkey of Monitors with a "Driver" value, in the registry's order. The
// size counts the packed 32-bit records and the ANSI strings.
BOOL Machine::EnumMonitorsA(const char* name, DWORD level, DWORD bufferSize,
                            DWORD* needed, DWORD* returned,
                            std::vector<MonitorInfo1>* entries) {
  if (level != 1) {
    last_error_ = ERROR_INVALID_LEVEL;
    return FALSE;
  }
  if (!needed || !returned) {
    last_error_ = RPC_X_NULL_REF_POINTER;
    return FALSE;
  }
  if (!IsLocal(name)) {
    last_error_ = ERROR_INVALID_PARAMETER;
    return FALSE;
  }
  if (Fails("EnumMonitorsA", "")) return FALSE;
  std::vector<MonitorInfo1> found;
  DWORD size = 0;
  for (const std::string& monitor : registry_.SubkeyNames(kMonitorsKey)) {
    if (!registry_.GetValue(std::string(kMonitorsKey) + "\\" + monitor, "Driver")) continue;
    found.push_back({monitor});
    size += kMonitorInfo1Size + static_cast<DWORD>(monitor.size() + 1);
  }
  *needed = size;
  *returned = 0;
  if (size > bufferSize) {
    last_error_ = ERROR_INSUFFICIENT_BUFFER;
    return FALSE;
  }
  *returned = static_cast<DWORD>(found.size());
  if (entries) *entries = std::move(found);
  return TRUE;
}

// The local ports first (the value names of ...\Windows NT\CurrentVersion\Ports),
// then each monitor's ports (the subkeys of its "Ports" key), monitors in order.
BOOL Machine::EnumPortsA(const char* name, DWORD level, DWORD bufferSize,
                         DWORD* needed, DWORD* returned,
                         std::vector<PortInfo2>* entries) {
  if (level != 2) {
    last_error_ = ERROR_INVALID_LEVEL;
    return FALSE;
  }
  if (!needed || !returned) {
    last_error_ = RPC_X_NULL_REF_POINTER;
    return FALSE;
  }
  if (!IsLocal(name)) {
    last_error_ = ERROR_INVALID_PARAMETER;
    return FALSE;
  }
  if (Fails("EnumPortsA", "")) return FALSE;
  std::vector<PortInfo2> found;
  for (const RegValue& port : registry_.Values(kLocalPortsKey)) {
    found.push_back({port.name, "Local Port", "Local Port", PORT_TYPE_WRITE, 0});
  }
  for (const std::string& monitor : registry_.SubkeyNames(kMonitorsKey)) {
    std::string key = std::string(kMonitorsKey) + "\\" + monitor;
    if (monitor == "Local Port" || !registry_.GetValue(key, "Driver")) continue;
    for (const std::string& port : registry_.SubkeyNames(key + "\\Ports")) {
      auto description = registry_.GetValue(key + "\\Ports\\" + port, "Description");
      std::string text = description ? std::string(description->data.begin(),
                                                   description->data.end())
                                     : std::string();
      found.push_back({port, monitor, text.substr(0, text.find('\0')), PORT_TYPE_WRITE, 0});
    }
  }
  DWORD size = 0;
  for (const PortInfo2& p : found) {
    size += kPortInfo2Size + static_cast<DWORD>(p.pPortName.size() + 1 +
                                                p.pMonitorName.size() + 1 +
                                                p.pDescription.size() + 1);
  }
  *needed = size;
  *returned = 0;
  if (size > bufferSize) {
    last_error_ = ERROR_INSUFFICIENT_BUFFER;
    return FALSE;
  }
  *returned = static_cast<DWORD>(found.size());
  if (entries) *entries = std::move(found);
  return TRUE;
}

BOOL Machine::AddMonitorA(const char*, DWORD, const MONITOR_INFO_2A*) {
  last_error_ = ERROR_CALL_NOT_IMPLEMENTED;
  return FALSE;
}

BOOL Machine::DeleteMonitorA(const char*, const char*, const char*) {
  last_error_ = ERROR_CALL_NOT_IMPLEMENTED;
  return FALSE;
}

BOOL Machine::AddPrinterDriverA(const char*, DWORD, const DRIVER_INFO_3A*) {
  last_error_ = ERROR_CALL_NOT_IMPLEMENTED;
  return FALSE;
}

BOOL Machine::AddPrinterDriverA(const char*, DWORD, const DRIVER_INFO_6A*) {
  last_error_ = ERROR_CALL_NOT_IMPLEMENTED;
  return FALSE;
}

BOOL Machine::DeletePrinterDriverA(const char*, const char*, const char*) {
  last_error_ = ERROR_CALL_NOT_IMPLEMENTED;
  return FALSE;
}

HANDLE Machine::AddPrinterA(const char*, DWORD, const PRINTER_INFO_2A*) {
  last_error_ = ERROR_CALL_NOT_IMPLEMENTED;
  return kNullHandle;
}

BOOL Machine::OpenPrinterA(const char*, HANDLE* printer, const PRINTER_DEFAULTSA*) {
  if (printer) *printer = kNullHandle;
  last_error_ = ERROR_CALL_NOT_IMPLEMENTED;
  return FALSE;
}

BOOL Machine::DeletePrinter(HANDLE) {
  last_error_ = ERROR_INVALID_HANDLE;
  return FALSE;
}

BOOL Machine::ClosePrinter(HANDLE) {
  last_error_ = ERROR_INVALID_HANDLE;
  return FALSE;
}

}  // namespace orvane::winsim
