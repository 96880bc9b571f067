// What a whole installation and removal cost on a simulated machine whose
// drive C: lies in memory (/dev/shm when present): one core, wall time, and
// the installer's pauses free (the clock is virtual). Every iteration gets a
// newly laid-out machine; laying it out (measured apart as layout/<family>)
// and the checks afterwards are not timed.
//
//   install/<family>    setup on a new machine
//   uninstall/<family>  the whole removal after an installation: on Windows
//                       95/98/ME the run, the reboot it asks for, the later run
//   cycle/<family>      the two in turn
//   folder_load, folder_save   MachineFolder after an installation on XP
//   registry_export, registry_import   the part of those that is system.reg
#include <benchmark/benchmark.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/setup_app.h"
#include "main/product_tree.h"
#include "platform/command_line.h"
#include "platform/framework.h"
#include "scratch.h"
#include "winsim/layout.h"

namespace orvane::bench {
namespace {

using winsim::Machine;
using winsim::WindowsVersion;

constexpr char kSetupDir[] = "c:\\orvane";

// A new machine of `version` as `winsim create` lays it out, over an emptied
// `driveC`.
std::unique_ptr<Machine> NewMachine(WindowsVersion version,
                                    const std::filesystem::path& driveC) {
  std::filesystem::remove_all(driveC);
  std::filesystem::create_directories(driveC);
  auto machine = std::make_unique<Machine>(version, driveC);
  winsim::LayOutWindows(*machine);
  LayOutProduct(*machine, kSetupDir);
  return machine;
}

// Starts setup as a user would, with these arguments; "uninstall" is confirmed.
void Run(Machine& machine, const std::vector<std::string>& args) {
  if (!args.empty()) machine.answers().push_back(win::IDYES);
  machine.SetLastError(0);
  machine.SetCommandLine(BuildProcessCommandLine(machine.module_path(), args));
  SetupApp app;
  AfxWinMain(machine, app);
}

void Install(Machine& machine) { Run(machine, {}); }

void Uninstall(Machine& machine) {
  Run(machine, {"uninstall"});
  if (!machine.profile().nt_family) {
    machine.Reboot();
    Run(machine, {"uninstall"});
  }
}

bool Installed(Machine& machine) {
  return machine.spooler().PrinterExists("ORVANE") &&
         machine.registry().KeyExists(
             "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Orvane");
}

enum class Phase { kLayout, kInstall, kUninstall, kCycle };

void BM_Setup(benchmark::State& state, WindowsVersion version, Phase phase) {
  ScratchFolder scratch;
  const std::filesystem::path driveC = scratch.path() / "drive_c";
  for (auto _ : state) {
    std::unique_ptr<Machine> machine;
    if (phase == Phase::kLayout) {
      machine = NewMachine(version, driveC);
      continue;
    }
    state.PauseTiming();
    machine = NewMachine(version, driveC);
    if (phase == Phase::kUninstall) {
      Install(*machine);
      if (!Installed(*machine)) state.SkipWithError("the installation before did not end");
    }
    state.ResumeTiming();

    if (phase != Phase::kUninstall) Install(*machine);
    if (phase != Phase::kInstall) Uninstall(*machine);

    state.PauseTiming();
    if (Installed(*machine) != (phase == Phase::kInstall)) {
      state.SkipWithError("the run did not end as it should");
    }
    machine.reset();
    state.ResumeTiming();
  }
  state.counters["per_second"] =
      benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

// A machine folder on XP after an installation, kept for the folder benchmarks.
struct InstalledFolder {
  ScratchFolder scratch;
  std::filesystem::path dir = scratch.path() / "machine";
  winsim::MachineFolder folder{dir, std::chrono::milliseconds(0), /*create=*/true};
  std::unique_ptr<Machine> machine;

  InstalledFolder() {
    CreateMachine(folder, NewMachineOptions{});
    machine = folder.Load();
    Install(*machine);
    folder.Save(*machine);
  }
  double RegBytes() const {
    return static_cast<double>(std::filesystem::file_size(dir / "system.reg"));
  }
};

void BM_FolderLoad(benchmark::State& state) {
  InstalledFolder f;
  for (auto _ : state) benchmark::DoNotOptimize(f.folder.Load());
  state.counters["system_reg_bytes"] = f.RegBytes();
}

void BM_FolderSave(benchmark::State& state) {
  InstalledFolder f;
  for (auto _ : state) f.folder.Save(*f.machine);
  state.counters["system_reg_bytes"] = f.RegBytes();
}

void BM_RegistryExport(benchmark::State& state) {
  InstalledFolder f;
  for (auto _ : state) benchmark::DoNotOptimize(f.machine->registry().ExportRegedit4());
}

void BM_RegistryImport(benchmark::State& state) {
  InstalledFolder f;
  const std::string text = f.machine->registry().ExportRegedit4();
  for (auto _ : state) {
    winsim::Registry registry;
    registry.ImportRegedit4(text);
    benchmark::DoNotOptimize(registry);
  }
}

void RegisterAll() {
  const WindowsVersion families[] = {WindowsVersion::kWin98, WindowsVersion::kNt4,
                                     WindowsVersion::kWin2000, WindowsVersion::kWinXp};
  const std::pair<const char*, Phase> phases[] = {{"layout", Phase::kLayout},
                                                  {"install", Phase::kInstall},
                                                  {"uninstall", Phase::kUninstall},
                                                  {"cycle", Phase::kCycle}};
  for (auto [name, phase] : phases) {
    for (WindowsVersion version : families) {
      const std::string label = std::string(name) + "/" + winsim::Profile(version).name;
      benchmark::RegisterBenchmark(label.c_str(), BM_Setup, version, phase)
          ->Unit(benchmark::kMicrosecond)
          ->UseRealTime();
    }
  }
  using Fn = void (*)(benchmark::State&);
  const std::pair<const char*, Fn> folders[] = {{"folder_load", BM_FolderLoad},
                                                {"folder_save", BM_FolderSave},
                                                {"registry_export", BM_RegistryExport},
                                                {"registry_import", BM_RegistryImport}};
  for (auto [name, fn] : folders) {
    benchmark::RegisterBenchmark(name, fn)->Unit(benchmark::kMicrosecond)->UseRealTime();
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
