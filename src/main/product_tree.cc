#include "main/product_tree.h"

#include <cstdlib>

#include "winsim/layout.h"

namespace orvane {

const char* const kProductFiles[] = {
    "setup.exe",
    "readme.html",
    "res\\pdfwrite.rsp",
    "res\\convert\\gswin32c.exe",
    "res\\drivedir\\orvmon.dll",
    "res\\drivedir\\orvmona.dll",
    "res\\drivedir\\orvmon95.dll",
    "res\\drivedir\\orvmona95.dll",
    "res\\drivedir\\orvdriver.SPD",
    "res\\drivedir\\Pscript.dll",
    "res\\drivedir\\Orvaneui.dll",
    "res\\drivedir\\Pscript.hlp",
    "res\\drivedir\\ovps.PPD",
    "res\\drivedir\\ovfonts.tbl",
    "res\\drivedir\\orvaneps5.PPD",
    "res\\drivedir\\pscript5.dll",
    "res\\drivedir\\ps5ui.dll",
    "res\\drivedir\\orvane.INI",
    "res\\drivedir\\orvaneui5.DLL",
    "res\\drivedir\\pscript.ntf",
    "res\\drivedir\\ovprndata.dat",
    "res\\drivedir\\ovprndata5.dat",
    "res\\drivedir\\ovdevmd.dat",
    "res\\drivedir\\ovdevmdnt.dat",
    "res\\drivedir\\ovdevmdnt5.dat",
    "res\\drivedir\\download.htm",
    "res\\drivedir\\rpcblocked.tmp",
    nullptr,
};

namespace {

// Each stand-in names itself, so a copy can be told from its source's
// neighbours; the monitor DLLs also name the entry point a port monitor exports.
std::string StandIn(const std::string& relative) {
  std::string text = "Orvane stand-in: " + relative + "\r\n";
  if (relative.find("orvmon") != std::string::npos &&
      relative.find("orvmona") == std::string::npos) {
    text += "exports InitializePrintMonitor2\r\n";
  }
  return text;
}

}  // namespace

void LayOutProduct(winsim::Machine& machine, const std::string& setupDir) {
  std::string dir = setupDir;
  while (!dir.empty() && (dir.back() == '\\' || dir.back() == '/')) dir.pop_back();
  for (const char* const* file = kProductFiles; *file; ++file) {
    machine.files().WriteAll(dir + "\\" + *file, StandIn(*file));
  }
  machine.SetModulePath(machine.files().Canonical(dir + "\\setup.exe"));
  machine.SetCommandLine("\"" + machine.module_path() + "\"");
  machine.files().SetCurrentDirectory(machine.files().Canonical(dir));
}

void CreateMachine(const winsim::MachineFolder& folder, const NewMachineOptions& options) {
  if (winsim::MachineFolder::HoldsMachine(folder.dir())) {
    throw winsim::HostError("a machine exists already at " + folder.dir().string());
  }
  std::string dir = options.setup_dir;
  if (dir.size() < 3 || (dir[0] != 'c' && dir[0] != 'C') || dir[1] != ':' ||
      (dir[2] != '\\' && dir[2] != '/')) {
    throw winsim::HostError("the setup folder must be a full path on drive C:, not '" +
                            dir + "'");
  }
  winsim::Machine machine(options.version, folder.drive_c());
  winsim::LayOutWindows(machine, {options.postscript_driver});
  LayOutProduct(machine, options.setup_dir);
  folder.Save(machine);
}

std::filesystem::path DefaultMachineDir() {
  if (const char* dir = std::getenv("ORVANE_MACHINE"); dir && *dir) return dir;
  if (const char* home = std::getenv("HOME"); home && *home) {
    return std::filesystem::path(home) / ".orvane" / "machine";
  }
  return "orvane-machine";
}

}  // namespace orvane
