// The simulated print spooler: monitors, drivers, ports and printers kept in
// the registry keys where Windows keeps them, with Windows' checks and codes.
// (Filled by the spooler work; the Machine forwards the spooler calls here.)
#pragma once

#include "winsim/filesystem.h"
#include "winsim/registry.h"
#include "winsim/versions.h"

namespace orvane::winsim {

class Spooler {
 public:
  Spooler(const VersionProfile& profile, Registry& registry, FileSystem& files)
      : profile_(profile), registry_(registry), files_(files) {}

 private:
  [[maybe_unused]] const VersionProfile& profile_;
  [[maybe_unused]] Registry& registry_;
  [[maybe_unused]] FileSystem& files_;
};

}  // namespace orvane::winsim
