// The simulated print spooler: the server side (spoolsv.exe and its local
// print provider) of the spooler calls. Monitors, drivers, print processors
// and printers live in the registry keys where Windows keeps them, so that a
// program's direct registry edits really change what the spooler sees:
//
//   under HKLM\SYSTEM\CurrentControlSet\Control\Print:
//     Monitors\<monitor>                       "Driver" = the monitor DLL
//     Monitors\<monitor>\Ports\<port>          ports of a third-party monitor
//     Environments\<env>\Drivers\Version-<n>\<driver>   (NT family)
//     Environments\<env>\Drivers\<driver>               (Windows 95/98/ME)
//     Environments\<env>\Print Processors\<processor>
//     Printers\<printer>
//   HKLM\SOFTWARE\Microsoft\Windows NT\CurrentVersion\Ports   local ports
//
// A monitor is installed when its key has a "Driver" value, a driver when its
// key has a "Driver" value, a printer when its key holds "Name" and "Printer
// Driver" (a bare key, or one holding only data that a program wrote there, is
// no printer and does not block AddPrinter).
//
// Every call takes the caller's situation (SpoolerCall) and answers 0 or
// Windows' error code, checking in Windows' order: the service first
// (RPC_S_SERVER_UNAVAILABLE when it is stopped), then the caller's rights for
// the calls that change state (AddMonitor checks its arguments before them),
// then the arguments and the state. On failure nothing changes. The argument checks that winspool.drv makes on the client
// side (levels, null pointers) belong to the Machine, which calls this class
// only when they pass; so do faults and the last-error value.
//
// Monitor DLLs that the spooler has loaded are "in use" on the disk (deletion
// fails with ERROR_ACCESS_DENIED) until the spooler stops.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/win32_types.h"
#include "winsim/filesystem.h"
#include "winsim/registry.h"
#include "winsim/versions.h"

namespace orvane::winsim {

// The caller's situation at the moment of a call.
struct SpoolerCall {
  bool running = true;        // the Spooler service answers RPC calls
  bool administrator = true;  // the caller may change the spooler's state
};

class Spooler {
 public:
  Spooler(const VersionProfile& profile, Registry& registry, FileSystem& files)
      : profile_(profile), registry_(registry), files_(files) {}
  Spooler(const Spooler&) = delete;
  Spooler& operator=(const Spooler&) = delete;

  // --- What this Windows' winspool.drv accepts before it calls the server.

  // The AddPrinterDriver levels this Windows knows (95/98/ME: 2, 3; NT 3.51: 2;
  // NT 4: 2, 3; 2000/XP: 2, 3, 4, 6).
  bool KnowsDriverLevel(win::DWORD level) const;

  // --- The calls. Results are 0 or Windows' error code; out-values are set
  // only on success.

  // The printer-driver folder of an environment (null or "" = the native one).
  win::DWORD GetPrinterDriverDirectory(const SpoolerCall& call, const char* environment,
                                       std::string* directory) const;
  // Installed monitors, in the registry's subkey order.
  win::DWORD EnumMonitors(const SpoolerCall& call,
                          std::vector<win::MonitorInfo1>* monitors) const;
  // The local ports, then each other monitor's ports, monitors in order.
  win::DWORD EnumPorts(const SpoolerCall& call, std::vector<win::PortInfo2>* ports) const;
  // The printers, in the registry's subkey order, as their keys describe them
  // (pServerName empty: local). *devModeBytes is the size of their "Default
  // DevMode" values, which a PRINTER_INFO_2 listing carries too.
  win::DWORD EnumPrinters(const SpoolerCall& call, std::vector<win::PrinterInfo2>* printers,
                          win::DWORD* devModeBytes) const;
  // The drivers installed for an environment (null or "" = the native one),
  // every version of it, with their files as full paths in the folder that
  // holds them: the version folder on an NT server, the driver folder on
  // Windows 95/98/ME.
  win::DWORD EnumPrinterDrivers(const SpoolerCall& call, const char* environment,
                                std::vector<win::DriverInfo3>* drivers) const;

  // Level 2. On success the monitor's "Driver" value holds the DLL name as
  // given, the DLL is loaded (in use), and a key that existed before keeps
  // its other values and subkeys. On failure a key that existed before is
  // left as it was and none is created.
  win::DWORD AddMonitor(const SpoolerCall& call, const win::MONITOR_INFO_2A& monitor);
  // Removes Monitors\<name> with its subtree. The DLL stays loaded until the
  // spooler stops.
  win::DWORD DeleteMonitor(const SpoolerCall& call, const char* environment,
                           const char* name);

  // `driver` holds the fields of DRIVER_INFO_<level>; fields beyond the level
  // are ignored. On success the files are copied into the version folder (NT
  // family) and the driver's key is written afresh (an existing driver of the
  // same name and version is replaced).
  win::DWORD AddPrinterDriver(const SpoolerCall& call, win::DWORD level,
                              const win::DRIVER_INFO_6A& driver);
  // Removes the driver's key under every version of the environment; the
  // files stay.
  win::DWORD DeletePrinterDriver(const SpoolerCall& call, const char* environment,
                                 const char* name);

  // Level 2. On success *handle is an open printer handle with
  // PRINTER_ALL_ACCESS; the caller closes it.
  win::DWORD AddPrinter(const SpoolerCall& call, const win::PRINTER_INFO_2A& printer,
                        win::HANDLE* handle);
  // A null name opens the local print server. `access` 0 means
  // PRINTER_ACCESS_USE.
  win::DWORD OpenPrinter(const SpoolerCall& call, const char* name, win::DWORD access,
                         win::HANDLE* handle);
  // Removes the printer's key with its subtree; the handle stays open.
  win::DWORD DeletePrinter(const SpoolerCall& call, win::HANDLE printer);
  // The handle is gone afterwards, whatever the result.
  win::DWORD ClosePrinter(const SpoolerCall& call, win::HANDLE printer);

  // Is this a printer handle that is open, and which printer does it name
  // ("" for the print server or an unknown handle)?
  bool IsOpenHandle(win::HANDLE printer) const;
  std::string PrinterOf(win::HANDLE printer) const;

  // --- State, read from the registry, for the Machine and for tests.
  bool MonitorInstalled(std::string_view name) const;
  bool PrinterExists(std::string_view name) const;
  // Installed for the native environment, any version.
  bool DriverInstalled(std::string_view name) const;

  // The service manager tells the spooler when its service stops and starts
  // (a restart, a reboot). A stopped spooler unloads every monitor DLL and
  // forgets its printer handles (they answer ERROR_INVALID_HANDLE until
  // closed); a started one loads the DLLs of the monitors registered then.
  void OnSpoolerStopped();
  void OnSpoolerStarted();

  // Printer handles opened and not yet closed.
  std::size_t OpenHandleCount() const { return handles_.size(); }

 private:
  struct Environment;
  struct PrinterHandle {
    std::string printer;  // empty for the print server
    win::DWORD access = 0;
    bool stale = false;  // opened before the spooler last stopped
  };

  std::optional<Environment> FindEnvironment(const char* name) const;
  Environment Native() const;
  std::string MonitorDllPath(std::string_view dllName) const;
  std::vector<std::string> PortsOf(std::string_view monitor) const;
  std::vector<std::string> PrinterNames() const;
  bool PortInUse(std::string_view port) const;
  bool DriverInUse(std::string_view driver) const;
  std::vector<std::string> DriverKeys(const Environment& env,
                                      std::string_view name) const;
  std::optional<std::string> LocateDriverFile(const Environment& env,
                                              std::string_view file) const;
  void WriteDriverKey(const std::string& key, win::DWORD version, win::DWORD level,
                      const win::DRIVER_INFO_6A& driver) const;
  void WritePrinterKey(const win::PRINTER_INFO_2A& printer) const;
  win::HANDLE NewHandle(std::string printer, win::DWORD access);

  const VersionProfile& profile_;
  Registry& registry_;
  FileSystem& files_;
  std::map<std::uintptr_t, PrinterHandle> handles_;
  std::uintptr_t next_handle_ = 0x70000;  // apart from file and registry handles
};

}  // namespace orvane::winsim
