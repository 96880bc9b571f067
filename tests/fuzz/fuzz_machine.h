// A simulated machine for fuzz targets: one drive folder for the whole process,
// removed when it ends.
#pragma once

#include <filesystem>

#include "winsim/sim_fixture.h"

namespace orvane::fuzz {

inline const std::filesystem::path& DriveFolder() {
  static const winsim::testing::TempDir dir;
  static const std::filesystem::path drive = dir.path() / "drive_c";
  std::filesystem::create_directories(drive);
  return drive;
}

}  // namespace orvane::fuzz
