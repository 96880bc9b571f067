// Two `setup` processes against one machine: the second waits for the lock and
// the machine ends exactly as after one run then the other. A log another
// process holds loses the lines of its refused opens, and nothing else.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <regex>
#include <sstream>
#include <thread>

#include "setup/scenario.h"
#include "tools/campaign/log_allowlist.h"
#include "winsim/machine_store.h"

namespace orvane::campaign {
namespace {

namespace fs = std::filesystem;
using setup_test::Scenario;
using Findings = std::vector<std::string>;
constexpr char kLog[] = "C:\\orvane\\res\\drivedir\\setup.log";

FILE* StartSetup(const fs::path& machine, const std::string& args) {
  return ::popen(("env ORVANE_MACHINE='" + machine.string() + "' ORVANE_LOCK_WAIT_MS=30000 " +
                  ORVANE_SETUP_BINARY + " " + args + " </dev/null >/dev/null 2>&1").c_str(), "r");
}

// A machine folder's files but the lock, by relative path.
std::map<std::string, std::string> Contents(const fs::path& dir) {
  std::map<std::string, std::string> contents;
  for (const auto& entry : fs::recursive_directory_iterator(dir)) {
    if (!entry.is_regular_file() || entry.path().filename() == ".lock") continue;
    std::ostringstream bytes;
    bytes << std::ifstream(entry.path(), std::ios::binary).rdbuf();
    contents[entry.path().lexically_relative(dir).string()] = bytes.str();
  }
  return contents;
}

fs::path Create(const fs::path& m) {
  const std::string winsim = std::string(ORVANE_WINSIM_BINARY) + " ";
  EXPECT_EQ(std::system((winsim + "create '" + m.string() + "' >/dev/null && " + winsim +
                         "answer '" + m.string() + "' yes >/dev/null").c_str()), 0);
  return m;
}

TEST(TwoSetupProcesses, TheSecondWaitsAndTheMachineEndsAsAfterOneThenTheOther) {
  winsim::testing::TempDir folder;
  std::vector<std::map<std::string, std::string>> orders;  // install first, uninstall first
  for (const char* first : {"", "uninstall"}) {
    const fs::path m = Create(folder.path() / (std::string("order-") + first));
    for (const char* args : {first, *first ? "" : "uninstall"}) {
      EXPECT_EQ(::pclose(StartSetup(m, args)), 0) << args;
    }
    orders.push_back(Contents(m));
  }
  ASSERT_NE(orders[0], orders[1]) << "the order shows";
  for (int round = 0; round < 2; ++round) {
    const fs::path m = Create(folder.path() / ("both-" + std::to_string(round)));
    const auto created = Contents(m);
    // Both start while the machine is held, so both wait for it.
    auto held = std::make_unique<winsim::MachineFolder>(m, std::chrono::seconds(5));
    FILE* install = StartSetup(m, "");
    FILE* uninstall = StartSetup(m, "uninstall");
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(Contents(m), created) << "round " << round << ": nothing ran while held";
    held.reset();
    EXPECT_EQ(::pclose(install), 0) << round;
    EXPECT_EQ(::pclose(uninstall), 0) << round;
    const auto after = Contents(m);
    EXPECT_TRUE(after == orders[0] || after == orders[1]) << "round " << round << ": torn";
    EXPECT_EQ(CheckLog(after.at("drive_c/orvane/res/drivedir/setup.log")), Findings{});
  }
}

// Log lines with the number after a last ": " masked: a removal logs the
// last-error value of calls that succeeded, which is what the log's own open
// left there (183 when it opened the existing file, 32 when it was refused).
std::vector<std::string> Masked(std::vector<std::string> lines) {
  for (std::string& line : lines) line = std::regex_replace(line, std::regex(": [0-9]+$"), ": N");
  return lines;
}

// Two machines alike run install then uninstall, the second with the log held
// by another process throughout, or with the first open of each run refused.
// Only the log may differ, by exactly the lines those opens would have written.
TEST(HeldLog, LosesTheLinesOfItsRefusedOpensAndNothingElse) {
  const std::function<void(winsim::Machine&)> holds[] = {
      [](winsim::Machine& m) { m.files().HoldByOtherProcess(kLog, 0); },
      [](winsim::Machine& m) {
        m.faults().Add({"CreateFileA", "setup.log", win::ERROR_SHARING_VIOLATION,
                        winsim::FaultMode::kOnce});
      }};
  for (auto version : {winsim::WindowsVersion::kWinXp, winsim::WindowsVersion::kWin98}) {
    for (std::size_t lost : {std::size_t{1000}, std::size_t{1}}) {
      Scenario plain(version), other(version);
      const std::string row = plain->profile().name + (" losing " + std::to_string(lost));
      std::vector<std::string> want = {"old"};
      for (Scenario* s : {&plain, &other}) (*s)->files().WriteAll(kLog, "old\r\n");
      for (const std::vector<std::string>& args : {std::vector<std::string>{}, {"uninstall"}}) {
        const std::size_t before = plain.LogLines().size();
        for (Scenario* s : {&plain, &other}) {
          if (!args.empty()) (*s)->answers().push_back(win::IDYES);
          if (s == &other) holds[lost == 1](*other);
          ASSERT_EQ(s->Run(args), 0) << row;
          (*s)->faults().Clear();
        }
        const auto lines = plain.LogLines();
        want.insert(want.end(), lines.begin() + std::min(before + lost, lines.size()), lines.end());
      }
      EXPECT_GT(plain.LogLines().size(), 3u) << row;
      EXPECT_EQ(Masked(other.LogLines()), Masked(want)) << row;
      for (Scenario* s : {&plain, &other}) (*s)->files().Remove(kLog);
      EXPECT_EQ(Contents(other.folder()), Contents(plain.folder())) << row;
      EXPECT_EQ(other->registry().ExportRegedit4(), plain->registry().ExportRegedit4()) << row;
      EXPECT_EQ(other->journal(), plain->journal()) << row;
      EXPECT_EQ(other->standard_output(), plain->standard_output()) << row;
    }
  }
}

}  // namespace
}  // namespace orvane::campaign
