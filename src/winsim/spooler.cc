#include "winsim/spooler.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace orvane::winsim {

using namespace orvane::win;

namespace {

// Where Windows keeps the spooler's state.
constexpr std::string_view kPrintKey = "HKLM\\SYSTEM\\CurrentControlSet\\Control\\Print";
constexpr std::string_view kLocalPortsKey =
    "HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Ports";
constexpr std::string_view kLocalPortMonitor = "Local Port";

constexpr DWORD ERROR_PRINTER_DELETED = 1905;
constexpr DWORD kDeleteAccess = 0x00010000;  // DELETE
constexpr DWORD kReadControl = 0x00020000;   // READ_CONTROL
constexpr DWORD kServerEnumerate = 0x2;      // SERVER_ACCESS_ENUMERATE
// What a user without administrative rights may ask of a printer or the
// server: use and enumerate, nothing that administers or deletes.
constexpr DWORD kUserAccess = PRINTER_ACCESS_USE | kReadControl | kServerEnumerate;

// The entry points the spooler looks up in a monitor DLL: InitializePrintMonitor2
// (2000 and later), InitializePrintMonitor (NT 4), InitializeMonitor(Ex) (95/98/ME).
// A stand-in DLL "exports" a name when its text contains it.
constexpr std::string_view kMonitorEntryPoints[] = {"InitializePrintMonitor",
                                                    "InitializeMonitor"};

// Environments a Windows NT print server keeps drivers for, and the folder
// under ...\spool\drivers that holds each.
struct NtEnvironment {
  const char* name;
  const char* folder;
};
constexpr NtEnvironment kNtEnvironments[] = {
    {"Windows NT x86", "w32x86"},
    {"Windows 4.0", "win40"},
};

std::string Key(std::string_view base, std::string_view name) {
  std::string key(base);
  key += '\\';
  key += name;
  return key;
}

std::string PrintKey(std::string_view below) { return Key(kPrintKey, below); }

bool IsEmpty(const char* text) { return text == nullptr || *text == '\0'; }

bool EqualIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() &&
         EqualIgnoringCase(text.substr(0, prefix.size()), prefix);
}

std::vector<BYTE> Sz(std::string_view text) {
  std::vector<BYTE> bytes(text.begin(), text.end());
  bytes.push_back(0);
  return bytes;
}

std::vector<BYTE> Dword(DWORD value) {
  return {static_cast<BYTE>(value), static_cast<BYTE>(value >> 8),
          static_cast<BYTE>(value >> 16), static_cast<BYTE>(value >> 24)};
}

std::vector<BYTE> Qword(std::uint64_t value) {
  std::vector<BYTE> bytes;
  for (int i = 0; i < 8; ++i) bytes.push_back(static_cast<BYTE>(value >> (8 * i)));
  return bytes;
}

// Names, each NUL-terminated, closed by an empty name; a list without names is
// the closing NUL alone.
std::vector<BYTE> MultiSz(const std::vector<std::string>& names) {
  std::vector<BYTE> bytes;
  for (const std::string& name : names) {
    bytes.insert(bytes.end(), name.begin(), name.end());
    bytes.push_back(0);
  }
  bytes.push_back(0);
  return bytes;
}

// A caller's multi-string: names up to the first empty one; null is none.
std::vector<std::string> ReadMultiSz(const char* list) {
  std::vector<std::string> names;
  for (const char* p = list; p && *p; p += std::strlen(p) + 1) names.emplace_back(p);
  return names;
}

std::string Text(const char* text) { return text ? text : ""; }

bool HasDirectory(std::string_view path) {
  return path.find_first_of("\\/:") != std::string_view::npos;
}

// The file-name part of a path: what the driver's key records.
std::string FilePart(std::string_view path) {
  std::size_t cut = path.find_last_of("\\/:");
  return std::string(cut == std::string_view::npos ? path : path.substr(cut + 1));
}

// A port list as AddPrinter takes it: names separated by commas (pooling).
std::vector<std::string> SplitPorts(std::string_view list) {
  std::vector<std::string> ports;
  std::size_t start = 0;
  while (start <= list.size()) {
    std::size_t end = list.find(',', start);
    if (end == std::string_view::npos) end = list.size();
    std::string_view port = list.substr(start, end - start);
    while (!port.empty() && port.front() == ' ') port.remove_prefix(1);
    while (!port.empty() && port.back() == ' ') port.remove_suffix(1);
    if (!port.empty()) ports.emplace_back(port);
    start = end + 1;
  }
  return ports;
}

// A REG_SZ value's text up to its NUL; "" when it is missing.
std::string StringValue(const Registry& registry, const std::string& key,
                        std::string_view name) {
  auto value = registry.GetValue(key, name);
  if (!value) return {};
  std::string text(value->data.begin(), value->data.end());
  return text.substr(0, text.find('\0'));
}

DWORD DwordValue(const Registry& registry, const std::string& key, std::string_view name) {
  auto value = registry.GetValue(key, name);
  if (!value || value->data.size() < 4) return 0;
  const auto& d = value->data;
  return DWORD{d[0]} | DWORD{d[1]} << 8 | DWORD{d[2]} << 16 | DWORD{d[3]} << 24;
}

// A REG_MULTI_SZ value's names up to the first empty one.
std::vector<std::string> MultiSzValue(const Registry& registry, const std::string& key,
                                      std::string_view name) {
  std::vector<std::string> names;
  auto value = registry.GetValue(key, name);
  if (!value) return names;
  std::string current;
  for (BYTE b : value->data) {
    if (b != 0) {
      current += static_cast<char>(b);
      continue;
    }
    if (current.empty()) break;
    names.push_back(std::move(current));
    current.clear();
  }
  return names;
}

bool ExportsMonitorEntry(const std::vector<BYTE>& image) {
  std::string_view text(reinterpret_cast<const char*>(image.data()), image.size());
  return std::any_of(
      std::begin(kMonitorEntryPoints), std::end(kMonitorEntryPoints),
      [&](std::string_view entry) { return text.find(entry) != std::string_view::npos; });
}

}  // namespace

// An environment as this Windows knows it: its name as the spooler spells
// it, its driver folder, and how its drivers are keyed.
struct Spooler::Environment {
  std::string name;
  std::string driver_dir;
  bool native = false;
  // Windows 95/98/ME keep their own drivers directly under Drivers\<name>,
  // with no version level; an NT server keeps every environment's drivers
  // under Drivers\Version-<n>.
  bool flat = false;
};

Spooler::Environment Spooler::Native() const {
  return {profile_.environment, profile_.driver_dir, true, !profile_.nt_family};
}

// Null or "" is the native environment; names compare without regard to case.
// Windows 95/98/ME know only their own; NT also keeps "Windows 4.0" drivers for
// its 95/98/ME clients.
std::optional<Spooler::Environment> Spooler::FindEnvironment(const char* name) const {
  if (IsEmpty(name) || EqualIgnoringCase(name, profile_.environment)) return Native();
  if (!profile_.nt_family) return std::nullopt;
  for (const NtEnvironment& env : kNtEnvironments) {
    if (!EqualIgnoringCase(name, env.name)) continue;
    return Environment{
        env.name, std::string(profile_.system_dir) + "\\spool\\drivers\\" + env.folder,
        false, false};
  }
  return std::nullopt;
}

bool Spooler::KnowsDriverLevel(DWORD level) const {
  // DRIVER_INFO_3 came with NT 4 and Windows 95, DRIVER_INFO_4 and _6 with
  // Windows 2000; level 8 is Vista's.
  switch (level) {
    case 2:
      return true;
    case 3:
      return profile_.version != WindowsVersion::kNt351;
    case 4:
    case 6:
      return profile_.nt_family && profile_.major >= 5;
    default:
      return false;
  }
}

// --- Folders and listings.

DWORD Spooler::GetPrinterDriverDirectory(const SpoolerCall& call, const char* environment,
                                         std::string* directory) const {
  if (!call.running) return RPC_S_SERVER_UNAVAILABLE;
  auto env = FindEnvironment(environment);
  if (!env) return ERROR_INVALID_ENVIRONMENT;
  *directory = env->driver_dir;
  return ERROR_SUCCESS;
}

DWORD Spooler::EnumMonitors(const SpoolerCall& call,
                            std::vector<MonitorInfo1>* monitors) const {
  if (!call.running) return RPC_S_SERVER_UNAVAILABLE;
  monitors->clear();
  for (const std::string& name : registry_.SubkeyNames(PrintKey("Monitors"))) {
    if (MonitorInstalled(name)) monitors->push_back({name});
  }
  return ERROR_SUCCESS;
}

DWORD Spooler::EnumPorts(const SpoolerCall& call, std::vector<PortInfo2>* ports) const {
  if (!call.running) return RPC_S_SERVER_UNAVAILABLE;
  ports->clear();
  for (const std::string& port : PortsOf(kLocalPortMonitor)) {
    ports->push_back({port, std::string(kLocalPortMonitor),
                      std::string(kLocalPortMonitor), PORT_TYPE_WRITE, 0});
  }
  for (const std::string& monitor : registry_.SubkeyNames(PrintKey("Monitors"))) {
    if (EqualIgnoringCase(monitor, kLocalPortMonitor) || !MonitorInstalled(monitor))
      continue;
    std::string portsKey = PrintKey("Monitors\\" + monitor + "\\Ports");
    for (const std::string& port : PortsOf(monitor)) {
      ports->push_back({port, monitor,
                        StringValue(registry_, Key(portsKey, port), "Description"),
                        PORT_TYPE_WRITE, 0});
    }
  }
  return ERROR_SUCCESS;
}

DWORD Spooler::EnumPrinters(const SpoolerCall& call, std::vector<PrinterInfo2>* printers,
                             DWORD* devModeBytes) const {
  if (!call.running) return RPC_S_SERVER_UNAVAILABLE;
  printers->clear();
  *devModeBytes = 0;
  for (const std::string& name : PrinterNames()) {
    std::string key = PrintKey("Printers\\" + name);
    auto text = [&](const char* value) { return StringValue(registry_, key, value); };
    auto number = [&](const char* value) { return DwordValue(registry_, key, value); };
    PrinterInfo2 p;
    p.pPrinterName = text("Name");
    p.pShareName = text("Share Name");
    p.pPortName = text("Port");
    p.pDriverName = text("Printer Driver");
    p.pComment = text("Description");
    p.pLocation = text("Location");
    p.pSepFile = text("Separator File");
    p.pPrintProcessor = text("Print Processor");
    p.pDatatype = text("Datatype");
    p.pParameters = text("Parameters");
    p.Attributes = number("Attributes");
    p.Priority = number("Priority");
    p.DefaultPriority = number("Default Priority");
    p.StartTime = number("StartTime");
    p.UntilTime = number("UntilTime");
    p.Status = number("Status");
    if (auto devMode = registry_.GetValue(key, "Default DevMode")) {
      *devModeBytes += static_cast<DWORD>(devMode->data.size());
    }
    printers->push_back(std::move(p));
  }
  return ERROR_SUCCESS;
}

// The local monitor's ports are the value names of the local ports key;
// another monitor's are the subkeys of its own Ports key.
std::vector<std::string> Spooler::PortsOf(std::string_view monitor) const {
  std::vector<std::string> ports;
  if (EqualIgnoringCase(monitor, kLocalPortMonitor)) {
    for (const RegValue& value : registry_.Values(kLocalPortsKey))
      ports.push_back(value.name);
  } else {
    ports =
        registry_.SubkeyNames(PrintKey("Monitors\\" + std::string(monitor) + "\\Ports"));
  }
  return ports;
}

// --- Monitors.

bool Spooler::MonitorInstalled(std::string_view name) const {
  return !name.empty() &&
         registry_.GetValue(PrintKey("Monitors\\" + std::string(name)), "Driver")
             .has_value();
}

// A bare DLL name is loaded from the system folder, where every file a
// monitor needs must be; a path is loaded as given.
std::string Spooler::MonitorDllPath(std::string_view dllName) const {
  if (HasDirectory(dllName)) return std::string(dllName);
  return Key(profile_.system_dir, dllName);
}

// Checks in the order of Wine's localspl fpAddMonitor, whose conformance tests
// pass on Windows; the codes of 95/98/ME are those tests' 9x answers.
DWORD Spooler::AddMonitor(const SpoolerCall& call, const MONITOR_INFO_2A& monitor) {
  if (!call.running) return RPC_S_SERVER_UNAVAILABLE;
  if (IsEmpty(monitor.pName)) return ERROR_INVALID_PARAMETER;
  auto env = FindEnvironment(monitor.pEnvironment);
  if (!env || !env->native) return ERROR_INVALID_ENVIRONMENT;
  if (IsEmpty(monitor.pDLLName)) return ERROR_INVALID_PARAMETER;
  if (!call.administrator) return ERROR_ACCESS_DENIED;  // SeLoadDriverPrivilege
  // The "Driver" value decides, not the key: installers may pre-create the
  // key with their port settings before calling AddMonitor.
  if (MonitorInstalled(monitor.pName)) {
    // NT: ERROR_PRINT_MONITOR_ALREADY_INSTALLED, 9x: ERROR_ALREADY_EXISTS.
    return profile_.nt_family ? ERROR_PRINT_MONITOR_ALREADY_INSTALLED
                              : ERROR_ALREADY_EXISTS;
  }
  // Windows creates the key, loads the DLL and deletes the key again when the
  // load fails; writing it only after a load that succeeded leaves the same
  // state (a key that existed before keeps what it held).
  std::string dll = MonitorDllPath(monitor.pDLLName);
  auto image = files_.ReadAll(dll);
  // NT: ERROR_MOD_NOT_FOUND, 9x: ERROR_INVALID_PARAMETER.
  if (!image) return profile_.nt_family ? ERROR_MOD_NOT_FOUND : ERROR_INVALID_PARAMETER;
  // NT: ERROR_PROC_NOT_FOUND, 9x: ERROR_INVALID_PARAMETER.
  if (!ExportsMonitorEntry(*image)) {
    return profile_.nt_family ? ERROR_PROC_NOT_FOUND : ERROR_INVALID_PARAMETER;
  }
  registry_.PutValue(PrintKey("Monitors\\" + std::string(monitor.pName)), "Driver",
                     REG_SZ, Sz(monitor.pDLLName));
  files_.MarkInUse(dll);
  return ERROR_SUCCESS;
}

// The environment is not checked for the local server before Vista.
DWORD Spooler::DeleteMonitor(const SpoolerCall& call, const char* /*environment*/,
                             const char* name) {
  if (!call.running) return RPC_S_SERVER_UNAVAILABLE;
  // NT: ERROR_INVALID_PARAMETER, 9x: ERROR_INVALID_NAME.
  if (IsEmpty(name))
    return profile_.nt_family ? ERROR_INVALID_PARAMETER : ERROR_INVALID_NAME;
  if (!call.administrator) return ERROR_ACCESS_DENIED;
  // NT: ERROR_UNKNOWN_PRINT_MONITOR, 9x: ERROR_INVALID_PARAMETER.
  if (!MonitorInstalled(name)) {
    return profile_.nt_family ? ERROR_UNKNOWN_PRINT_MONITOR : ERROR_INVALID_PARAMETER;
  }
  for (const std::string& port : PortsOf(name)) {
    if (PortInUse(port)) return ERROR_PRINT_MONITOR_IN_USE;  // MS-RPRN RpcDeleteMonitor
  }
  registry_.RemoveTree(PrintKey("Monitors\\" + std::string(name)));
  return ERROR_SUCCESS;
}

// --- Drivers.

// Drivers\Version-<n>\<name> under every version of an NT environment, or
// Drivers\<name> on Windows 95/98/ME: the keys of an installed driver.
std::vector<std::string> Spooler::DriverKeys(const Environment& env,
                                             std::string_view name) const {
  std::vector<std::string> keys;
  if (name.empty()) return keys;
  std::string drivers = PrintKey("Environments\\" + env.name + "\\Drivers");
  auto installed = [&](const std::string& key) {
    if (registry_.GetValue(key, "Driver")) keys.push_back(key);
  };
  if (env.flat) {
    installed(Key(drivers, name));
  } else {
    for (const std::string& version : registry_.SubkeyNames(drivers)) {
      if (StartsWithIgnoringCase(version, "Version-")) {
        installed(Key(Key(drivers, version), name));
      }
    }
  }
  return keys;
}

DWORD Spooler::EnumPrinterDrivers(const SpoolerCall& call, const char* environment,
                                   std::vector<DriverInfo3>* drivers) const {
  if (!call.running) return RPC_S_SERVER_UNAVAILABLE;
  auto env = FindEnvironment(environment);
  if (!env) return ERROR_INVALID_ENVIRONMENT;
  drivers->clear();
  std::string root = PrintKey("Environments\\" + env->name + "\\Drivers");
  // (key of the version's drivers, folder of its files)
  std::vector<std::pair<std::string, std::string>> places;
  if (env->flat) {
    places.emplace_back(root, env->driver_dir);
  } else {
    for (const std::string& version : registry_.SubkeyNames(root)) {
      if (!StartsWithIgnoringCase(version, "Version-")) continue;
      places.emplace_back(Key(root, version), Key(env->driver_dir, version.substr(8)));
    }
  }
  for (const auto& place : places) {
    // Named, not bound: clang 14 cannot capture a structured binding.
    const std::string& drivers_key = place.first;
    const std::string& folder = place.second;
    for (const std::string& name : registry_.SubkeyNames(drivers_key)) {
      std::string key = Key(drivers_key, name);
      if (!registry_.GetValue(key, "Driver")) continue;
      auto file = [&](const char* value) {
        std::string text = StringValue(registry_, key, value);
        return text.empty() ? text : Key(folder, text);
      };
      DriverInfo3 d;
      d.cVersion = DwordValue(registry_, key, "Version");
      d.pName = name;
      d.pEnvironment = env->name;
      d.pDriverPath = file("Driver");
      d.pDataFile = file("Data File");
      d.pConfigFile = file("Configuration File");
      d.pHelpFile = file("Help File");
      for (const std::string& dependent : MultiSzValue(registry_, key, "Dependent Files")) {
        d.pDependentFiles.push_back(Key(folder, dependent));
      }
      d.pMonitorName = StringValue(registry_, key, "Monitor");
      d.pDefaultDataType = StringValue(registry_, key, "Datatype");
      drivers->push_back(std::move(d));
    }
  }
  return ERROR_SUCCESS;
}

bool Spooler::DriverInstalled(std::string_view name) const {
  return !DriverKeys(Native(), name).empty();
}

// A bare file name is looked up in the environment's driver folder (on
// 95/98/ME the system folder); a path is taken as given.
std::optional<std::string> Spooler::LocateDriverFile(const Environment& env,
                                                     std::string_view file) const {
  std::string path = HasDirectory(file) ? std::string(file) : Key(env.driver_dir, file);
  if (!files_.IsFile(path)) return std::nullopt;
  return path;
}

DWORD Spooler::AddPrinterDriver(const SpoolerCall& call, DWORD level,
                                const DRIVER_INFO_6A& driver) {
  if (!call.running) return RPC_S_SERVER_UNAVAILABLE;
  if (!call.administrator) return ERROR_ACCESS_DENIED;  // SeLoadDriverPrivilege
  auto env = FindEnvironment(driver.pEnvironment);
  if (!env) return ERROR_INVALID_ENVIRONMENT;
  // Documented as required; the code Windows gives for a missing one is unverified.
  if (IsEmpty(driver.pName) || IsEmpty(driver.pDriverPath) || IsEmpty(driver.pDataFile) ||
      IsEmpty(driver.pConfigFile)) {
    return ERROR_INVALID_PARAMETER;
  }
  // "Windows 4.0" drivers are version 0 whatever the caller says; an NT x86
  // driver must be of a version this Windows runs (3.51: 1, NT 4: 2,
  // 2000/XP: 2 or 3).
  DWORD version = 0;
  if (profile_.nt_family && EqualIgnoringCase(env->name, "Windows NT x86")) {
    version = driver.cVersion;
    bool runs = version == profile_.driver_version ||
                (profile_.driver_version == 3 && version == 2);
    if (!runs) return ERROR_INVALID_PARAMETER;
  }

  std::vector<std::string> names = {driver.pDriverPath, driver.pDataFile,
                                    driver.pConfigFile};
  if (level >= 3) {
    if (!IsEmpty(driver.pHelpFile)) names.push_back(driver.pHelpFile);
    for (std::string& file : ReadMultiSz(driver.pDependentFiles)) names.push_back(file);
  }
  std::vector<std::string> sources;
  for (const std::string& name : names) {
    auto source = LocateDriverFile(*env, name);
    if (!source) return ERROR_FILE_NOT_FOUND;  // the code is unverified
    sources.push_back(*source);
  }

  // The NT spooler copies the files into the version folder; 95/98/ME use
  // them where they are.
  if (!env->flat) {
    std::string target = env->driver_dir + "\\" + std::to_string(version);
    files_.MakeDirectories(target);
    for (std::size_t i = 0; i < names.size(); ++i) {
      files_.CopyAll(sources[i], Key(target, FilePart(names[i])));  // not onto itself
    }
  }

  std::string drivers = PrintKey("Environments\\" + env->name + "\\Drivers");
  if (!env->flat) drivers = Key(drivers, "Version-" + std::to_string(version));
  std::string key = Key(drivers, driver.pName);
  registry_.RemoveTree(key);  // an upgrade replaces the old entry whole
  WriteDriverKey(key, version, level, driver);
  return ERROR_SUCCESS;
}

// The values Windows keeps for a driver: file names without their folders,
// empty texts for absent fields.
void Spooler::WriteDriverKey(const std::string& key, DWORD version, DWORD level,
                             const DRIVER_INFO_6A& d) const {
  auto sz = [&](const char* name, const char* text) {
    registry_.PutValue(key, name, REG_SZ, Sz(text ? text : ""));
  };
  auto file = [&](const char* name, const char* path) {
    registry_.PutValue(key, name, REG_SZ, Sz(FilePart(Text(path))));
  };
  std::vector<std::string> dependents;
  if (level >= 3) {
    for (const std::string& name : ReadMultiSz(d.pDependentFiles)) {
      dependents.push_back(FilePart(name));
    }
  }
  registry_.PutValue(key, "Version", REG_DWORD, Dword(version));
  file("Driver", d.pDriverPath);
  file("Data File", d.pDataFile);
  file("Configuration File", d.pConfigFile);
  file("Help File", level >= 3 ? d.pHelpFile : nullptr);
  registry_.PutValue(key, "Dependent Files", REG_MULTI_SZ, MultiSz(dependents));
  sz("Monitor", level >= 3 ? d.pMonitorName : nullptr);
  sz("Datatype", level >= 3 ? d.pDefaultDataType : nullptr);
  registry_.PutValue(key, "Previous Names", REG_MULTI_SZ,
                     MultiSz(level >= 4 ? ReadMultiSz(d.pszzPreviousNames)
                                        : std::vector<std::string>{}));
  if (level >= 6) {
    sz("Manufacturer", d.pszMfgName);
    sz("OEM Url", d.pszOEMUrl);
    sz("HardwareID", d.pszHardwareID);
    sz("Provider", d.pszProvider);
    // Both kept as 8 raw bytes, little-endian (the exact types are unverified).
    std::uint64_t date = (std::uint64_t{d.ftDriverDate.dwHighDateTime} << 32) |
                         d.ftDriverDate.dwLowDateTime;
    registry_.PutValue(key, "DriverDate", REG_BINARY, Qword(date));
    registry_.PutValue(key, "DriverVersion", REG_BINARY, Qword(d.dwlDriverVersion));
  }
}

DWORD Spooler::DeletePrinterDriver(const SpoolerCall& call, const char* environment,
                                   const char* name) {
  if (!call.running) return RPC_S_SERVER_UNAVAILABLE;
  if (!call.administrator) return ERROR_ACCESS_DENIED;
  auto env = FindEnvironment(environment);
  if (!env) return ERROR_INVALID_ENVIRONMENT;
  std::vector<std::string> keys = DriverKeys(*env, Text(name));
  if (keys.empty()) return ERROR_UNKNOWN_PRINTER_DRIVER;
  if (env->native && DriverInUse(name)) return ERROR_PRINTER_DRIVER_IN_USE;
  for (const std::string& key : keys) registry_.RemoveTree(key);
  return ERROR_SUCCESS;
}

// --- Printers.

std::vector<std::string> Spooler::PrinterNames() const {
  std::vector<std::string> names;
  for (const std::string& name : registry_.SubkeyNames(PrintKey("Printers"))) {
    if (PrinterExists(name)) names.push_back(name);
  }
  return names;
}

bool Spooler::PrinterExists(std::string_view name) const {
  if (name.empty()) return false;
  std::string key = PrintKey("Printers\\" + std::string(name));
  return registry_.GetValue(key, "Name") && registry_.GetValue(key, "Printer Driver");
}

bool Spooler::PortInUse(std::string_view port) const {
  for (const std::string& printer : PrinterNames()) {
    std::string key = PrintKey("Printers\\" + printer);
    for (const std::string& used : SplitPorts(StringValue(registry_, key, "Port"))) {
      if (EqualIgnoringCase(used, port)) return true;
    }
  }
  return false;
}

bool Spooler::DriverInUse(std::string_view driver) const {
  for (const std::string& printer : PrinterNames()) {
    std::string key = PrintKey("Printers\\" + printer);
    if (EqualIgnoringCase(StringValue(registry_, key, "Printer Driver"), driver))
      return true;
  }
  return false;
}

DWORD Spooler::AddPrinter(const SpoolerCall& call, const PRINTER_INFO_2A& printer,
                          HANDLE* handle) {
  if (!call.running) return RPC_S_SERVER_UNAVAILABLE;
  if (!call.administrator) return ERROR_ACCESS_DENIED;
  // The name, port, driver and print processor are required.
  if (!printer.pPrinterName || !printer.pPortName || !printer.pDriverName ||
      !printer.pPrintProcessor) {
    return ERROR_INVALID_PARAMETER;
  }
  std::string name = printer.pPrinterName;
  if (PrinterExists(name)) return ERROR_PRINTER_ALREADY_EXISTS;
  if (!DriverInstalled(printer.pDriverName)) return ERROR_UNKNOWN_PRINTER_DRIVER;
  std::string processors =
      PrintKey("Environments\\" + Native().name + "\\Print Processors");
  if (IsEmpty(printer.pPrintProcessor) ||
      !registry_.KeyExists(Key(processors, printer.pPrintProcessor))) {
    return ERROR_UNKNOWN_PRINTPROCESSOR;
  }
  std::vector<std::string> wanted = SplitPorts(printer.pPortName);
  std::vector<PortInfo2> known;
  EnumPorts(call, &known);
  bool portsKnown =
      !wanted.empty() && std::all_of(wanted.begin(), wanted.end(), [&](auto& p) {
        return std::any_of(known.begin(), known.end(), [&](const PortInfo2& k) {
          return EqualIgnoringCase(k.pPortName, p);
        });
      });
  if (!portsKnown) return ERROR_UNKNOWN_PORT;
  if (name.empty() || name.find_first_of("\\,") != std::string::npos) {
    return ERROR_INVALID_PRINTER_NAME;
  }
  WritePrinterKey(printer);
  *handle = NewHandle(name, PRINTER_ALL_ACCESS);
  return ERROR_SUCCESS;
}

// The printer's values, written into its key; what else the key holds (the
// driver's data, a default DEVMODE) stays.
void Spooler::WritePrinterKey(const PRINTER_INFO_2A& p) const {
  std::string key = PrintKey("Printers\\" + std::string(p.pPrinterName));
  auto sz = [&](const char* name, const char* text) {
    registry_.PutValue(key, name, REG_SZ, Sz(text ? text : ""));
  };
  auto dword = [&](const char* name, DWORD value) {
    registry_.PutValue(key, name, REG_DWORD, Dword(value));
  };
  sz("Name", p.pPrinterName);
  sz("Share Name", p.pShareName);
  sz("Port", p.pPortName);
  sz("Printer Driver", p.pDriverName);
  sz("Description", p.pComment);
  sz("Location", p.pLocation);
  sz("Print Processor", p.pPrintProcessor);
  sz("Datatype", IsEmpty(p.pDatatype) ? "RAW" : p.pDatatype);
  sz("Parameters", p.pParameters);
  sz("Separator File", p.pSepFile);
  dword("Attributes", p.Attributes);
  dword("Priority", p.Priority);
  dword("Default Priority", p.DefaultPriority);
  dword("StartTime", p.StartTime);
  dword("UntilTime", p.UntilTime);
  dword("Status", p.Status);
}

HANDLE Spooler::NewHandle(std::string printer, DWORD access) {
  std::uintptr_t value = next_handle_++;
  handles_[value] = PrinterHandle{std::move(printer), access, false};
  return HANDLE{value};
}

bool Spooler::IsOpenHandle(HANDLE printer) const {
  return handles_.count(static_cast<std::uintptr_t>(printer)) > 0;
}

std::string Spooler::PrinterOf(HANDLE printer) const {
  auto it = handles_.find(static_cast<std::uintptr_t>(printer));
  return it == handles_.end() ? std::string() : it->second.printer;
}

DWORD Spooler::OpenPrinter(const SpoolerCall& call, const char* name, DWORD access,
                           HANDLE* handle) {
  if (!call.running) return RPC_S_SERVER_UNAVAILABLE;
  if (access == 0) access = PRINTER_ACCESS_USE;
  if (name != nullptr) {  // null: the local print server
    if (!PrinterExists(name)) return ERROR_INVALID_PRINTER_NAME;
  }
  if (profile_.nt_family && !call.administrator && (access & ~kUserAccess)) {
    return ERROR_ACCESS_DENIED;
  }
  *handle = NewHandle(Text(name), access);
  return ERROR_SUCCESS;
}

DWORD Spooler::DeletePrinter(const SpoolerCall& call, HANDLE printer) {
  auto it = handles_.find(static_cast<std::uintptr_t>(printer));
  if (it == handles_.end() || it->second.stale || it->second.printer.empty()) {
    return ERROR_INVALID_HANDLE;
  }
  if (!call.running) return RPC_S_SERVER_UNAVAILABLE;
  // NT: a handle opened for use only (the default of OpenPrinter without
  // PRINTER_DEFAULTS) may not delete. Windows 95/98/ME check no rights.
  if (profile_.nt_family &&
      !(it->second.access & (kDeleteAccess | PRINTER_ACCESS_ADMINISTER))) {
    return ERROR_ACCESS_DENIED;
  }
  if (!PrinterExists(it->second.printer)) return ERROR_PRINTER_DELETED;
  // No jobs are modelled, so the printer goes at once (with jobs pending
  // Windows would mark it pending deletion).
  registry_.RemoveTree(PrintKey("Printers\\" + it->second.printer));
  return ERROR_SUCCESS;
}

DWORD Spooler::ClosePrinter(const SpoolerCall& call, HANDLE printer) {
  auto it = handles_.find(static_cast<std::uintptr_t>(printer));
  if (it == handles_.end()) {
    // Windows 2000/XP answer an unknown handle through the server.
    return call.running ? ERROR_INVALID_HANDLE : RPC_S_SERVER_UNAVAILABLE;
  }
  bool stale = it->second.stale;
  handles_.erase(it);  // the client's side of the handle is freed in any case
  if (!call.running) return RPC_S_SERVER_UNAVAILABLE;
  return stale ? ERROR_INVALID_HANDLE : ERROR_SUCCESS;
}

// --- The service's life.

// Windows unloads every monitor when the spooler stops. A DLL counts as loaded
// by the spooler when it is in use and is either a registered monitor's or
// exports a monitor entry point (a monitor deleted since it was loaded): this
// holds across a save and load of the machine, which keeps only "in use".
void Spooler::OnSpoolerStopped() {
  for (auto& [value, handle] : handles_) handle.stale = true;
  std::vector<std::string> registered;
  for (const std::string& monitor : registry_.SubkeyNames(PrintKey("Monitors"))) {
    std::string dll = StringValue(registry_, PrintKey("Monitors\\" + monitor), "Driver");
    if (!dll.empty()) registered.push_back(files_.Canonical(MonitorDllPath(dll)));
  }
  std::vector<std::string> loaded;
  for (const auto& entry : files_.in_use()) {
    const std::string& path = entry.first;
    bool monitor =
        std::any_of(registered.begin(), registered.end(),
                    [&](const std::string& r) { return EqualIgnoringCase(r, path); });
    if (!monitor) {
      auto image = files_.ReadAll(path);
      monitor = image && ExportsMonitorEntry(*image);
    }
    if (monitor) loaded.push_back(path);
  }
  for (const std::string& path : loaded) {
    // Release drops another process's hold too; that hold is not the spooler's.
    auto hold = files_.holds().find(path);
    std::optional<FileSystem::Hold> kept;
    if (hold != files_.holds().end()) kept = hold->second;
    files_.Release(path);
    if (kept) files_.HoldByOtherProcess(path, kept->share, kept->access);
  }
}

void Spooler::OnSpoolerStarted() {
  for (const std::string& monitor : registry_.SubkeyNames(PrintKey("Monitors"))) {
    std::string dll = StringValue(registry_, PrintKey("Monitors\\" + monitor), "Driver");
    if (dll.empty()) continue;
    std::string path = MonitorDllPath(dll);
    auto image = files_.ReadAll(path);
    if (image) files_.MarkInUse(path);
  }
}

}  // namespace orvane::winsim
