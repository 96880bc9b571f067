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
  for (const Case& c : AllCases()) {
    if (c.also_9x) also9x.push_back(c);
  }
  int failed = 0;
  for (WindowsVersion version : {WindowsVersion::kWinXp, WindowsVersion::kWin98}) {
    const bool xp = version == WindowsVersion::kWinXp;
    const std::vector<Case>& cases = xp ? AllCases() : also9x;
    bool named = only.empty();
    for (const Case& c : cases) named = named || only == c.name;
    if (!xp && !named) continue;
    orvane::winsim::testing::SimMachine machine(version);
    orvane::winsim::FileSystem& files = machine->files();
    const Host host{[&](std::string_view name) {
                      const std::string folder = "C:\\contract\\" + std::string(name);
                      files.Remove(folder);
                      files.MakeDirectories(folder);
                      return folder;
                    },
                    [&](const std::string& folder) { files.Remove(folder); },
                    [&] { return machine->LeakReport(); }};
    failed += RunCases(*machine, host, cases, orvane::winsim::Profile(version).name, false, only);
  }
  return failed == 0 ? 0 : 1;
}
