#include "winsim/layout.h"

#include <string>

namespace orvane::winsim {

using namespace orvane::win;

const char* const kWin9xPostScriptFiles[] = {
    "Pscript.drv", "Pscript.hlp", "msprint.cat", "LWNT_470.SPD", "PSCRIPT.INI",
    "TESTPS.TXT", "APPLE380.SPD", "FONTS.MFM", "ICONLIB.DLL", "PSMON.DLL", nullptr};

namespace {

std::vector<BYTE> Sz(std::string_view text) {
  std::vector<BYTE> bytes(text.begin(), text.end());
  bytes.push_back(0);
  return bytes;
}

std::string StandIn(std::string_view name) {
  return "Windows stand-in: " + std::string(name) + "\r\n";
}

}  // namespace

void LayOutWindows(Machine& machine, const LayoutOptions& options) {
  const VersionProfile& p = machine.profile();
  FileSystem& files = machine.files();
  Registry& reg = machine.registry();
  std::string windows = p.windows_dir;
  std::string system = p.system_dir;

  files.MakeDirectories(windows + "\\TEMP");
  files.MakeDirectories(system);
  files.MakeDirectories(p.driver_dir);
  files.MakeDirectories("C:\\Program Files");
  files.WriteAll(p.rundll32, StandIn("rundll32.exe"));
  for (const char* dll : {"kernel32.dll", "user32.dll", "shell32.dll", "url.dll"}) {
    files.WriteAll(system + "\\" + dll, StandIn(dll));
  }
  if (!p.nt_family && p.major == 4 && options.postscript_driver) {
    for (const char* const* name = kWin9xPostScriptFiles; *name; ++name) {
      files.WriteAll(system + "\\" + *name, StandIn(*name));
    }
  }

  const std::string print = "HKLM\\SYSTEM\\CurrentControlSet\\Control\\Print";
  reg.PutKey(print + "\\Printers");
  reg.PutValue(print + "\\Monitors\\Local Port", "Driver", REG_SZ,
               Sz(p.nt_family ? "localspl.dll" : "spoolss.dll"));
  std::string env = print + "\\Environments\\" + p.environment;
  if (p.nt_family) {
    reg.PutKey(env + "\\Drivers\\Version-" + std::to_string(p.driver_version));
    if (p.driver_version == 3) reg.PutKey(env + "\\Drivers\\Version-2");
  } else {
    reg.PutKey(env + "\\Drivers");  // 95/98/ME keep drivers without a version level
  }
  reg.PutValue(env + "\\Print Processors\\winprint", "Driver", REG_SZ,
               Sz(p.nt_family ? "WinPrint.dll" : "spoolss.dll"));
  for (const char* port : {"COM1:", "COM2:", "COM3:", "COM4:", "FILE:", "LPT1:", "LPT2:",
                           "LPT3:"}) {
    reg.PutValue("HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Ports", port,
                 REG_SZ, Sz(""));
  }
  reg.PutKey("HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall");
  reg.PutKey("HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Run");

  if (p.nt_family) {
    std::string path = "%SystemRoot%\\system32;%SystemRoot%";
    if (p.major >= 5) path += ";%SystemRoot%\\System32\\Wbem";
    reg.PutValue("HKLM\\SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment",
                 "Path", REG_EXPAND_SZ, Sz(path));
    reg.PutKey("HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\IniFileMapping");
    std::vector<BYTE> start = {2, 0, 0, 0};  // automatic
    reg.PutValue("HKLM\\SYSTEM\\CurrentControlSet\\Services\\Spooler", "Start",
                 REG_DWORD, start);
    reg.PutValue("HKLM\\SYSTEM\\CurrentControlSet\\Services\\Spooler", "ImagePath",
                 REG_EXPAND_SZ, Sz("%SystemRoot%\\system32\\spoolsv.exe"));
    files.WriteAll(system + "\\spoolsv.exe", StandIn("spoolsv.exe"));
    files.WriteAll(system + "\\localspl.dll", StandIn("localspl.dll"));
  }
}

}  // namespace orvane::winsim
