// The product's state on a machine, as the campaign judges it: what a whole
// installation holds, and what a removal may leave behind.
//
// Reads go through the machine's own calls (the settings through
// GetPrivateProfileStringA, so an IniFileMapping entry is followed) and its
// state; call them with no fault armed.
#pragma once

#include <string>
#include <vector>

#include "tools/campaign/snapshot.h"
#include "winsim/machine.h"

namespace orvane::campaign {

// What a whole installation can hold on this machine. The installer registers
// its monitor for "Windows 4.0" on Windows 95/98/ME and "Windows NT x86"
// elsewhere, and its driver at level 3 (version 2) or, when the settings or
// the version say Windows 2000/XP, at level 6 (version 3): a Windows whose
// spooler knows no such environment, level or version (Win32s, NT 3.51, and
// Windows 95/98/ME or NT 4 told by "IsXPor2000" = 1 that they are 2000/XP)
// ends up without them, and without the printer that needs the driver.
struct WholeInstallation {
  bool monitor = true;
  bool driver = true;     // and the printer
  bool version3 = false;  // the Windows 2000/XP variant of the data files
};
WholeInstallation ExpectedInstallation(winsim::Machine& machine, const std::string& settingsFile);

// What a whole installation lacks on the machine, one line each: the printer
// "ORVANE" on "ORVANEPORT" with the driver, the monitor registered, the port's
// twelve values, the printer's data and default settings, the Add/Remove
// Programs entry (unless `rpcUnavailable`: the run met an unreachable spooler)
// and "Quiet" = "0". Empty when whole.
std::vector<std::string> MissingFromInstallation(winsim::Machine& machine,
                                                 const std::string& setupDir, bool rpcUnavailable);

// A settings value as the machine reads it; "<absent>" when there is none.
std::string ReadSetting(winsim::Machine& machine, const std::string& settingsFile, const char* key);

// The settings the residue rules look at, taken before an installation.
struct SettingsBefore {
  std::string uninstall, ts_enabled, is_xp_or_2000;
};
SettingsBefore ReadSettingsBefore(winsim::Machine& machine, const std::string& settingsFile);

// What an install then an uninstall (two runs on Windows 95/98/ME) left that
// the README does not list, against the state `before` the installation.
std::vector<std::string> ResidueFindings(winsim::Machine& machine, const Snapshot& before,
                                         const Snapshot& after, const SettingsBefore& settings,
                                         const std::string& setupDir);

}  // namespace orvane::campaign
