// A whole machine over its own temporary folder: Windows laid out as `winsim create` lays it
// out, the product tree in the setup folder, and setup run on it through its real start-up
// with a command line; or a bare machine that only knows setup is C:\orvane\setup.exe.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "app/setup_app.h"
#include "main/product_tree.h"
#include "platform/command_line.h"
#include "platform/framework.h"
#include "winsim/layout.h"
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

struct ScenarioOptions {
  std::string setup_dir = "c:\\orvane";
  bool postscript_driver = true;
  bool bare = false;  // no Windows folders, no product
};

class Scenario {
 public:
  explicit Scenario(winsim::WindowsVersion version = winsim::WindowsVersion::kWinXp,
                    ScenarioOptions options = {})
      : machine_(version, folder_.path() / "drive_c") {
    if (options.bare) {
      machine_.SetModulePath("C:\\orvane\\setup.exe");
      return;
    }
    winsim::LayOutWindows(machine_, {options.postscript_driver});
    LayOutProduct(machine_, options.setup_dir);
  }
  winsim::Machine& operator*() { return machine_; }
  winsim::Machine* operator->() { return &machine_; }
  // The host folder that holds drive_c.
  const std::filesystem::path& folder() const { return folder_.path(); }

  // Runs setup with these arguments, as a user would start it; its exit code.
  int Run(const std::vector<std::string>& args = {}) {
    return RunCommandLine(BuildProcessCommandLine(machine_.module_path(), args));
  }
  // Runs setup as a new process started with this command line (its name first).
  int RunCommandLine(const std::string& commandLine) {
    machine_.SetLastError(0);
    machine_.SetCommandLine(commandLine);
    SetupApp app;
    return AfxWinMain(machine_, app);
  }

  // The setup log's lines (split at "\r\n"); none without a log.
  std::vector<std::string> LogLines(
      const std::string& path = "c:\\orvane\\res\\drivedir\\setup.log") const {
    std::vector<std::string> lines;
    auto bytes = machine_.files().ReadAll(path);
    const std::string text = bytes ? std::string(bytes->begin(), bytes->end()) : "";
    for (std::size_t start = 0, end; start < text.size(); start = end + 2) {
      end = std::min(text.find("\r\n", start), text.size());
      lines.push_back(text.substr(start, end - start));
    }
    return lines;
  }

 private:
  TempFolder folder_;  // declared first: outlives the machine
  winsim::Machine machine_;
};

// A machine with nothing on it but what a test puts there.
inline Scenario BareMachine(winsim::WindowsVersion version = winsim::WindowsVersion::kWinXp) {
  return Scenario(version, {.bare = true});
}

// "text" as a REG_SZ's bytes, with its NUL.
inline std::vector<win::BYTE> SzBytes(std::string_view text) {
  std::vector<win::BYTE> bytes(text.begin(), text.end());
  bytes.push_back(0);
  return bytes;
}

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
