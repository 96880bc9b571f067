// A new simulated machine with the product laid out on it, as `winsim create`
// and the first run of `setup` on Linux make one: Windows' own files, then the
// product tree in the setup folder with a placeholder setup.exe and small
// stand-ins for every file the installer copies, reads or opens. The settings
// file res\orvane.ini is not among them: only a profile write creates it.
#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "winsim/machine_store.h"

namespace orvane {

struct NewMachineOptions {
  winsim::WindowsVersion version = winsim::WindowsVersion::kWinXp;
  std::string setup_dir = "c:\\orvane";  // the folder that holds setup.exe
  bool postscript_driver = true;         // Windows 95/98/ME only
};

// The product's files below the setup folder, as relative paths.
extern const char* const kProductFiles[];

void LayOutProduct(winsim::Machine& machine, const std::string& setupDir);

// Lays out a new machine in a locked folder that holds none yet, and saves it.
void CreateMachine(const winsim::MachineFolder& folder, const NewMachineOptions& options);

// The machine that setup and orvcheck run on: the folder ORVANE_MACHINE names,
// else ~/.orvane/machine.
std::filesystem::path DefaultMachineDir();

}  // namespace orvane
