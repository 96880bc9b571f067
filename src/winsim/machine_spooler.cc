// The spooler calls as a program makes them: what winspool.drv checks on the
// client side before it calls the server (levels, null pointers), then armed
// faults (each named by its call, the subject being the monitor, driver or
// printer name), then the Spooler, which models the server. The result
// becomes the last-error value; a success leaves that value alone, except
// AddMonitorA, which sets 0.
#include <cstring>

#include "winsim/machine.h"

namespace orvane::winsim {

using namespace orvane::win;

namespace {

constexpr DWORD kPortInfo1Size = 4;  // PORT_INFO_1A: pName

// This machine has no network: any server name but the local one is refused.
bool IsLocal(const char* server) { return server == nullptr || *server == '\0'; }

std::string Text(const char* text) { return text ? text : ""; }

// Windows 95/98/ME keep no user rights: whoever runs a program there may
// change the spooler, whatever the machine says of administrators.
SpoolerCall CallOf(const Machine& machine) {
  return {machine.services().SpoolerRunning(machine.now_ms()),
          machine.administrator() || !machine.profile().nt_family};
}

// A DRIVER_INFO_3A is the first part of a DRIVER_INFO_6A.
DRIVER_INFO_6A Widen(const DRIVER_INFO_3A& d) {
  DRIVER_INFO_6A wide;
  wide.cVersion = d.cVersion;
  wide.pName = d.pName;
  wide.pEnvironment = d.pEnvironment;
  wide.pDriverPath = d.pDriverPath;
  wide.pDataFile = d.pDataFile;
  wide.pConfigFile = d.pConfigFile;
  wide.pHelpFile = d.pHelpFile;
  wide.pDependentFiles = d.pDependentFiles;
  wide.pMonitorName = d.pMonitorName;
  wide.pDefaultDataType = d.pDefaultDataType;
  return wide;
}

// The end of a listing: *needed is the whole size; a buffer too small gets
// ERROR_INSUFFICIENT_BUFFER with *returned 0, otherwise the entries.
template <typename Entry>
DWORD HandOverListing(std::vector<Entry>& found, DWORD size, DWORD bufferSize,
                      DWORD* needed, DWORD* returned, std::vector<Entry>* entries) {
  *needed = size;
  *returned = 0;
  if (size > bufferSize) return ERROR_INSUFFICIENT_BUFFER;
  *returned = static_cast<DWORD>(found.size());
  if (entries) *entries = std::move(found);
  return 0;
}

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
  if (Fails("GetPrinterDriverDirectoryA", Text(environment))) return FALSE;
  std::string dir;
  if (DWORD error =
          spooler_.GetPrinterDriverDirectory(CallOf(*this), environment, &dir)) {
    last_error_ = error;
    return FALSE;
  }
  *needed = static_cast<DWORD>(dir.size() + 1);
  if (buffer.size() < dir.size() + 1) {
    last_error_ = ERROR_INSUFFICIENT_BUFFER;
    return FALSE;
  }
  std::memcpy(buffer.data(), dir.c_str(), dir.size() + 1);
  return TRUE;
}

// The size counts the packed 32-bit records and the ANSI strings. A buffer too
// small: ERROR_INSUFFICIENT_BUFFER, *needed the whole size, *returned 0.
BOOL Machine::EnumMonitorsA(const char* name, DWORD level, DWORD bufferSize,
                            DWORD* needed, DWORD* returned,
                            std::vector<MonitorInfo1>* entries) {
  // Level 2 is Windows' too, but this interface carries level-1 records only.
  if (level != 1) {
    if (!profile_->nt_family && (level == 0 || level > 2) && needed && returned) {
      *needed = 0;  // 9x: an unknown level lists nothing and succeeds
      *returned = 0;
      return TRUE;
    }
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
  if (DWORD error = spooler_.EnumMonitors(CallOf(*this), &found)) {
    last_error_ = error;
    return FALSE;
  }
  DWORD size = 0;
  for (const MonitorInfo1& m : found) {
    size += kMonitorInfo1Size + static_cast<DWORD>(m.pName.size() + 1);
  }
  if (DWORD error = HandOverListing(found, size, bufferSize, needed, returned, entries)) {
    last_error_ = error;
    return FALSE;
  }
  return TRUE;
}

// Levels 1 and 2; at level 1 only pPortName counts towards the size.
BOOL Machine::EnumPortsA(const char* name, DWORD level, DWORD bufferSize, DWORD* needed,
                         DWORD* returned, std::vector<PortInfo2>* entries) {
  if (level != 1 && level != 2) {
    if (!profile_->nt_family && needed && returned) {
      *needed = 0;  // 9x: an unknown level lists nothing and succeeds
      *returned = 0;
      return TRUE;
    }
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
  if (DWORD error = spooler_.EnumPorts(CallOf(*this), &found)) {
    last_error_ = error;
    return FALSE;
  }
  DWORD size = 0;
  for (PortInfo2& p : found) {
    if (level == 1) {
      p.pMonitorName.clear();
      p.pDescription.clear();
      p.fPortType = 0;
      size += kPortInfo1Size + static_cast<DWORD>(p.pPortName.size() + 1);
    } else {
      size += kPortInfo2Size +
              static_cast<DWORD>(p.pPortName.size() + 1 + p.pMonitorName.size() + 1 +
                                 p.pDescription.size() + 1);
    }
  }
  if (DWORD error = HandOverListing(found, size, bufferSize, needed, returned, entries)) {
    last_error_ = error;
    return FALSE;
  }
  return TRUE;
}

// Local printers only: this machine has no network, so PRINTER_ENUM_NAME
// lists them for the local name and refuses any other; flags without LOCAL or
// NAME (connections, network) list nothing. The size counts each printer's
// record, its strings and its default DEVMODE.
BOOL Machine::EnumPrintersA(DWORD flags, const char* name, DWORD level, DWORD bufferSize,
                            DWORD* needed, DWORD* returned,
                            std::vector<PrinterInfo2>* entries) {
  // Levels 1, 4 and 5 are Windows' too, but this interface carries level 2 only.
  if (level != 2) {
    last_error_ = ERROR_INVALID_LEVEL;
    return FALSE;
  }
  if (!needed || !returned) {
    last_error_ = RPC_X_NULL_REF_POINTER;
    return FALSE;
  }
  const bool local = (flags & PRINTER_ENUM_LOCAL) != 0;
  if (!local && (flags & PRINTER_ENUM_NAME) && !IsLocal(name)) {
    last_error_ = ERROR_INVALID_NAME;  // unverified: a server it cannot reach
    return FALSE;
  }
  if (Fails("EnumPrintersA", "")) return FALSE;
  std::vector<PrinterInfo2> found;
  DWORD size = 0;
  if (local || (flags & PRINTER_ENUM_NAME)) {
    if (DWORD error = spooler_.EnumPrinters(CallOf(*this), &found, &size)) {
      last_error_ = error;
      return FALSE;
    }
  }
  for (const PrinterInfo2& p : found) {
    size += kPrinterInfo2Size;
    for (const std::string* text :
         {&p.pServerName, &p.pPrinterName, &p.pShareName, &p.pPortName, &p.pDriverName,
          &p.pComment, &p.pLocation, &p.pSepFile, &p.pPrintProcessor, &p.pDatatype,
          &p.pParameters}) {
      if (!text->empty()) size += static_cast<DWORD>(text->size() + 1);
    }
  }
  if (DWORD error = HandOverListing(found, size, bufferSize, needed, returned, entries)) {
    last_error_ = error;
    return FALSE;
  }
  return TRUE;
}

// The size counts each record, its strings and its dependent-file list.
BOOL Machine::EnumPrinterDriversA(const char* name, const char* environment, DWORD level,
                                  DWORD bufferSize, DWORD* needed, DWORD* returned,
                                  std::vector<DriverInfo3>* entries) {
  // Levels 1 to 6 are Windows' too, but this interface carries level 3 only.
  if (level != 3) {
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
  if (Fails("EnumPrinterDriversA", Text(environment))) return FALSE;
  std::vector<DriverInfo3> found;
  if (DWORD error = spooler_.EnumPrinterDrivers(CallOf(*this), environment, &found)) {
    last_error_ = error;
    return FALSE;
  }
  DWORD size = 0;
  for (const DriverInfo3& d : found) {
    size += kDriverInfo3Size + 1;  // the dependent-file list's closing NUL
    for (const std::string* text :
         {&d.pName, &d.pEnvironment, &d.pDriverPath, &d.pDataFile, &d.pConfigFile,
          &d.pHelpFile, &d.pMonitorName, &d.pDefaultDataType}) {
      size += static_cast<DWORD>(text->size() + 1);
    }
    for (const std::string& file : d.pDependentFiles) {
      size += static_cast<DWORD>(file.size() + 1);
    }
  }
  if (DWORD error = HandOverListing(found, size, bufferSize, needed, returned, entries)) {
    last_error_ = error;
    return FALSE;
  }
  return TRUE;
}

BOOL Machine::AddMonitorA(const char* name, DWORD level, const MONITOR_INFO_2A* monitor) {
  if (level != 2) {
    last_error_ = ERROR_INVALID_LEVEL;
    return FALSE;
  }
  if (!monitor) return FALSE;  // NT leaves the last-error value as it was
  if (!IsLocal(name)) {
    last_error_ = ERROR_ACCESS_DENIED;  // a remote server (Wine's localspl)
    return FALSE;
  }
  std::string subject = Text(monitor->pName);
  if (Fails("AddMonitorA", subject)) return FALSE;
  if (DWORD error = spooler_.AddMonitor(CallOf(*this), *monitor)) {
    last_error_ = error;
    return FALSE;
  }
  last_error_ = ERROR_SUCCESS;  // AddMonitor clears the value on success
  LeaveStale("AddMonitorA", subject);
  return TRUE;
}

BOOL Machine::DeleteMonitorA(const char* name, const char* environment,
                             const char* monitorName) {
  if (!IsLocal(name)) {
    last_error_ = ERROR_INVALID_PARAMETER;
    return FALSE;
  }
  std::string subject = Text(monitorName);
  if (Fails("DeleteMonitorA", subject)) return FALSE;
  if (DWORD error = spooler_.DeleteMonitor(CallOf(*this), environment, monitorName)) {
    last_error_ = error;
    return FALSE;
  }
  LeaveStale("DeleteMonitorA", subject);
  return TRUE;
}

BOOL Machine::AddPrinterDriverA(const char* name, DWORD level,
                                const DRIVER_INFO_3A* driver) {
  if (!driver || !spooler_.KnowsDriverLevel(level)) {
    return AddPrinterDriverA(name, level, static_cast<const DRIVER_INFO_6A*>(nullptr));
  }
  // Fields of a higher level than the record holds count as absent.
  DRIVER_INFO_6A wide = Widen(*driver);
  return AddPrinterDriverA(name, level, &wide);
}

BOOL Machine::AddPrinterDriverA(const char* name, DWORD level,
                                const DRIVER_INFO_6A* driver) {
  // The client marshals only the levels its Windows knows.
  if (!spooler_.KnowsDriverLevel(level)) {
    last_error_ = ERROR_INVALID_LEVEL;
    return FALSE;
  }
  if (!driver || !IsLocal(name)) {
    last_error_ = ERROR_INVALID_PARAMETER;
    return FALSE;
  }
  std::string subject = Text(driver->pName);
  if (Fails("AddPrinterDriverA", subject)) return FALSE;
  if (DWORD error = spooler_.AddPrinterDriver(CallOf(*this), level, *driver)) {
    last_error_ = error;
    return FALSE;
  }
  LeaveStale("AddPrinterDriverA", subject);
  return TRUE;
}

BOOL Machine::DeletePrinterDriverA(const char* name, const char* environment,
                                   const char* driverName) {
  if (!driverName) {
    last_error_ = RPC_X_NULL_REF_POINTER;  // a required string of the RPC
    return FALSE;
  }
  if (!IsLocal(name)) {
    last_error_ = ERROR_INVALID_PARAMETER;
    return FALSE;
  }
  if (Fails("DeletePrinterDriverA", driverName)) return FALSE;
  if (DWORD error =
          spooler_.DeletePrinterDriver(CallOf(*this), environment, driverName)) {
    last_error_ = error;
    return FALSE;
  }
  LeaveStale("DeletePrinterDriverA", driverName);
  return TRUE;
}

HANDLE Machine::AddPrinterA(const char* name, DWORD level,
                            const PRINTER_INFO_2A* printer) {
  if (!IsLocal(name)) {
    last_error_ = ERROR_INVALID_PARAMETER;
    return kNullHandle;
  }
  if (level != 2) {
    last_error_ = ERROR_INVALID_LEVEL;
    return kNullHandle;
  }
  if (!printer) {
    last_error_ = ERROR_INVALID_PARAMETER;
    return kNullHandle;
  }
  std::string subject = Text(printer->pPrinterName);
  if (Fails("AddPrinterA", subject)) return kNullHandle;
  HANDLE handle = kNullHandle;
  if (DWORD error = spooler_.AddPrinter(CallOf(*this), *printer, &handle)) {
    last_error_ = error;
    return kNullHandle;
  }
  LeaveStale("AddPrinterA", subject);
  return handle;
}

BOOL Machine::OpenPrinterA(const char* printerName, HANDLE* printer,
                           const PRINTER_DEFAULTSA* defaults) {
  if (!printer) {
    last_error_ = ERROR_INVALID_PARAMETER;
    return FALSE;
  }
  *printer = kNullHandle;
  std::string subject = Text(printerName);
  if (Fails("OpenPrinterA", subject)) return FALSE;
  DWORD access = defaults ? defaults->DesiredAccess : 0;
  if (DWORD error = spooler_.OpenPrinter(CallOf(*this), printerName, access, printer)) {
    last_error_ = error;
    return FALSE;
  }
  LeaveStale("OpenPrinterA", subject);
  return TRUE;
}

// A printer that cannot be deleted is the fault "DeletePrinter" (for example
// with ERROR_ACCESS_DENIED).
BOOL Machine::DeletePrinter(HANDLE printer) {
  if (!spooler_.IsOpenHandle(printer)) {
    last_error_ = ERROR_INVALID_HANDLE;
    return FALSE;
  }
  std::string subject = spooler_.PrinterOf(printer);
  if (Fails("DeletePrinter", subject)) return FALSE;
  if (DWORD error = spooler_.DeletePrinter(CallOf(*this), printer)) {
    last_error_ = error;
    return FALSE;
  }
  LeaveStale("DeletePrinter", subject);
  return TRUE;
}

// The fault "ClosePrinter" fails the call; the handle is gone all the same.
BOOL Machine::ClosePrinter(HANDLE printer) {
  if (printer == kNullHandle) {
    last_error_ = ERROR_INVALID_HANDLE;
    return FALSE;
  }
  std::string subject = spooler_.PrinterOf(printer);
  bool fails = spooler_.IsOpenHandle(printer) && Fails("ClosePrinter", subject);
  if (DWORD error = spooler_.ClosePrinter(CallOf(*this), printer)) {
    last_error_ = error;
    return FALSE;
  }
  return fails ? FALSE : TRUE;
}

}  // namespace orvane::winsim
