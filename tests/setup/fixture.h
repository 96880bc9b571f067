// A fresh simulated machine per test over its own temporary folder, with the program at
// C:\orvane\setup.exe, and small readers of what it holds.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "winsim/machine.h"

namespace orvane::setup_test {

// A temporary host folder with a drive_c in it, removed with all it holds on destruction.
class TempFolder {
 public:
  TempFolder() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "orvane-setup-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp");
    path_ = pattern;
    std::filesystem::create_directories(path_ / "drive_c");
  }
  ~TempFolder() { std::filesystem::remove_all(path_, ignored_); }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
  std::error_code ignored_;
};

class TestMachine {
 public:
  explicit TestMachine(winsim::WindowsVersion version = winsim::WindowsVersion::kWinXp)
      : machine_(version, folder_.path() / "drive_c") {
    machine_.SetModulePath("C:\\orvane\\setup.exe");
  }
  winsim::Machine& operator*() { return machine_; }
  winsim::Machine* operator->() { return &machine_; }

 private:
  TempFolder folder_;  // declared first: outlives the machine
  winsim::Machine machine_;
};

// The bytes of a file on the simulated disk as text; "<missing>" when absent.
inline std::string FileText(const winsim::Machine& machine, std::string_view path) {
  auto bytes = machine.files().ReadAll(path);
  return bytes ? std::string(bytes->begin(), bytes->end()) : "<missing>";
}

inline std::string Joined(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\n";
  return text;
}

}  // namespace orvane::setup_test
