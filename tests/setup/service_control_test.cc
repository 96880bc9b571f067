// The spooler restart as the machine shows it: the pauses, the service's state
// afterwards, the monitor DLLs the spooler holds, and the result.
#include "system/service_control.h"

#include <gtest/gtest.h>
#include <strings.h>

#include <string>
#include <string_view>
#include <vector>

#include "setup/fixture.h"

namespace orvane {
namespace {

using setup_test::Events;
using setup_test::Joined;
using setup_test::TestMachine;
using winsim::Fault;
using winsim::FaultMode;
using winsim::ServiceState;
using winsim::WindowsVersion;

constexpr char kMonitors[] = "HKLM\\SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors";
// A monitor still registered, and the DLL of one deleted since the spooler
// loaded it: a stop unloads both, a start loads only the registered one.
std::string RegisteredDll(const winsim::Machine& machine) {
  return std::string(machine.profile().system_dir) + "\\live.dll";
}
std::string DeletedDll(const winsim::Machine& machine) {
  return std::string(machine.profile().system_dir) + "\\gone.dll";
}

void LoadTwoMonitors(winsim::Machine& machine) {
  const std::string image = "stand-in\r\nexports InitializePrintMonitor2\r\n";
  machine.files().WriteAll(RegisteredDll(machine), image);
  machine.files().WriteAll(DeletedDll(machine), image);
  machine.registry().PutValue(std::string(kMonitors) + "\\Live", "Driver", win::REG_SZ,
                              {'l', 'i', 'v', 'e', '.', 'd', 'l', 'l', 0});
  machine.files().MarkInUse(RegisteredDll(machine));
  machine.files().MarkInUse(DeletedDll(machine));
}

bool Loaded(const winsim::Machine& machine, std::string_view path) {
  for (const auto& [used, inUse] : machine.files().in_use()) {
    if (inUse && strcasecmp(used.c_str(), std::string(path).c_str()) == 0) return true;
  }
  return false;
}

TEST(RestartSpooler, StopsAndStartsWithTwoPausesWhateverTheServiceAnswers) {
  struct Row {
    const char* row;
    WindowsVersion version;
    std::vector<Fault> faults;
    bool administrator;
    bool stopped_before;
    std::int64_t stop_ms;
    bool started;  // the result is non-zero
    ServiceState after;
    bool stopped;  // the stop took effect: the deleted monitor's DLL is free
    int pauses = 2;  // of 500 ms each, over all the restarts
    int restarts = 1;  // in a row, as the removal makes them
  };
  const std::int64_t normal = winsim::ServiceManager::kDefaultStopMs;
  const Row rows[] = {
      {"running spooler", WindowsVersion::kWinXp, {}, true, false, normal, true,
       ServiceState::kRunning, true},
      {"NT 4", WindowsVersion::kNt4, {}, true, false, normal, true, ServiceState::kRunning,
       true},
      {"no rights to the manager", WindowsVersion::kWinXp, {}, false, false, normal, false,
       ServiceState::kRunning, false},
      {"service refused", WindowsVersion::kWinXp,
       {{"OpenServiceA", "Spooler", 5, FaultMode::kAlways}}, true, false, normal, false,
       ServiceState::kRunning, false},
      {"already stopped: the stop fails, the start succeeds", WindowsVersion::kWinXp, {},
       true, true, normal, true, ServiceState::kRunning, true},
      {"start refused", WindowsVersion::kWinXp,
       {{"StartServiceA", "", 1058, FaultMode::kAlways}}, true, false, normal, false,
       ServiceState::kStopped, true},
      // A start that comes while the accepted stop is still completing is asked
      // again every 500 ms, so the spooler is not left stopped.
      {"slow stop: started once the stop completes", WindowsVersion::kWinXp, {}, true,
       false, 2000, true, ServiceState::kRunning, true, 5},
      {"a stop that never completes: 20 more requests, then it gives up",
       WindowsVersion::kWinXp, {}, true, false, 60000, false, ServiceState::kStopPending,
       false, 22},
      {"a running spooler refuses the stop: the start is asked once",
       WindowsVersion::kWinXp, {{"ControlService", "", 1052, FaultMode::kAlways}}, true,
       false, normal, false, ServiceState::kRunning, false},
      // The removal's second restart meets the stop its first one gave up on.
      {"a stop outlasting the first restart: the second starts the spooler",
       WindowsVersion::kWinXp, {}, true, false, 15000, true, ServiceState::kRunning, true,
       31, 2},
  };
  for (const Row& r : rows) {
    TestMachine machine(r.version);
    LoadTwoMonitors(*machine);
    for (const Fault& fault : r.faults) machine->faults().Add(fault);
    machine->SetAdministrator(r.administrator);
    machine->services().SetSpoolerStopMs(r.stop_ms);
    if (r.stopped_before) {
      machine->services().StopSpoolerNow(machine->spooler());
    }
    const std::int64_t start = machine->now_ms();

    win::BOOL result = win::FALSE;
    for (int i = 0; i < r.restarts; ++i) result = RestartSpooler(*machine);
    EXPECT_EQ(result != win::FALSE, r.started) << r.row << ": result " << result;
    const std::vector<std::vector<std::string>> pauses(r.pauses, {"500"});
    EXPECT_EQ(Events(*machine, "sleep"), pauses) << r.row;
    EXPECT_EQ(machine->journal().size(), pauses.size())
        << r.row << "\n" << Joined(machine->journal());
    EXPECT_EQ(machine->now_ms() - start, 500 * r.pauses) << r.row;
    EXPECT_EQ(machine->services().SpoolerState(machine->now_ms()), r.after) << r.row;
    if (!r.stopped_before) {
      EXPECT_EQ(Loaded(*machine, DeletedDll(*machine)), !r.stopped) << r.row;
    }
    EXPECT_EQ(Loaded(*machine, RegisteredDll(*machine)), r.after == ServiceState::kRunning ||
                                                    r.after == ServiceState::kStopPending)
        << r.row;
    EXPECT_EQ(Joined(machine->LeakReport()), "") << r.row;
  }
}

}  // namespace
}  // namespace orvane
