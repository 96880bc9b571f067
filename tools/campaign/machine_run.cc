#include "tools/campaign/machine_run.h"

#include <cstdio>
#include <memory>
#include <optional>
#include <system_error>

#include "app/setup_app.h"
#include "main/product_tree.h"
#include "platform/command_line.h"
#include "platform/framework.h"
#include "tools/campaign/fault_table.h"
#include "tools/campaign/log_allowlist.h"
#include "tools/campaign/residue.h"
#include "tools/campaign/rng.h"
#include "tools/campaign/snapshot.h"
#include "tools/campaign/starting_state.h"
#include "winsim/journal.h"
#include "winsim/layout.h"
#include "winsim/machine_store.h"

namespace orvane::campaign {
namespace {

namespace fs = std::filesystem;

constexpr char kSetupDir[] = "c:\\orvane";
// More findings than this on one machine are counted but not kept.
constexpr std::size_t kFindingsKept = 12;

struct Outcome {
  bool asked_reboot = false;
  bool rpc_unavailable = false;  // the closing box about the RPC service was shown
};

std::string Joined(const std::vector<std::string>& lines, const char* separator = "; ") {
  std::string text;
  for (const std::string& line : lines) text += (text.empty() ? "" : separator) + line;
  return text;
}

class MachineCampaign {
 public:
  MachineCampaign(std::uint64_t seed, fs::path dir, bool verbose, Tally* tally)
      : seed_(seed), rng_(seed), dir_(std::move(dir)), verbose_(verbose), tally_(tally) {}

  void Run() {
    const auto profiles = winsim::AllProfiles();
    const winsim::VersionProfile& profile = profiles[rng_.Below(profiles.size())];
    windows_ = profile.name;
    fs::create_directories(dir_ / "drive_c");
    machine_ = std::make_unique<winsim::Machine>(profile.version, dir_ / "drive_c");
    winsim::LayOutWindows(*machine_);
    LayOutProduct(*machine_, kSetupDir);
    const std::string& module = machine_->module_path();
    setup_dir_ = module.substr(0, module.rfind('\\'));
    log_path_ = setup_dir_ + "\\res\\drivedir\\setup.log";

    const StartingState state = LayOutStartingState(*machine_, setup_dir_, rng_);
    Say("machine seed=" + std::to_string(seed_) + " windows=" + profile.name + ": " +
        Joined(state.summary));
    scope_ = std::make_unique<ProductScope>(profile, setup_dir_, state.mapped_section);
    baseline_ = TakeSnapshot(*machine_);
    win9x_path_ = !profile.nt_family && profile.major >= 4;

    const bool healthy = rng_.Below(8) == 0;
    if (state.earlier_installation) {
      ArmFaults(!healthy, false);
      AfterRun(RunSetup({}, {}, "earlier installation"));
      if (state.newer_release) {
        MakeNewerRelease(*machine_, setup_dir_);
        Say("  the product folder now holds a newer release");
      }
    }
    if (healthy) {
      HealthySequence();
    } else {
      RandomSequence();
    }
    Converge("convergence");
    HarvestFaults();
    machine_.reset();
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
  }

 private:
  void Say(const std::string& text) {
    if (verbose_) std::printf("%s\n", text.c_str());
  }

  void Violate(const std::string& label, const std::string& text) {
    ++tally_->violation_count;
    if (++findings_ <= kFindingsKept) {
      tally_->violations.push_back({seed_, windows_ + " " + label + ": " + text});
    } else if (findings_ == kFindingsKept + 1) {
      tally_->violations.push_back({seed_, "(further findings on this machine not shown)"});
    }
    Say("  VIOLATION " + label + ": " + text);
  }

  // Counts one invariant check; each finding is a violation.
  void Expect(const std::string& label, const std::vector<std::string>& findings) {
    ++tally_->invariants;
    for (const std::string& finding : findings) Violate(label, finding);
  }

  void HarvestFaults() {
    if (!machine_) return;
    for (const winsim::Fault& fault : machine_->faults().faults()) {
      if (fault.fired == 0) continue;
      ++tally_->faults;
      ++tally_->fired[PointName(fault)];
    }
    machine_->faults().Clear();
  }

  // Before a run: the faults of the last run go; new ones come, mostly.
  void ArmFaults(bool any, bool removalRun) {
    HarvestFaults();
    if (!any || !rng_.Percent(75)) return;
    for (winsim::Fault& fault : DrawFaults(rng_, removalRun)) {
      Say("  fault " + Describe(fault));
      machine_->faults().Add(std::move(fault));
    }
  }

  // The NT family's Spooler service runs (Windows 95/98/ME have no service).
  bool SpoolerRunning() const {
    return !machine_->profile().nt_family ||
           machine_->services().SpoolerRunning(machine_->now_ms());
  }

  // How often failure faults (not stale ones) of this call have fired so far.
  int FiredFailures(std::string_view call) const {
    int fired = 0;
    for (const winsim::Fault& f : machine_->faults().faults()) {
      if (f.call == call && f.mode != winsim::FaultMode::kStale) fired += f.fired;
    }
    return fired;
  }

  void Reboot() {
    machine_->Reboot();
    reboot_pending_ = false;
    Say("  reboot");
  }

  // The process ends and the next starts from the machine folder, as `setup`
  // on Linux runs: the machine is saved and loaded back.
  void ProcessBoundary(const std::string& label) {
    try {
      winsim::MachineFolder folder(dir_, std::chrono::seconds(5), /*create=*/true);
      folder.Save(*machine_);
      machine_.reset();
      machine_ = folder.Load();
    } catch (const std::exception& e) {
      Violate(label, std::string("saving and loading the machine failed: ") + e.what());
      if (!machine_) throw;
    }
  }

  std::string LogBytes() const {
    auto bytes = machine_->files().ReadAll(log_path_);
    return bytes ? std::string(bytes->begin(), bytes->end()) : std::string();
  }

  Outcome RunSetup(const std::vector<std::string>& args, std::vector<int> answers,
                   const std::string& name) {
    const std::string label = "run " + std::to_string(++run_index_) + " (" + name + ")";
    ++tally_->runs;
    machine_->SetLastError(0);  // a new process starts with none
    machine_->answers().assign(answers.begin(), answers.end());
    const std::size_t journalFrom = machine_->journal().size();
    machine_->SetCommandLine(BuildProcessCommandLine(machine_->module_path(), args));
    const bool spoolerWasRunning = SpoolerRunning();
    const int startRefusalsBefore = FiredFailures("StartServiceA");

    int code = -1;
    std::string thrown;
    try {
      SetupApp app;
      code = AfxWinMain(*machine_, app);
    } catch (const std::exception& e) {
      thrown = e.what();
    } catch (...) {
      thrown = "an exception of unknown type";
    }
    std::vector<std::string> ended;
    if (!thrown.empty()) ended.push_back("an exception left AfxWinMain: " + thrown);
    if (thrown.empty() && code != 0) ended.push_back("exit code " + std::to_string(code));
    Expect(label, ended);

    const std::vector<std::string> leaks = machine_->LeakReport();
    Expect(label, leaks);

    const std::string log = LogBytes();
    std::vector<std::string> logFindings;
    std::size_t lines = 0;
    if (log.size() < log_size_) {
      logFindings.push_back("setup.log shrank from " + std::to_string(log_size_) + " to " +
                            std::to_string(log.size()) + " bytes");
    } else {
      logFindings = CheckLog(std::string_view(log).substr(log_size_), &lines);
    }
    log_size_ = log.size();
    Expect(label, logFindings);

    Expect(label, ChangesOutsideProduct(baseline_, TakeSnapshot(*machine_), *scope_,
                                        machine_->profile().windows_dir));
    // Every printer of the machine needs the spooler: a run that found it
    // running must leave it so, unless the start itself was refused by an
    // injected fault, which no installer can overcome; the administrator then
    // restarts the machine (the spooler starts with Windows).
    const bool startRefused = FiredFailures("StartServiceA") > startRefusalsBefore;
    Expect(label, spoolerWasRunning && !SpoolerRunning() && !startRefused
                      ? std::vector<std::string>{"the Spooler service is left stopped"}
                      : std::vector<std::string>{});

    Outcome outcome;
    if (startRefused && !SpoolerRunning()) outcome.asked_reboot = true;
    std::vector<std::string> boxes;
    const auto& journal = machine_->journal();
    for (std::size_t i = journalFrom; i < journal.size(); ++i) {
      const std::vector<std::string> fields = winsim::SplitJournalLine(journal[i]);
      if (fields.empty() || fields[0] != "msgbox" || fields.size() < 5) continue;
      const std::string& text = fields[4];
      if (text.find("reboot") != std::string::npos) outcome.asked_reboot = true;
      if (text.find("Remote Procedure Call") != std::string::npos) outcome.rpc_unavailable = true;
      boxes.push_back(text.substr(0, 48));
    }
    Say("  " + label + ": " + std::to_string(lines) + " log line(s)" +
        (boxes.empty() ? std::string() : ", boxes: " + Joined(boxes, " | ")));
    if (!thrown.empty() || !leaks.empty() || rng_.Percent(20)) ProcessBoundary(label);
    return outcome;
  }

  // A message asked for a reboot: the user mostly does as told.
  void AfterRun(const Outcome& outcome) {
    if (!outcome.asked_reboot) return;
    reboot_pending_ = true;
    if (rng_.Percent(80)) Reboot();
  }

  void RandomSequence() {
    const std::uint64_t count = 2 + rng_.Below(4);
    for (std::uint64_t i = 0; i < count; ++i) {
      // Mostly what a user would do next: remove what is installed, install
      // what is not.
      const bool installed = machine_->spooler().PrinterExists("ORVANE") ||
                             machine_->spooler().MonitorInstalled("ORVANE Monitor");
      std::uint64_t op = rng_.Below(100);
      if (installed && op < 45 && rng_.Percent(50)) op = 45 + rng_.Below(35);
      ArmFaults(true, op >= 45 && op < 80);
      if (op < 45) {
        AfterRun(RunSetup({}, {}, "install"));
      } else if (op < 80) {
        AfterRun(RunSetup({"uninstall"}, {win::IDYES}, "uninstall"));
      } else if (op < 88) {
        AfterRun(RunSetup({"uninstall"}, {win::IDNO}, "uninstall declined"));
      } else if (op < 94) {
        AfterRun(RunSetup({setup_dir_ + "\\res\\convert\\gswin32c.exe", "-v"}, {}, "run hidden"));
      } else {
        AfterRun(RunSetup({"Uninstall"}, {}, "run hidden, not the uninstall word"));
      }
    }
  }

  // With no fault: setup runs until the installation is whole, rebooting where
  // a message asks; a run that ends short without asking is a violation.
  bool Converge(const std::string& name) {
    HarvestFaults();
    if (reboot_pending_) Reboot();
    for (int attempt = 0; attempt < 3; ++attempt) {
      const Outcome outcome = RunSetup({}, {}, name);
      const std::vector<std::string> missing =
          MissingFromInstallation(*machine_, setup_dir_, outcome.rpc_unavailable);
      if (missing.empty()) {
        ++tally_->invariants;
        return true;
      }
      if (!outcome.asked_reboot) {
        std::string why;
        if (machine_->profile().nt_family &&
            !machine_->services().SpoolerRunning(machine_->now_ms())) {
          why = " (the Spooler service is not running)";
        }
        Expect(name, {"setup ended short of a whole installation without asking for a "
                      "reboot: " +
                      Joined(missing) + why});
        return false;
      }
      Reboot();
    }
    Expect(name, {"no whole installation after three runs"});
    return false;
  }

  // No fault at all: install, uninstall (on Windows 95/98/ME the second
  // removal after the reboot the first asks for), then only the README's
  // residue may be left.
  void HealthySequence() {
    HarvestFaults();
    const std::string settingsFile = setup_dir_ + "\\res\\orvane.ini";
    const Snapshot before = TakeSnapshot(*machine_);
    const SettingsBefore settings = ReadSettingsBefore(*machine_, settingsFile);
    if (!Converge("healthy install")) return;
    const Outcome first = RunSetup({"uninstall"}, {win::IDYES}, "healthy uninstall");
    if (win9x_path_) {
      Expect("healthy uninstall",
             first.asked_reboot
                 ? std::vector<std::string>{}
                 : std::vector<std::string>{"the first removal asked for no reboot"});
      Reboot();
      RunSetup({"uninstall"}, {win::IDYES}, "healthy second uninstall");
    }
    Expect("residue",
           ResidueFindings(*machine_, before, TakeSnapshot(*machine_), settings, setup_dir_));
  }

  std::uint64_t seed_;
  Rng rng_;
  fs::path dir_;
  bool verbose_;
  Tally* tally_;
  std::unique_ptr<winsim::Machine> machine_;
  std::string windows_;  // the version's short name
  std::string setup_dir_;
  std::string log_path_;
  std::unique_ptr<ProductScope> scope_;
  Snapshot baseline_;
  bool win9x_path_ = false;
  std::size_t log_size_ = 0;
  bool reboot_pending_ = false;
  int run_index_ = 0;
  std::size_t findings_ = 0;
};

}  // namespace

void RunMachine(std::uint64_t seed, const fs::path& hostDir, bool verbose, Tally* tally) {
  ++tally->machines;
  const fs::path dir = hostDir / ("m" + std::to_string(seed));
  try {
    MachineCampaign(seed, dir, verbose, tally).Run();
  } catch (const std::exception& e) {
    // Only the host can stop a machine (a folder that cannot be written or
    // a machine that does not load back); the campaign goes on with the next.
    ++tally->violation_count;
    tally->violations.push_back({seed, std::string("the machine could not go on: ") + e.what()});
    std::error_code ignored;
    fs::remove_all(dir, ignored);
  }
}

}  // namespace orvane::campaign
