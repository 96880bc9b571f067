// A simulated machine for fuzz targets: one drive folder for the whole process.
#pragma once

#include <unistd.h>

#include <filesystem>
#include <string>

namespace orvane::fuzz {

inline const std::filesystem::path& DriveFolder() {
  static const std::filesystem::path path = [] {
    auto p = std::filesystem::temp_directory_path() /
             ("orvane-fuzz-" + std::to_string(::getpid())) / "drive_c";
    std::filesystem::create_directories(p);
    return p;
  }();
  return path;
}

}  // namespace orvane::fuzz
