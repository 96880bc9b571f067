// `setup` on Linux: the same program, run against a simulated Windows machine.
//
// The machine is the folder named by ORVANE_MACHINE, or ~/.orvane/machine; a
// missing machine is made first (Windows XP, the product in c:\orvane). The
// arguments become the process command line as Windows would build it, behind
// the machine's module path. Message boxes are shown on standard error; a
// Yes/No box takes a queued answer, or asks at the terminal, or answers No.
//
// Inside the simulated run setup always ends with 0; a failure of the host
// around it (no machine, a damaged file, the machine busy) ends with 1.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "app/setup_app.h"
#include "main/product_tree.h"
#include "platform/command_line.h"
#include "platform/framework.h"

namespace {

std::optional<int> ShowMessageBox(std::string_view text, std::string_view caption,
                                  orvane::win::UINT type) {
  using namespace orvane::win;
  std::cerr << "[" << caption << "] " << text << "\n";
  if ((type & 0xF) != MB_YESNO) return IDOK;
  if (!::isatty(STDIN_FILENO)) return std::nullopt;
  std::cerr << "Yes or No? [y/N] " << std::flush;
  std::string answer;
  if (!std::getline(std::cin, answer)) return std::nullopt;
  return !answer.empty() && (answer[0] == 'y' || answer[0] == 'Y') ? IDYES : IDNO;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace orvane;
  try {
    std::filesystem::path dir = DefaultMachineDir();
    winsim::MachineFolder folder(dir, winsim::DefaultLockWait(), /*create=*/true);
    if (!winsim::MachineFolder::HoldsMachine(dir)) {
      CreateMachine(folder, NewMachineOptions{});
      std::cerr << "setup: made a new Windows XP machine at " << dir.string() << "\n";
    }
    std::unique_ptr<winsim::Machine> machine = folder.Load();

    std::vector<std::string> args(argv + 1, argv + argc);
    machine->SetCommandLine(BuildProcessCommandLine(machine->module_path(), args));
    machine->SetStandardOutputSink([](std::string_view text) {
      std::fwrite(text.data(), 1, text.size(), stdout);
    });
    machine->SetPrompt(ShowMessageBox);

    SetupApp app;
    int code = AfxWinMain(*machine, app);
    std::fflush(stdout);
    folder.Save(*machine);
    return code;
  } catch (const winsim::HostError& e) {
    std::fprintf(stderr, "setup: %s\n", e.what());
    return 1;
  }
}
