// contract_sim [case]: every case on a simulated XP, the also_9x ones on a 98
// too, each in C:\contract\<case>; what a case leaves open fails it.
#include <string>
#include <vector>

#include "contract.h"
#include "winsim/sim_fixture.h"

int main(int argc, char** argv) {
  using namespace orvane::contract;
  using orvane::winsim::WindowsVersion;
  const std::string only = argc > 1 ? argv[1] : "";
  std::vector<Case> also9x;
  bool named9x = only.empty();
  for (const Case& c : AllCases()) {
    if (c.also_9x) also9x.push_back(c);
    named9x = named9x || (c.also_9x && only == c.name);
  }
  int failed = 0;
  for (WindowsVersion version : {WindowsVersion::kWinXp, WindowsVersion::kWin98}) {
    const bool xp = version == WindowsVersion::kWinXp;
    if (!xp && !named9x) continue;
    orvane::winsim::testing::SimMachine machine(version);
    orvane::winsim::FileSystem& files = machine->files();
    const Host host{"C:\\contract",
                    [&](const std::string& folder) { files.MakeDirectories(folder); },
                    [&](const std::string& folder) { files.Remove(folder); },
                    [&] { return machine->LeakReport(); }};
    failed += RunCases(*machine, host, xp ? AllCases() : also9x,
                       orvane::winsim::Profile(version).name, false, only);
  }
  return failed == 0 ? 0 : 1;
}
