// CopyFileChecked through the simulator's host-backed disk against
// `cp --reflink=never` on the same files in the same folder (ORVANE_BENCH_DIR,
// else /dev/shm, else the temp folder). Both are timed on the wall clock, cp
// with its process start; the ratio of their bytes per second is the figure.
//
//   copy_file_checked/<MiB>   cp/<MiB>   cp/0 (an empty file: cp's start alone)
#include <spawn.h>
#include <sys/wait.h>

#include <benchmark/benchmark.h>

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>

#include "install/copy_file.h"
#include "scratch.h"
#include "winsim/machine.h"

extern char** environ;

namespace orvane::bench {
namespace {

constexpr std::int64_t kSizesMiB[] = {1, 64, 256};

// The folder, with one source file per size, shared by both benchmarks.
ScratchFolder& Folder() {
  static ScratchFolder folder;
  return folder;
}

std::string SourceName(std::int64_t mib) { return "src-" + std::to_string(mib) + ".bin"; }

std::string DestinationName(std::int64_t mib) {
  return "dst-" + std::to_string(mib) + ".bin";
}

// Makes the source of `mib` MiB on first use.
void EnsureSource(std::int64_t mib) {
  const std::filesystem::path path = Folder().path() / SourceName(mib);
  if (!std::filesystem::exists(path)) WriteFileOfSize(path, static_cast<std::uint64_t>(mib));
}

void BM_CopyFileChecked(benchmark::State& state) {
  const std::int64_t mib = state.range(0);
  EnsureSource(mib);
  winsim::Machine machine(winsim::WindowsVersion::kWinXp, Folder().path());
  const std::string source = "C:\\" + SourceName(mib);
  const std::string destination = "C:\\" + DestinationName(mib);
  for (auto _ : state) {
    if (CopyFileChecked(machine, source, destination) != 1) {
      state.SkipWithError("CopyFileChecked failed");
      break;
    }
  }
  state.SetBytesProcessed(state.iterations() * (mib << 20));
}

void BM_Cp(benchmark::State& state) {
  const std::int64_t mib = state.range(0);
  EnsureSource(mib);
  std::string source = (Folder().path() / SourceName(mib)).string();
  std::string destination = (Folder().path() / DestinationName(mib)).string();
  std::string cp = "cp", reflink = "--reflink=never";
  char* argv[] = {cp.data(), reflink.data(), source.data(), destination.data(), nullptr};
  for (auto _ : state) {
    pid_t pid = 0;
    int status = 0;
    if (posix_spawnp(&pid, "cp", nullptr, nullptr, argv, environ) != 0 ||
        waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
      state.SkipWithError("cp failed");
      break;
    }
  }
  state.SetBytesProcessed(state.iterations() * (mib << 20));
}

void RegisterAll() {
  benchmark::RegisterBenchmark("cp", BM_Cp)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime();
  for (std::int64_t mib : kSizesMiB) {
    benchmark::RegisterBenchmark("copy_file_checked", BM_CopyFileChecked)
        ->Arg(mib)->Unit(benchmark::kMillisecond)->UseRealTime();
    benchmark::RegisterBenchmark("cp", BM_Cp)
        ->Arg(mib)->Unit(benchmark::kMillisecond)->UseRealTime();
  }
}

}  // namespace
}  // namespace orvane::bench

int main(int argc, char** argv) {
  orvane::bench::RegisterAll();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
