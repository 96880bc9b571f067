// What the benchmarks share: a scratch folder on memory-backed storage when the
// host has it, and files of a given size written without holding them whole.
#pragma once

#include <stdlib.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <stdexcept>
#include <string>
#include <system_error>
#include <vector>

namespace orvane::bench {

// ORVANE_BENCH_DIR when set, else /dev/shm when present, else the temp folder.
inline std::filesystem::path ScratchRoot() {
  if (const char* dir = std::getenv("ORVANE_BENCH_DIR"); dir && *dir) return dir;
  if (std::filesystem::is_directory("/dev/shm")) return "/dev/shm";
  return std::filesystem::temp_directory_path();
}

// A new folder below ScratchRoot(), removed with everything in it on destruction.
class ScratchFolder {
 public:
  ScratchFolder() {
    std::filesystem::create_directories(ScratchRoot());
    std::string pattern = (ScratchRoot() / "orvane-bench-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp " + pattern);
    path_ = pattern;
  }
  ~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

// Writes `mib` MiB of pseudo-random bytes to `path`, one MiB at a time, so
// that the writer's own memory stays small.
inline void WriteFileOfSize(const std::filesystem::path& path, std::uint64_t mib) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  std::mt19937_64 random(mib);
  std::vector<std::uint64_t> chunk((1 << 20) / sizeof(std::uint64_t));
  for (std::uint64_t i = 0; i < mib; ++i) {
    for (std::uint64_t& word : chunk) word = random();
    out.write(reinterpret_cast<const char*>(chunk.data()),
              static_cast<std::streamsize>(chunk.size() * sizeof(std::uint64_t)));
  }
  if (!out.flush()) throw std::runtime_error("cannot write " + path.string());
}

}  // namespace orvane::bench
