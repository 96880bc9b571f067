// fault_campaign: many simulated machines of every Windows version, each with
// a random starting state, random faults from the simulator's fault table and
// a random sequence of setup runs, checked after every run (see
// tools/campaign/machine_run.h for the invariants).
//
//   fault_campaign [--machines N] [--seed S] [--verbose]
//
// Machine i of the campaign has the seed S + i (S defaults to 1), so
// `fault_campaign --seed S --machines 1` replays one machine. Ends with the
// line "machines=N faults=N invariants=N violations=N" (faults: injected
// faults that fired), after the violations, each with its seed and the
// command that replays it. Exit code 0 when there is no violation and every
// fault point of the table fired (judged from 200 machines on: fewer, as in a
// replay, cannot be expected to reach them all), 1 otherwise, 2 for bad
// arguments. The machines live below /dev/shm when it exists, else the
// temporary folder.
#include <stdlib.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>
#include <system_error>

#include "tools/campaign/fault_table.h"
#include "tools/campaign/machine_run.h"

namespace {

namespace fs = std::filesystem;

constexpr std::uint64_t kCoverageFrom = 200;

int Usage() {
  std::fprintf(stderr, "usage: fault_campaign [--machines N] [--seed S] [--verbose]\n");
  return 2;
}

bool ParseNumber(const char* text, std::uint64_t* value) {
  if (text == nullptr || *text < '0' || *text > '9') return false;
  char* end = nullptr;
  *value = std::strtoull(text, &end, 10);
  return end != nullptr && *end == '\0';
}

fs::path MakeHostFolder() {
  std::error_code error;
  fs::path base =
      fs::is_directory("/dev/shm", error) ? fs::path("/dev/shm") : fs::temp_directory_path();
  std::string pattern = (base / "orvane-campaign-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) {
    pattern = (fs::temp_directory_path() / "orvane-campaign-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) return {};
  }
  return pattern;
}

}  // namespace

int main(int argc, char** argv) {
  std::uint64_t machines = 200;
  std::uint64_t seed = 1;
  bool verbose = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--verbose") {
      verbose = true;
    } else if (arg == "--machines" && i + 1 < argc) {
      if (!ParseNumber(argv[++i], &machines)) return Usage();
    } else if (arg == "--seed" && i + 1 < argc) {
      if (!ParseNumber(argv[++i], &seed)) return Usage();
    } else {
      return Usage();
    }
  }

  const fs::path host = MakeHostFolder();
  if (host.empty()) {
    std::fprintf(stderr, "fault_campaign: cannot make a host folder\n");
    return 1;
  }
  orvane::campaign::Tally tally;
  const auto start = std::chrono::steady_clock::now();
  for (std::uint64_t i = 0; i < machines; ++i) {
    orvane::campaign::RunMachine(seed + i, host, verbose, &tally);
  }
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::error_code ignored;
  fs::remove_all(host, ignored);

  std::set<std::uint64_t> seeds;
  for (const auto& v : tally.violations) {
    std::printf("violation seed=%llu: %s\n", static_cast<unsigned long long>(v.seed),
                v.text.c_str());
    seeds.insert(v.seed);
  }
  for (std::uint64_t s : seeds) {
    std::printf("replay: fault_campaign --seed %llu --machines 1 --verbose\n",
                static_cast<unsigned long long>(s));
  }
  bool covered = true;
  if (machines >= kCoverageFrom) {
    for (const std::string& point : orvane::campaign::AllFaultPoints()) {
      if (tally.fired.count(point) == 0) {
        std::printf("fault never fired: %s\n", point.c_str());
        covered = false;
      }
    }
  }
  std::printf("%llu runs in %.1f s (%.1f machines/s)\n",
              static_cast<unsigned long long>(tally.runs), seconds,
              seconds > 0 ? static_cast<double>(tally.machines) / seconds : 0.0);
  std::printf("machines=%llu faults=%llu invariants=%llu violations=%llu\n",
              static_cast<unsigned long long>(tally.machines),
              static_cast<unsigned long long>(tally.faults),
              static_cast<unsigned long long>(tally.invariants),
              static_cast<unsigned long long>(tally.violation_count));
  return tally.violation_count == 0 && covered ? 0 : 1;
}
