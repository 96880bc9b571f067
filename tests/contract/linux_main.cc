// contract_sim [case]: every case on a simulated XP, the also_9x ones on a 98
// too, each in C:\contract\<case>; what a case leaves open fails it.
#include <cstdio>
#include <string>
#include <vector>

#include "contract.h"
#include "winsim/sim_fixture.h"

namespace orvane::contract {
namespace {

class SimHost final : public Host {
 public:
  explicit SimHost(winsim::Machine& machine) : machine_(machine) {}

  std::string MakeFolder(std::string_view caseName) override {
    std::string folder = "C:\\contract\\" + std::string(caseName);
    machine_.files().Remove(folder);
    machine_.files().MakeDirectories(folder);
    return folder;
  }
  void RemoveFolder(const std::string& folder) override { machine_.files().Remove(folder); }
  std::vector<std::string> Leaks() override { return machine_.LeakReport(); }

 private:
  winsim::Machine& machine_;
};

int Run(winsim::WindowsVersion version, const std::vector<Case>& cases, const std::string& only) {
  winsim::testing::SimMachine machine(version);
  SimHost host(*machine);
  RunOptions options;
  options.label = winsim::Profile(version).name;
  options.only = only;
  return RunCases(*machine, host, cases, options, stdout);
}

}  // namespace
}  // namespace orvane::contract

int main(int argc, char** argv) {
  using namespace orvane::contract;
  std::string only = argc > 1 ? argv[1] : "";
  std::vector<Case> all = AllCases();
  std::vector<Case> also9x;
  for (const Case& c : all) {
    if (c.also_9x) also9x.push_back(c);
  }
  bool in9x = only.empty();
  for (const Case& c : also9x) in9x = in9x || only == c.name;

  int failed = Run(orvane::winsim::WindowsVersion::kWinXp, all, only);
  if (in9x) failed += Run(orvane::winsim::WindowsVersion::kWin98, also9x, only);
  return failed == 0 ? 0 : 1;
}
