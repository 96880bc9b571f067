#include "check/windows_facts.h"

#include <cstring>

#include "app/install_root.h"
#include "install/context.h"
#include "install/product.h"

namespace orvane::check {
namespace {

constexpr std::size_t kDirectoryBuffer = 512;
constexpr std::size_t kDriverDirBuffer = 256;

}  // namespace

std::string WindowsFacts::Windows() const {
  const char* family = nt_family ? "NT family" : win9x_path ? "95/98/ME family" : "Win32s";
  std::string version = std::to_string(major) + "." + std::to_string(minor);
  if (nt_family) version.append(".").append(std::to_string(build));  // GetVersion: NT only
  return version + ", " + family;
}

std::vector<std::string> WindowsFacts::InstallerDriverFiles() const {
  std::vector<std::string> files;
  if (win9x_path) {
    files = {"orvdriver.SPD"};
  } else {
    files = {"Pscript.dll", "Orvaneui.dll", "Pscript.hlp"};
  }
  files.insert(files.end(), {"ovps.PPD", "ovfonts.tbl"});
  if (version3) {
    files.insert(files.end(), {"orvaneps5.PPD", "pscript5.dll", "ps5ui.dll", "orvane.INI",
                               "orvaneui5.DLL", "pscript.ntf"});
  }
  return files;
}

WindowsFacts ReadWindowsFacts(Platform& platform, const std::string& setupDir) {
  WindowsFacts facts;
  const win::DWORD version = platform.GetVersion();
  facts.nt_family = (version & 0x80000000u) == 0;
  facts.major = version & 0xFF;
  facts.minor = (version >> 8) & 0xFF;
  facts.build = facts.nt_family ? version >> 16 : 0;
  facts.win9x_path = !facts.nt_family && facts.major >= 4;
  facts.environment = facts.win9x_path ? product::kEnvironmentWin9x : product::kEnvironmentNt;
  facts.version3 = QueryIsXPor2000(platform);
  facts.monitor_dll = facts.nt_family ? "orvmon.dll" : "orvmon95.dll";
  facts.monitor_companion = facts.nt_family ? "orvmona.dll" : "orvmona95.dll";

  char system[kDirectoryBuffer] = {};
  platform.GetSystemDirectoryA(system);
  facts.system_dir = std::string(system, strnlen(system, sizeof system)) + "\\";
  char driver[kDriverDirBuffer] = {};
  win::DWORD needed = 0;
  if (platform.GetPrinterDriverDirectoryA(nullptr, nullptr, 1, driver, &needed)) {
    facts.driver_dir = std::string(driver, strnlen(driver, sizeof driver));
  } else {
    facts.driver_dir = DefaultDriverDirectory(facts.system_dir, facts.nt_family);
  }
  facts.setup_dir = setupDir;
  facts.root = GetInstallRoot(platform);

  // The spooler's driver versions: NT 3.51 runs version 1, NT 4 version 2,
  // 2000 and XP version 3 and 2; level 6 came with Windows 2000, level 3
  // with NT 4 and Windows 95.
  if (!facts.nt_family && !facts.win9x_path) {
    facts.no_monitor = "this Windows runs no spooler of the 95/98/ME or NT family";
    facts.no_driver = facts.no_monitor;
  } else if (facts.version3 && !(facts.nt_family && facts.major >= 5)) {
    facts.no_driver =
        "\"IsXPor2000\" = 1 in the settings file asks for the Windows 2000/XP driver, which "
        "this Windows cannot take";
  } else if (facts.nt_family && facts.major < 4) {
    facts.no_driver = "Windows NT before 4.0 takes no driver of version 2 or 3";
  }
  if (facts.nt_family) facts.version_folder.assign(1, facts.version3 ? '3' : '2');
  return facts;
}

}  // namespace orvane::check
