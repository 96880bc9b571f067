// What an installation leaves on the running Windows, worked out as the
// installer works it out: the family from GetVersion, the driver's variant
// from QueryIsXPor2000 (the settings file, then the version), the folders
// from Windows itself, the root from the registry. Reading them changes
// nothing.
#pragma once

#include <string>
#include <vector>

#include "platform/platform.h"

namespace orvane::check {

struct WindowsFacts {
  bool nt_family = false;   // bit 31 of GetVersion clear
  bool win9x_path = false;  // not NT, major version 4 or more: "Windows 4.0"
  win::DWORD major = 0, minor = 0, build = 0;
  const char* environment = "";   // the installer's: "Windows 4.0" or "Windows NT x86"
  bool version3 = false;          // the Windows 2000/XP driver and data files
  std::string monitor_dll;        // "orvmon.dll" or "orvmon95.dll"
  std::string monitor_companion;  // "orvmona.dll" or "orvmona95.dll"
  std::string system_dir;         // with its trailing '\'
  std::string driver_dir;         // the printer-driver folder, without '\'
  std::string setup_dir;          // the product folder, without '\'
  std::string root;               // the installation root, with '\'
  // Why this Windows cannot take the monitor, or the driver and with it the
  // printer; empty when it can. The installer registers its monitor for the
  // environment of its family path and its driver at level 3 (version 2) or
  // level 6 (version 3); a spooler that knows no such environment, level or
  // version refuses them.
  std::string no_monitor;
  std::string no_driver;
  // The spooler's version folder for the driver's files ("3", "2"); empty on
  // Windows 95/98/ME, where they stay in the driver folder.
  std::string version_folder;

  std::string Windows() const;  // "5.1.2600, NT family", "4.10, 95/98/ME family"
  // The files the installer copies into the driver folder, in its order.
  std::vector<std::string> InstallerDriverFiles() const;
};

// `setupDir` is the product folder (no trailing '\'): the folder the port's
// program paths and the printer's data files name.
WindowsFacts ReadWindowsFacts(Platform& platform, const std::string& setupDir);

}  // namespace orvane::check
