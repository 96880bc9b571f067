// fault_campaign: many simulated machines of every Windows version, each with
// a random starting state, random faults from the simulator's fault table and
// a random sequence of setup runs, checked after every run (see
// tools/campaign/machine_run.h for the invariants).
//
//   fault_campaign [--machines N] [--seed S] [--jobs J] [--verbose]
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
//
// J worker processes (default: one per core) take the machines one at a time
// from a shared counter. A machine depends on its seed alone, so everything
// printed, the verbose lines included (they come out machine by machine in
// seed order), is the same whatever J; only the time differs.
#include <malloc.h>
#include <stdlib.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <new>
#include <set>
#include <string>
#include <system_error>
#include <vector>

#include "tools/campaign/fault_table.h"
#include "tools/campaign/machine_run.h"

namespace {

namespace fs = std::filesystem;
using orvane::campaign::Tally;

constexpr std::uint64_t kCoverageFrom = 200;

int Usage() {
  std::fprintf(stderr,
               "usage: fault_campaign [--machines N] [--seed S] [--jobs J] [--verbose]\n");
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

// --- A worker's tally, handed to the parent as lines of text.

std::string Escape(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\\') out += "\\\\";
    else if (c == '\n') out += "\\n";
    else out += c;
  }
  return out;
}

std::string Unescape(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 1 < text.size()) {
      out += text[++i] == 'n' ? '\n' : text[i];
    } else {
      out += text[i];
    }
  }
  return out;
}

void WriteTally(std::FILE* out, const Tally& t) {
  std::fprintf(out, "T %llu %llu %llu %llu %llu\n",
               static_cast<unsigned long long>(t.machines),
               static_cast<unsigned long long>(t.runs),
               static_cast<unsigned long long>(t.faults),
               static_cast<unsigned long long>(t.invariants),
               static_cast<unsigned long long>(t.violation_count));
  for (const auto& [point, count] : t.fired) {
    std::fprintf(out, "F %llu %s\n", static_cast<unsigned long long>(count),
                 Escape(point).c_str());
  }
  for (const auto& v : t.violations) {
    std::fprintf(out, "V %llu %s\n", static_cast<unsigned long long>(v.seed),
                 Escape(v.text).c_str());
  }
}

std::vector<std::string> Lines(std::FILE* in) {
  std::vector<std::string> lines;
  std::string line;
  for (int c; (c = std::fgetc(in)) != EOF;) {
    if (c != '\n') {
      line += static_cast<char>(c);
    } else {
      lines.push_back(std::move(line));
      line.clear();
    }
  }
  return lines;
}

// Adds what a worker wrote to `total`; false when it wrote no tally.
bool ReadTally(std::FILE* in, Tally* total) {
  bool whole = false;
  for (const std::string& line : Lines(in)) {
    unsigned long long a[5] = {};
    int used = 0;
    if (std::sscanf(line.c_str(), "T %llu %llu %llu %llu %llu", &a[0], &a[1], &a[2], &a[3],
                    &a[4]) == 5) {
      total->machines += a[0];
      total->runs += a[1];
      total->faults += a[2];
      total->invariants += a[3];
      total->violation_count += a[4];
      whole = true;
    } else if (std::sscanf(line.c_str(), "F %llu %n", &a[0], &used) == 1 && used > 0) {
      total->fired[Unescape(line.substr(used))] += a[0];
    } else if (std::sscanf(line.c_str(), "V %llu %n", &a[0], &used) == 1 && used > 0) {
      total->violations.push_back({a[0], Unescape(line.substr(used))});
    }
  }
  return whole;
}

// The workers' verbose lines, machine by machine in seed order: each machine's
// lines begin with "machine seed=S ".
void PrintInSeedOrder(const std::vector<std::FILE*>& outputs) {
  std::map<std::uint64_t, std::string> machines;
  for (std::FILE* out : outputs) {
    std::string* current = nullptr;
    for (const std::string& line : Lines(out)) {
      unsigned long long seed = 0;
      if (std::sscanf(line.c_str(), "machine seed=%llu ", &seed) == 1) {
        current = &machines[seed];
      }
      if (current) *current += line + "\n";
    }
  }
  for (const auto& [seed, text] : machines) std::fputs(text.c_str(), stdout);
}

// Runs machines seed + i for i below `machines` in `jobs` worker processes;
// false when a worker did not finish.
bool RunWorkers(std::uint64_t machines, std::uint64_t seed, std::uint64_t jobs,
                const fs::path& host, bool verbose, Tally* total) {
  static_assert(std::atomic<std::uint64_t>::is_always_lock_free);
  void* shared = mmap(nullptr, sizeof(std::atomic<std::uint64_t>), PROT_READ | PROT_WRITE,
                      MAP_SHARED | MAP_ANONYMOUS, -1, 0);
  if (shared == MAP_FAILED) return false;
  auto* next = new (shared) std::atomic<std::uint64_t>(0);
  std::vector<std::FILE*> results, outputs;
  std::vector<pid_t> pids;
  std::fflush(nullptr);  // nothing buffered may be written twice
  for (std::uint64_t j = 0; j < jobs; ++j) {
    std::FILE* result = std::tmpfile();
    std::FILE* output = verbose ? std::tmpfile() : nullptr;
    pid_t pid = result && (output || !verbose) ? fork() : -1;
    if (pid < 0) {  // the workers started take all the machines
      if (result) std::fclose(result);
      if (output) std::fclose(output);
      break;
    }
    if (pid == 0) {
      if (output) dup2(fileno(output), STDOUT_FILENO);
      Tally tally;
      for (std::uint64_t i; (i = next->fetch_add(1)) < machines;) {
        orvane::campaign::RunMachine(seed + i, host, verbose, &tally);
      }
      WriteTally(result, tally);
      std::fflush(nullptr);
      _exit(0);
    }
    pids.push_back(pid);
    results.push_back(result);
    if (output) outputs.push_back(output);
  }
  bool whole = !pids.empty();
  for (pid_t pid : pids) {
    int status = 0;
    whole = waitpid(pid, &status, 0) == pid && WIFEXITED(status) &&
            WEXITSTATUS(status) == 0 && whole;
  }
  for (std::FILE* result : results) {
    std::rewind(result);
    whole = ReadTally(result, total) && whole;
    std::fclose(result);
  }
  for (std::FILE* output : outputs) std::rewind(output);
  PrintInSeedOrder(outputs);
  for (std::FILE* output : outputs) std::fclose(output);
  munmap(shared, sizeof(std::atomic<std::uint64_t>));
  // A machine's findings keep their order; machines come in seed order.
  std::stable_sort(total->violations.begin(), total->violations.end(),
                   [](const auto& a, const auto& b) { return a.seed < b.seed; });
  return whole;
}

}  // namespace

int main(int argc, char** argv) {
  std::uint64_t machines = 200;
  std::uint64_t seed = 1;
  long cores = sysconf(_SC_NPROCESSORS_ONLN);
  std::uint64_t jobs = cores > 0 ? static_cast<std::uint64_t>(cores) : 1;
  bool verbose = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--verbose") {
      verbose = true;
    } else if (arg == "--machines" && i + 1 < argc) {
      if (!ParseNumber(argv[++i], &machines)) return Usage();
    } else if (arg == "--seed" && i + 1 < argc) {
      if (!ParseNumber(argv[++i], &seed)) return Usage();
    } else if (arg == "--jobs" && i + 1 < argc) {
      if (!ParseNumber(argv[++i], &jobs) || jobs == 0) return Usage();
    } else {
      return Usage();
    }
  }
  jobs = std::max<std::uint64_t>(1, std::min(jobs, machines));
  // Each machine's snapshots grow the heap by megabytes and free them again;
  // handing that memory back to the kernel after every run and asking for it
  // again cost a tenth of the campaign's time.
  mallopt(M_TRIM_THRESHOLD, 256 << 20);
  mallopt(M_TOP_PAD, 16 << 20);

  const fs::path host = MakeHostFolder();
  if (host.empty()) {
    std::fprintf(stderr, "fault_campaign: cannot make a host folder\n");
    return 1;
  }
  Tally tally;
  bool whole = true;
  const auto start = std::chrono::steady_clock::now();
  if (jobs == 1) {
    for (std::uint64_t i = 0; i < machines; ++i) {
      orvane::campaign::RunMachine(seed + i, host, verbose, &tally);
    }
  } else {
    whole = RunWorkers(machines, seed, jobs, host, verbose, &tally);
  }
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::error_code ignored;
  fs::remove_all(host, ignored);
  if (!whole) {
    std::fprintf(stderr, "fault_campaign: a worker process did not finish its machines\n");
    return 1;
  }

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
