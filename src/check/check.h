// The two questions orvcheck answers, part by part (report.h), reading the
// machine through the Platform only: the spooler's own listings where Windows
// has them (monitors, ports, drivers, printers, the Spooler service), the
// registry and the disk elsewhere. Neither changes anything on the machine,
// starts a program or needs administrative rights.
//
// `setupDir` is the product folder, without its trailing '\': the folder the
// port's program paths name and the printer's data files are read from (where
// setup and orvcheck themselves lie).
#pragma once

#include <string>

#include "check/report.h"
#include "platform/platform.h"

namespace orvane::check {

// Is the product installed whole? Parts, in this order:
//   spooler          (NT family) the Spooler service runs
//   monitor          "ORVANE Monitor" listed, with the family's DLL
//   monitor-files    that DLL and its companion in the system folder, the same
//                    bytes as in <setupDir>\res\drivedir
//   port             "ORVANEPORT" listed as the monitor's, its twelve values
//   driver           "ORVANE Printer Driver" listed for the family's environment
//                    at the version the installer chooses
//   driver-files     the files the spooler's driver record names, and setup's
//                    copies in the printer-driver folder
//   printer          "ORVANE" listed, on "ORVANEPORT", with the driver
//   printer-data     its driver data, font table (before 2000/XP) and default
//                    settings, byte for byte as the product's data files
//   uninstall-entry  the Add/Remove Programs entry and its command
//   settings         the settings file as an installation leaves it
// A part that this Windows cannot take is missing with kNotOnThisWindows.
Report CheckInstallation(Platform& platform, const std::string& setupDir);

// Did a removal leave only what it is meant to leave? The printer, driver,
// monitor and port gone (listings and keys), the Add/Remove Programs entry
// gone (on Windows 95/98/ME kept after the first of the two runs), and the
// files and the settings file staying; on Windows 95/98/ME "Uninstall" = "1".
Report CheckRemoval(Platform& platform, const std::string& setupDir);

}  // namespace orvane::check
