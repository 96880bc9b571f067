// The spooler restart as the machine shows it: the pauses, the service's state
// afterwards, the monitor DLLs the spooler holds, and the result.
#include "system/service_control.h"

#include <gtest/gtest.h>
#include <strings.h>

#include "setup/scenario.h"

namespace orvane {
namespace {

using winsim::FaultMode;
using winsim::ServiceState;

// The spooler loads the registered monitor's DLL on a start; a stop unloads
// every DLL it holds, that of a monitor deleted since it loaded too.
bool Loaded(const winsim::Machine& machine, const std::string& name) {
  const std::string path = std::string(machine.profile().system_dir) + "\\" + name;
  for (const auto& [used, inUse] : machine.files().in_use())
    if (inUse && strcasecmp(used.c_str(), path.c_str()) == 0) return true;
  return false;
}

TEST(RestartSpooler, StopsAndStartsWithPausesOf500MsWhateverTheServiceAnswers) {
  struct Row {
    winsim::Fault fault;  // none when the call is empty
    bool administrator, stoppedBefore;
    std::int64_t stopMs;
    int restarts, pauses;  // the restarts in a row, the pauses over all of them
    bool started;          // the last result is non-zero
    ServiceState after;
  };
  const std::int64_t ms = winsim::ServiceManager::kDefaultStopMs;
  const winsim::Fault none{"", "", 0, FaultMode::kOnce};
  const ServiceState running = ServiceState::kRunning, stopped = ServiceState::kStopped;
  const Row rows[] = {
      {none, true, false, ms, 1, 2, true, running},
      {none, false, false, ms, 1, 2, false, running},  // no rights to the service manager
      {{"OpenServiceA", "Spooler", 5, FaultMode::kAlways}, true, false, ms, 1, 2, false, running},
      {none, true, true, ms, 1, 2, true, running},  // already stopped: the start succeeds
      {{"StartServiceA", "", 1058, FaultMode::kAlways}, true, false, ms, 1, 2, false, stopped},
      {{"ControlService", "", 1052, FaultMode::kAlways}, true, false, ms, 1, 2, false, running},
      // A start while the accepted stop completes is asked again every 500 ms,
      // 20 times at most; the removal's second restart meets a stop its first
      // one gave up on, and starts the spooler once that completes.
      {none, true, false, 2000, 1, 5, true, running},
      {none, true, false, 60000, 1, 22, false, ServiceState::kStopPending},
      {none, true, false, 15000, 2, 31, true, running},
  };
  for (const auto version : {winsim::WindowsVersion::kWinXp, winsim::WindowsVersion::kNt4}) {
    for (const Row& r : rows) {
      setup_test::TestMachine machine(version);
      for (const std::string dll : {"live.dll", "gone.dll"}) {
        const std::string path = std::string(machine->profile().system_dir) + "\\" + dll;
        machine->files().WriteAll(path, "stand-in\r\nexports InitializePrintMonitor2\r\n");
        machine->files().MarkInUse(path);
      }
      const char* live = "HKLM\\SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\Live";
      machine->registry().PutValue(live, "Driver", win::REG_SZ, setup_test::SzBytes("live.dll"));
      if (!r.fault.call.empty()) machine->faults().Add(r.fault);
      machine->SetAdministrator(r.administrator);
      machine->services().SetSpoolerStopMs(r.stopMs);
      if (r.stoppedBefore) machine->services().StopSpoolerNow(machine->spooler());
      const std::int64_t start = machine->now_ms();
      win::BOOL result = win::FALSE;
      for (int i = 0; i < r.restarts; ++i) result = RestartSpooler(*machine);
      const std::string row = std::to_string(&r - rows) + (r.started ? " started" : "");
      EXPECT_EQ(result != win::FALSE, r.started) << row;
      const std::vector<std::string> pauses(r.pauses, "sleep\t500");
      EXPECT_EQ(machine->journal(), pauses) << row;
      EXPECT_EQ(machine->now_ms() - start, 500 * r.pauses) << row;
      const ServiceState after = machine->services().SpoolerState(machine->now_ms());
      EXPECT_EQ(after, r.after) << row;
      // The stop took effect where the deleted monitor's DLL is free.
      EXPECT_EQ(Loaded(*machine, "gone.dll"), !r.stoppedBefore && !r.started && after != stopped)
          << row;
      EXPECT_EQ(Loaded(*machine, "live.dll"), after != stopped) << row;
      EXPECT_EQ(setup_test::Joined(machine->LeakReport()), "") << row;
    }
  }
}

}  // namespace
}  // namespace orvane
