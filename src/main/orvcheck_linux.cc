// `orvcheck` on Linux: the same checks as orvcheck.exe, over a simulated
// Windows machine.
//
// The machine is the folder named by ORVANE_MACHINE, or ~/.orvane/machine.
// Unlike setup it never makes one and never saves it: the machine is loaded
// under its lock, checked in memory, and the lock let go before the report is
// printed. A missing or damaged machine, or one held by another process past
// the wait, ends with 3, as bad arguments do.
#include <cstdio>
#include <string>
#include <vector>

#include "check/command.h"
#include "install/context.h"
#include "main/product_tree.h"

int main(int argc, char** argv) {
  using namespace orvane;
  const auto options = check::ParseArguments({argv + 1, argv + argc});
  if (!options) {
    std::fputs(check::Usage().c_str(), stderr);
    return check::kCannotRun;
  }
  check::Outcome outcome;
  if (options->help) {
    outcome = {0, check::Usage()};
  } else {
    try {
      const std::filesystem::path dir = DefaultMachineDir();
      if (!winsim::MachineFolder::HoldsMachine(dir)) {
        throw winsim::HostError("no machine at " + dir.string() +
                                " (make one with: winsim create DIR)");
      }
      winsim::MachineFolder folder(dir, winsim::DefaultLockWait());
      const std::unique_ptr<winsim::Machine> machine = folder.Load();
      outcome = check::RunCheck(*machine, *options, GetSetupDirectory(*machine));
    } catch (const winsim::HostError& e) {
      std::fprintf(stderr, "orvcheck: %s\n", e.what());
      return check::kCannotRun;
    }
  }
  std::fwrite(outcome.out.data(), 1, outcome.out.size(), stdout);
  return outcome.exit_code;
}
