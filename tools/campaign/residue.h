// How the campaign judges the product's state: with orvcheck's own checks
// (src/check), and, after a healthy install and uninstall, with what only a
// before-and-after comparison can tell.
#pragma once

#include <string>
#include <vector>

#include "check/report.h"
#include "tools/campaign/snapshot.h"
#include "winsim/machine.h"

namespace orvane::campaign {

// What keeps the installation from being whole, one line per part ("part:
// detail"): the findings of check::CheckInstallation, but for parts this
// Windows cannot take and, when `rpcUnavailable` (the run met an unreachable
// spooler and so wrote none), the Add/Remove Programs entry. Empty when whole.
std::vector<std::string> MissingFromInstallation(winsim::Machine& machine,
                                                 const std::string& setupDir, bool rpcUnavailable);

// The settings the residue rules compare with, taken before the installation.
struct SettingsBefore {
  std::string uninstall, ts_enabled, is_xp_or_2000;
};
SettingsBefore ReadSettingsBefore(winsim::Machine& machine, const std::string& settingsFile);

// What an install then an uninstall (two runs on Windows 95/98/ME) left that
// the README does not list: the findings of check::CheckRemoval, then against
// the state `before` the installation: the second printer key of earlier
// releases, the IniFileMapping entry, the search path, the files below the
// product folder and the settings the removal must leave as they were.
std::vector<std::string> ResidueFindings(winsim::Machine& machine, const Snapshot& before,
                                         const Snapshot& after, const SettingsBefore& settings,
                                         const std::string& setupDir);

}  // namespace orvane::campaign
