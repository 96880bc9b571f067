// The spooler restart against a stop that takes its time: the start is asked
// again every 500 ms while the stop completes, 20 times at most. Refusals, a
// stopped spooler and the monitor DLL a restart frees show in whole runs
// (scenarios.txt).
#include "system/service_control.h"

#include <gtest/gtest.h>

#include "setup/scenario.h"

namespace orvane {
namespace {

TEST(RestartSpooler, AsksAgainEvery500MsWhileTheStopCompletes) {
  using winsim::ServiceState;
  struct Row { std::int64_t stopMs; int restarts, pauses; bool started; ServiceState after; };
  const Row rows[] = {
      {2000, 1, 5, true, ServiceState::kRunning},
      {60000, 1, 22, false, ServiceState::kStopPending},
      // The removal's second restart meets the stop its first one gave up on,
      // and starts the spooler once that completes.
      {15000, 2, 31, true, ServiceState::kRunning},
  };
  for (const auto version : {winsim::WindowsVersion::kWinXp, winsim::WindowsVersion::kNt4}) {
    for (const Row& r : rows) {
      auto machine = setup_test::BareMachine(version);
      machine->services().SetSpoolerStopMs(r.stopMs);
      win::BOOL started = win::FALSE;
      for (int i = 0; i < r.restarts; ++i) started = RestartSpooler(*machine);
      EXPECT_EQ(started != win::FALSE, r.started) << r.stopMs;
      EXPECT_EQ(machine->journal(), std::vector<std::string>(r.pauses, "sleep\t500")) << r.stopMs;
      EXPECT_EQ(machine->services().SpoolerState(machine->now_ms()), r.after) << r.stopMs;
    }
  }
}

}  // namespace
}  // namespace orvane
