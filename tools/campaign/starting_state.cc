#include "tools/campaign/starting_state.h"

#include <span>

namespace orvane::campaign {
namespace {

constexpr char kPrint[] = "HKLM\\SYSTEM\\CurrentControlSet\\Control\\Print";
constexpr char kUninstall[] = "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
constexpr char kEnvironment[] =
    "HKLM\\SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment";
constexpr char kMapping[] = "HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\IniFileMapping";
constexpr char kOtherMonitor[] = "Acme Port Monitor";
constexpr char kOtherDriver[] = "Acme PostScript";

std::vector<win::BYTE> Sz(std::string_view text) {
  std::vector<win::BYTE> bytes(text.begin(), text.end());
  bytes.push_back(0);
  return bytes;
}

std::vector<win::BYTE> Dword(win::DWORD value) {
  return {static_cast<win::BYTE>(value), static_cast<win::BYTE>(value >> 8),
          static_cast<win::BYTE>(value >> 16), static_cast<win::BYTE>(value >> 24)};
}

// A port monitor of somebody else's: its DLL in the system folder, registered
// through AddMonitorA, with two ports of its own. False when this Windows'
// spooler refused it.
bool AddOtherMonitor(winsim::Machine& machine, StartingState* state) {
  const winsim::VersionProfile& p = machine.profile();
  machine.files().WriteAll(std::string(p.system_dir) + "\\acmemon.dll",
                           "Acme port monitor\r\nexports InitializePrintMonitor2\r\n");
  win::MONITOR_INFO_2A monitor;
  monitor.pName = kOtherMonitor;
  monitor.pEnvironment = p.environment;
  monitor.pDLLName = "acmemon.dll";
  if (!machine.AddMonitorA(nullptr, 2, &monitor)) {
    state->summary.push_back("monitor refused: " + std::to_string(machine.GetLastError()));
    return false;
  }
  const std::string ports = std::string(kPrint) + "\\Monitors\\" + kOtherMonitor + "\\Ports";
  for (const char* port : {"ACME1:", "ACME2:"}) {
    machine.registry().PutValue(ports + "\\" + port, "Description", win::REG_SZ,
                                Sz("Acme network port"));
    machine.registry().PutValue(ports + "\\" + port, "Timeout", win::REG_DWORD, Dword(45));
  }
  state->summary.push_back("monitor \"Acme Port Monitor\" with ports ACME1:, ACME2:");
  return true;
}

// A driver of somebody else's, its files in the printer-driver folder (names
// of its own: the PostScript driver's shared files are not among them).
bool AddOtherDriver(winsim::Machine& machine, StartingState* state) {
  const winsim::VersionProfile& p = machine.profile();
  const std::string dir = p.driver_dir;
  for (const char* file : {"acmeps.drv", "acmeps.ppd", "acmeui.dll", "acmeps.hlp"}) {
    machine.files().WriteAll(dir + "\\" + file, std::string("Acme driver file ") + file + "\r\n");
  }
  win::DRIVER_INFO_3A driver;
  driver.cVersion = p.driver_version;
  driver.pName = kOtherDriver;
  driver.pEnvironment = p.environment;
  driver.pDriverPath = "acmeps.drv";
  driver.pDataFile = "acmeps.ppd";
  driver.pConfigFile = "acmeui.dll";
  driver.pHelpFile = "acmeps.hlp";
  driver.pDefaultDataType = "RAW";
  const win::DWORD level = machine.spooler().KnowsDriverLevel(3) ? 3 : 2;
  if (!machine.AddPrinterDriverA(nullptr, level, &driver)) {
    state->summary.push_back("driver refused: " + std::to_string(machine.GetLastError()));
    return false;
  }
  state->summary.push_back("driver \"Acme PostScript\"");
  return true;
}

void AddOtherPrinter(winsim::Machine& machine, const char* name, const char* port,
                     StartingState* state) {
  win::PRINTER_INFO_2A printer;
  printer.pPrinterName = name;
  printer.pPortName = port;
  printer.pDriverName = kOtherDriver;
  printer.pPrintProcessor = "winprint";
  printer.pComment = "Second floor";
  const win::HANDLE handle = machine.AddPrinterA(nullptr, 2, &printer);
  if (handle == win::kNullHandle) {
    state->summary.push_back(std::string("printer ") + name +
                             " refused: " + std::to_string(machine.GetLastError()));
    return;
  }
  machine.ClosePrinter(handle);
  const std::string data = std::string(kPrint) + "\\Printers\\" + name + "\\PrinterDriverData";
  machine.registry().PutValue(data, "Resolution", win::REG_DWORD, Dword(600));
  machine.registry().PutValue(std::string(kPrint) + "\\Printers\\" + name, "Default DevMode",
                              win::REG_BINARY, {1, 2, 3, 4, 5});
  state->summary.push_back(std::string("printer \"") + name + "\" on " + port);
}

void AddUninstallEntries(winsim::Machine& machine, Rng& rng, StartingState* state) {
  struct Entry {
    const char* key;
    const char* display;
    const char* command;
  };
  static constexpr Entry kEntries[] = {
      {"Quorrix", "Quorrix 4.3", "C:\\Program Files\\Quorrix\\uninst.exe"},
      {"Orvane Tools", "Orvane Tools", "C:\\Program Files\\Orvane Tools\\remove.exe"},
      {"OrvaneViewer", "Orvane PDF Viewer", "rundll32.exe advpack.dll,LaunchINFSection"},
      {"{6C2E1A40-0B5D-11D3-9A1C-00C04F72D6A1}", "Acme Printer Tools", "msiexec /x"},
  };
  for (const Entry& e : kEntries) {
    if (!rng.Percent(50)) continue;
    const std::string key = std::string(kUninstall) + "\\" + e.key;
    machine.registry().PutValue(key, "DisplayName", win::REG_SZ, Sz(e.display));
    machine.registry().PutValue(key, "UninstallString", win::REG_SZ, Sz(e.command));
    machine.registry().PutKey(key + "\\Components");
    state->summary.push_back(std::string("uninstall entry ") + e.key);
  }
}

// NT family: "Path" with entries of its own, perhaps missing the system
// folder (the case the repair is for), of either string type.
void SetSearchPath(winsim::Machine& machine, Rng& rng, StartingState* state) {
  if (!machine.registry().GetValue(kEnvironment, "Path")) return;
  const std::string w = machine.profile().windows_dir;
  const std::string variants[] = {
      "%SystemRoot%\\system32;%SystemRoot%;%SystemRoot%\\System32\\Wbem;C:\\Tools\\bin",
      "C:\\Program Files\\Acme;%SystemRoot%;;C:\\Perl\\bin\\",
      "C:\\Tools\\bin;C:\\PROGRA~1\\Acme\\bin",
      w + "\\system32\\;" + w + ";%ProgramFiles%\\Acme;C:\\Tools\\bin",
      "",
  };
  const std::string path = rng.Pick(std::span<const std::string>(variants));
  const win::DWORD type = rng.Percent(50) ? win::REG_EXPAND_SZ : win::REG_SZ;
  machine.registry().PutValue(kEnvironment, "Path", type, Sz(path));
  machine.registry().PutValue(kEnvironment, "TEMP", win::REG_EXPAND_SZ, Sz("%SystemRoot%\\TEMP"));
  state->summary.push_back("search path '" + path + "' type " + std::to_string(type));
}

// The settings file: absent, or with odd values and sections of its own.
void WriteSettingsFile(winsim::Machine& machine, const std::string& setupDir, Rng& rng,
                       StartingState* state) {
  if (rng.Percent(35)) return;
  static constexpr const char* kIsXp[] = {nullptr, "",   "0",  "1",           "2",  " 1",
                                          "abc",   "-1", "+0", "99999999999", "1x", "5"};
  static constexpr const char* kQuiet[] = {nullptr, "", "0", "1", "-5", "q", " 7", "2147483648"};
  static constexpr const char* kUninstall[] = {nullptr, "", "1", "0", "yes"};
  const bool crlf = rng.Percent(70);
  const char* eol = crlf ? "\r\n" : "\n";
  std::string text;
  if (rng.Percent(50)) text += std::string("; Orvane settings") + eol;
  if (rng.Percent(50)) text += std::string("[Output]") + eol + "Directory=C:\\PDF" + eol + eol;
  text += std::string(rng.Percent(80) ? "[Parameters]" : "[parameters]") + eol;
  auto line = [&](const char* key, const char* const* values, std::size_t count) {
    const char* value = values[rng.Below(count)];
    if (value != nullptr) text += std::string(key) + (rng.Percent(80) ? "=" : " = ") + value + eol;
  };
  line("IsXPor2000", kIsXp, std::size(kIsXp));
  line("Quiet", kQuiet, std::size(kQuiet));
  line("Uninstall", kUninstall, std::size(kUninstall));
  if (rng.Percent(30)) text += std::string("Language=de") + eol;
  if (rng.Percent(40)) text += std::string("[Fonts]") + eol + "Substitute=1" + eol;
  machine.files().WriteAll(setupDir + "\\res\\orvane.ini", text);
  state->summary.push_back("settings file (" + std::to_string(text.size()) + " bytes)");
}

// NT family: an IniFileMapping entry for the settings file: bare, mapping the
// section to HKLM\SOFTWARE\Orvane\Parameters, or with a subkey of its own
// (which RegDeleteKeyA cannot take on the NT family).
void MapSettings(winsim::Machine& machine, Rng& rng, StartingState* state) {
  if (!machine.registry().KeyExists(kMapping) || !rng.Percent(25)) return;
  const std::string entry = std::string(kMapping) + "\\orvane.ini";
  switch (rng.Below(3)) {
    case 0:
      machine.registry().PutKey(entry);
      state->summary.push_back("IniFileMapping entry, empty");
      break;
    case 1:
      machine.registry().PutValue(entry, "Parameters", win::REG_SZ, Sz("SYS:Orvane\\Parameters"));
      state->mapped_section = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Orvane\\Parameters";
      state->summary.push_back("IniFileMapping entry mapping Parameters");
      break;
    default:
      machine.registry().PutValue(entry + "\\Parameters", "", win::REG_SZ,
                                  Sz("SYS:Orvane\\Parameters"));
      state->mapped_section = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Orvane\\Parameters";
      state->summary.push_back("IniFileMapping entry with a subkey");
      break;
  }
}

void StoreInstallRoot(winsim::Machine& machine, Rng& rng, StartingState* state) {
  const std::string key = "HKLM\\SOFTWARE\\Orvane";
  switch (rng.Below(5)) {
    case 0:
      machine.registry().PutValue(key, "Path", win::REG_SZ, Sz("c:\\"));
      break;
    case 1:
      machine.registry().PutValue(key, "Path", win::REG_EXPAND_SZ, Sz("C:\\"));
      break;
    case 2: {
      std::vector<win::BYTE> bytes = Sz("c:\\");
      for (char c : std::string_view("junk after the NUL"))
        bytes.push_back(static_cast<win::BYTE>(c));
      machine.registry().PutValue(key, "Path", win::REG_BINARY, bytes);
      break;
    }
    default:
      return;
  }
  machine.registry().PutValue(key, "Version", win::REG_SZ, Sz("3.1"));
  state->summary.push_back("installation root stored");
}

}  // namespace

StartingState LayOutStartingState(winsim::Machine& machine, const std::string& setupDir, Rng& rng) {
  StartingState state;
  if (rng.Percent(60) && AddOtherMonitor(machine, &state) && rng.Percent(70) &&
      AddOtherDriver(machine, &state)) {
    AddOtherPrinter(machine, "Acme LaserWriter", "LPT1:", &state);
    if (rng.Percent(50)) AddOtherPrinter(machine, "ORVANE 2", "ACME1:", &state);
  }
  AddUninstallEntries(machine, rng, &state);
  if (rng.Percent(70)) SetSearchPath(machine, rng, &state);
  WriteSettingsFile(machine, setupDir, rng, &state);
  MapSettings(machine, rng, &state);
  StoreInstallRoot(machine, rng, &state);
  if (rng.Percent(30)) {
    machine.registry().PutValue("HKLM\\Software\\Autodesk\\AutoCad", "CurVer", win::REG_SZ,
                                Sz("R15.0"));
    state.summary.push_back("AutoCAD");
  }
  if (rng.Percent(20)) {
    machine.files().WriteAll(
        setupDir + "\\res\\utilities\\readme.html",
        rng.Percent(50) ? "<p>This is Version 4.3 of Quorrix</p>" : "<p>this is version 4.5</p>");
    state.summary.push_back("companion readme");
  }
  // The NT family: a spooler that takes long to stop (jobs in progress).
  if (machine.profile().nt_family && rng.Percent(8)) {
    const std::int64_t ms = 600 + static_cast<std::int64_t>(rng.Below(2400));
    machine.services().SetSpoolerStopMs(ms);
    state.summary.push_back("spooler takes " + std::to_string(ms) + " ms to stop");
  }
  state.earlier_installation = rng.Percent(40);
  state.newer_release = state.earlier_installation && rng.Percent(50);
  return state;
}

void MakeNewerRelease(winsim::Machine& machine, const std::string& setupDir) {
  for (const char* dll : {"orvmon.dll", "orvmon95.dll"}) {
    const std::string path = setupDir + "\\res\\drivedir\\" + dll;
    auto bytes = machine.files().ReadAll(path);
    std::string text = bytes ? std::string(bytes->begin(), bytes->end()) : std::string();
    machine.files().WriteAll(path, text + "release 2\r\n");
  }
}

}  // namespace orvane::campaign
