// One machine of the campaign: a Windows version and a starting state drawn
// from the machine's seed, a random sequence of setup runs (install,
// uninstall answered Yes or No, reinstall, a command line run hidden) under
// random faults, reboots where a message asked for one, and the invariants
// checked after every run:
//   - AfxWinMain returned 0 and no exception left it;
//   - the machine holds no handle and no heap block of the run's
//     (Machine::LeakReport);
//   - every line the run added to setup.log is on the allowlist;
//   - nothing outside the product's own keys, files and settings changed
//     since before the first run (snapshot.h), and a Spooler service that
//     ran still runs;
// then at the end, with every fault gone: setup run again (after a reboot
// where a message asked for one) makes a whole installation. One machine in
// eight runs with no fault at all: install, uninstall (twice, with a reboot
// between, on Windows 95/98/ME), and must hold only the residue the README
// lists.
//
// Every machine lives in its own host folder below `hostDir`, removed
// afterwards. Nothing depends on the host but that folder's name, so a seed
// replays its machine exactly.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace orvane::campaign {

struct Violation {
  std::uint64_t seed;
  std::string text;
};

// What the machines of a campaign add up to.
struct Tally {
  std::uint64_t machines = 0;
  std::uint64_t runs = 0;
  std::uint64_t faults = 0;      // injected faults that fired at least once
  std::uint64_t invariants = 0;  // invariant checks made
  std::uint64_t violation_count = 0;
  std::vector<Violation> violations;           // the first few of each machine
  std::map<std::string, std::uint64_t> fired;  // by fault point name
};

// Runs the machine of `seed`, adding to `tally`. With `verbose`, prints what
// it does on standard output.
void RunMachine(std::uint64_t seed, const std::filesystem::path& hostDir, bool verbose,
                Tally* tally);

}  // namespace orvane::campaign
