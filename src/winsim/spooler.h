// The simulated print spooler: monitors, drivers, ports and printers kept in
// the registry keys where Windows keeps them, with Windows' checks and codes.
// (Filled by the spooler work; the Machine forwards the spooler calls here.)
#pragma once

#include <cstddef>

#include "winsim/filesystem.h"
#include "winsim/registry.h"
#include "winsim/versions.h"

namespace orvane::winsim {

class Spooler {
 public:
  Spooler(const VersionProfile& profile, Registry& registry, FileSystem& files)
      : profile_(profile), registry_(registry), files_(files) {}

  // The service manager tells the spooler when its service stops and starts
  // (a restart, a reboot): a stopped spooler unloads its monitor DLLs; a
  // started one loads the DLLs of the monitors registered then.
  void OnSpoolerStopped() {}
  void OnSpoolerStarted() {}

  // Printer handles opened and not yet closed.
  std::size_t OpenHandleCount() const { return 0; }

 private:
  [[maybe_unused]] const VersionProfile& profile_;
  [[maybe_unused]] Registry& registry_;
  [[maybe_unused]] FileSystem& files_;
};

}  // namespace orvane::winsim
