// A whole machine over its own temporary folder (winsim/sim_fixture.h): Windows laid out, the
// product tree in the setup folder, and setup run on it through its real start-up
// with a command line; or a bare machine that only knows setup is C:\orvane\setup.exe.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/setup_app.h"
#include "main/product_tree.h"
#include "platform/command_line.h"
#include "platform/framework.h"
#include "winsim/layout.h"
#include "winsim/machine.h"
#include "winsim/sim_fixture.h"

namespace orvane::setup_test {

struct ScenarioOptions {
  std::string setup_dir = "c:\\orvane";
  bool postscript_driver = true;
  bool bare = false;  // no Windows folders, no product
};

class Scenario : public winsim::testing::SimMachine {
 public:
  explicit Scenario(winsim::WindowsVersion version = winsim::WindowsVersion::kWinXp,
                    ScenarioOptions options = {})
      : SimMachine(version, options.bare ? std::nullopt
                                         : std::optional(winsim::LayoutOptions{
                                               options.postscript_driver})) {
    if (options.bare) {
      machine->SetModulePath("C:\\orvane\\setup.exe");
      return;
    }
    LayOutProduct(*machine, options.setup_dir);
  }
  // The host folder that holds drive_c.
  const std::filesystem::path& folder() const { return dir.path(); }

  // Runs setup with these arguments, as a user would start it; its exit code.
  int Run(const std::vector<std::string>& args = {}) {
    return RunCommandLine(BuildProcessCommandLine(machine->module_path(), args));
  }
  // Runs setup as a new process started with this command line (its name first).
  int RunCommandLine(const std::string& commandLine) {
    machine->SetLastError(0);
    machine->SetCommandLine(commandLine);
    SetupApp app;
    return AfxWinMain(*machine, app);
  }

  // The setup log's lines (split at "\r\n"); none without a log.
  std::vector<std::string> LogLines(
      const std::string& path = "c:\\orvane\\res\\drivedir\\setup.log") const {
    std::vector<std::string> lines;
    auto bytes = machine->files().ReadAll(path);
    const std::string text = bytes ? std::string(bytes->begin(), bytes->end()) : "";
    for (std::size_t start = 0, end; start < text.size(); start = end + 2) {
      end = std::min(text.find("\r\n", start), text.size());
      lines.push_back(text.substr(start, end - start));
    }
    return lines;
  }
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
