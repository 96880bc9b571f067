// A whole machine for scenario tests: Windows laid out as `winsim create` lays
// it out, the product tree in the setup folder, and `setup` run on it through
// its real start-up with a command line. Readers for what a user or an
// administrator sees afterwards: log lines, standard output, journal events,
// registry values, files.
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

  // Runs setup with these arguments, as a user would start it; its exit code.
  int Run(const std::vector<std::string>& args = {}) {
    machine_.SetCommandLine(BuildProcessCommandLine(machine_.module_path(), args));
    SetupApp app;
    return AfxWinMain(machine_, app);
  }

  // The setup log at the default root, split at "\r\n"; the empty line after
  // a text that ends in "\r\n" is kept. Empty when there is no log.
  std::vector<std::string> LogLines(
      const std::string& path = "c:\\orvane\\res\\drivedir\\setup.log") const {
    std::vector<std::string> lines;
    auto bytes = machine_.files().ReadAll(path);
    if (!bytes) return lines;
    std::string text(bytes->begin(), bytes->end());
    std::size_t start = 0;
    while (start < text.size()) {
      std::size_t end = text.find("\r\n", start);
      if (end == std::string::npos) {
        lines.push_back(text.substr(start));
        break;
      }
      lines.push_back(text.substr(start, end - start));
      start = end + 2;
    }
    return lines;
  }

  // A registry value's bytes, or nullopt.
  std::optional<winsim::RegValue> Value(const std::string& key,
                                        const std::string& name) const {
    return machine_.registry().GetValue(key, name);
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
