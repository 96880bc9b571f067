// Random starting states: what a machine holds before the campaign runs setup
// on it, besides Windows and the product's folder. Other people's printers,
// ports, drivers, monitors and Add/Remove Programs entries, a search path with
// entries of its own, a settings file with odd values, AutoCAD, an installation
// root stored in the registry, an IniFileMapping entry for the settings file,
// a companion product's readme, a spooler that is slow to stop. The spooler objects are made
// through the spooler's calls, as their own installers would; the rest is written into the registry
// and onto the disk directly.
//
// Names are chosen to sit close to the product's ("ORVANE 2", "Orvane Tools")
// so that a deletion that reaches too far shows.
#pragma once

#include <string>
#include <vector>

#include "tools/campaign/rng.h"
#include "winsim/machine.h"

namespace orvane::campaign {

struct StartingState {
  // Run setup once before the campaign's own runs (possibly with faults) ...
  bool earlier_installation = false;
  // ... after which the product folder holds a newer release, whose monitor
  // DLLs differ in size from the installed ones.
  bool newer_release = false;
  // The registry key an IniFileMapping entry maps the settings to; "" for none.
  std::string mapped_section;
  // One line per item laid out, for --verbose.
  std::vector<std::string> summary;
};

// Lays out a random starting state on a machine that holds Windows and the
// product (LayOutWindows, LayOutProduct) and nothing else; no fault may be
// armed. The product folder is `setupDir`.
StartingState LayOutStartingState(winsim::Machine& machine, const std::string& setupDir, Rng& rng);

// Makes the product folder a newer release: the shipped monitor DLLs grow.
void MakeNewerRelease(winsim::Machine& machine, const std::string& setupDir);

}  // namespace orvane::campaign
