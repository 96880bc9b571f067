// A whole machine: Windows laid out as `winsim create` lays it out, the product tree in the
// setup folder, and setup run on it through its real start-up with a command line.
#pragma once

#include <string>
#include <vector>

#include "app/setup_app.h"
#include "fixture.h"
#include "main/product_tree.h"
#include "platform/command_line.h"
#include "platform/framework.h"
#include "winsim/layout.h"

namespace orvane::setup_test {

struct ScenarioOptions {
  std::string setup_dir = "c:\\orvane";
  bool postscript_driver = true;
};

class Scenario {
 public:
  explicit Scenario(winsim::WindowsVersion version, ScenarioOptions options = {})
      : machine_(version, folder_.path() / "drive_c") {
    winsim::LayOutWindows(machine_, {options.postscript_driver});
    LayOutProduct(machine_, options.setup_dir);
  }
  winsim::Machine& operator*() { return machine_; }
  winsim::Machine* operator->() { return &machine_; }
  // The host folder that holds drive_c.
  const std::filesystem::path& folder() const { return folder_.path(); }

  // Runs setup with these arguments, as a user would start it; its exit code.
  int Run(const std::vector<std::string>& args = {}) {
    machine_.SetCommandLine(BuildProcessCommandLine(machine_.module_path(), args));
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

// "text" as a REG_SZ's bytes, with its NUL.
inline std::vector<win::BYTE> SzBytes(std::string_view text) {
  std::vector<win::BYTE> bytes(text.begin(), text.end());
  bytes.push_back(0);
  return bytes;
}

}  // namespace orvane::setup_test
