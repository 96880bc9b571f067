// Two `setup` processes against one machine, and a setup log that another
// process holds. The second process waits for the machine's lock and nothing
// of either run is torn: the machine ends exactly as after the two runs one
// after the other. A held log loses its lines and nothing else.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <sstream>
#include <thread>

#include "setup/scenario.h"
#include "tools/campaign/log_allowlist.h"
#include "tools/campaign/snapshot.h"
#include "winsim/machine_store.h"

namespace orvane::campaign {
namespace {

namespace fs = std::filesystem;
using setup_test::Scenario;
using setup_test::TempFolder;

constexpr char kLog[] = "C:\\orvane\\res\\drivedir\\setup.log";

std::string Quote(const fs::path& path) { return "'" + path.string() + "'"; }

int Shell(const std::string& command) {
  const int status = std::system((command + " >/dev/null 2>&1").c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string SetupCommand(const fs::path& machine, const std::string& args) {
  return "env ORVANE_MACHINE=" + Quote(machine) + " ORVANE_LOCK_WAIT_MS=30000 " +
         ORVANE_SETUP_BINARY + " " + args + " </dev/null";
}

// A machine folder's content: every file but the lock, by relative path.
std::map<std::string, std::string> Contents(const fs::path& dir) {
  std::map<std::string, std::string> contents;
  for (const auto& entry : fs::recursive_directory_iterator(dir)) {
    if (!entry.is_regular_file() || entry.path().filename() == ".lock") continue;
    std::ifstream in(entry.path(), std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    contents[entry.path().lexically_relative(dir).string()] = bytes.str();
  }
  return contents;
}

void Create(const fs::path& machine) {
  ASSERT_EQ(Shell(std::string(ORVANE_WINSIM_BINARY) + " create " + Quote(machine)), 0);
  ASSERT_EQ(Shell(std::string(ORVANE_WINSIM_BINARY) + " answer " + Quote(machine) + " yes"), 0);
}

TEST(TwoSetupProcesses, TheSecondWaitsAndTheMachineEndsAsAfterOneThenTheOther) {
  TempFolder folder;
  // The two orders in which the runs can come, one after the other.
  const fs::path installFirst = folder.path() / "install-first";
  const fs::path uninstallFirst = folder.path() / "uninstall-first";
  Create(installFirst);
  Create(uninstallFirst);
  ASSERT_EQ(Shell(SetupCommand(installFirst, "")), 0);
  ASSERT_EQ(Shell(SetupCommand(installFirst, "uninstall")), 0);
  ASSERT_EQ(Shell(SetupCommand(uninstallFirst, "uninstall")), 0);
  ASSERT_EQ(Shell(SetupCommand(uninstallFirst, "")), 0);
  const auto afterInstallFirst = Contents(installFirst);
  const auto afterUninstallFirst = Contents(uninstallFirst);
  ASSERT_NE(afterInstallFirst, afterUninstallFirst) << "the order shows";

  for (int round = 0; round < 3; ++round) {
    const fs::path m = folder.path() / ("both-" + std::to_string(round));
    Create(m);
    const auto created = Contents(m);
    // Both start while the machine is held, so both wait for it.
    auto held = std::make_unique<winsim::MachineFolder>(m, std::chrono::seconds(5));
    FILE* install = ::popen((SetupCommand(m, "") + " >/dev/null 2>&1").c_str(), "r");
    FILE* uninstall = ::popen((SetupCommand(m, "uninstall") + " >/dev/null 2>&1").c_str(), "r");
    ASSERT_NE(install, nullptr);
    ASSERT_NE(uninstall, nullptr);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(Contents(m), created) << "round " << round << ": nothing ran while held";
    held.reset();
    const int installStatus = ::pclose(install);
    const int uninstallStatus = ::pclose(uninstall);
    EXPECT_TRUE(WIFEXITED(installStatus) && WEXITSTATUS(installStatus) == 0) << round;
    EXPECT_TRUE(WIFEXITED(uninstallStatus) && WEXITSTATUS(uninstallStatus) == 0) << round;

    const auto after = Contents(m);
    EXPECT_TRUE(after == afterInstallFirst || after == afterUninstallFirst)
        << "round " << round << ": the machine is neither of the two orders";
    const std::string log = after.count("drive_c/orvane/res/drivedir/setup.log")
                                ? after.at("drive_c/orvane/res/drivedir/setup.log")
                                : std::string();
    EXPECT_FALSE(log.empty());
    const auto findings = CheckLog(log);
    EXPECT_TRUE(findings.empty()) << findings.front();
  }
}

// Runs install then uninstall on two machines alike, `arrange` applied to the
// second before each run; the second's state must equal the first's but for
// the log.
struct Twins {
  explicit Twins(winsim::WindowsVersion version) : plain(version), other(version) {
    for (Scenario* s : {&plain, &other}) (**s).files().WriteAll(kLog, "old\r\n");
  }
  void RunBoth(const std::vector<std::string>& args,
               const std::function<void(winsim::Machine&)>& arrange) {
    for (Scenario* s : {&plain, &other}) {
      if (!args.empty()) (*s)->answers().push_back(win::IDYES);
      if (s == &other) arrange(*other);
      ASSERT_EQ(s->Run(args), 0);
      (*s)->faults().Clear();
    }
  }
  Scenario plain;
  Scenario other;
};

std::vector<std::string> WithoutLog(const Snapshot& snapshot) {
  std::vector<std::string> items;
  for (const auto& [path, key] : snapshot.keys) {
    std::string line = path;
    for (const auto& v : key.values) {
      line += "|" + v.name + ":" + std::to_string(v.type) + ":" +
              std::string(v.data.begin(), v.data.end());
    }
    items.push_back(line);
  }
  for (const auto& [path, file] : snapshot.files) {
    if (path != Upper(kLog)) items.push_back(path + "=" + file.bytes);
  }
  return items;
}

TEST(HeldLog, LosesItsLinesAndNothingElse) {
  for (auto version : {winsim::WindowsVersion::kWinXp, winsim::WindowsVersion::kWin98}) {
    Twins twins(version);
    auto hold = [](winsim::Machine& m) { m.files().HoldByOtherProcess(kLog, 0); };
    twins.RunBoth({}, hold);
    twins.RunBoth({"uninstall"}, hold);
    const std::string row = twins.plain->profile().name;
    EXPECT_EQ(WithoutLog(TakeSnapshot(*twins.other)), WithoutLog(TakeSnapshot(*twins.plain)))
        << row;
    EXPECT_EQ(twins.other->journal(), twins.plain->journal()) << row;
    EXPECT_EQ(twins.other->standard_output(), twins.plain->standard_output()) << row;
    EXPECT_EQ(setup_test::FileText(*twins.other, kLog), "old\r\n") << row;
    EXPECT_GT(twins.plain.LogLines().size(), 3u) << row;
  }
}

// Log lines with the numbers behind ": " masked. The removal logs the
// last-error value after calls that succeeded, and the value left there is
// the log's own open before (183 when it opened the existing file, 32 when it
// was refused): a lost line changes the number that a later line carries,
// which is the installer's documented way of logging, not a torn log.
std::vector<std::string> Labels(std::vector<std::string> lines) {
  for (std::string& line : lines) {
    const std::size_t colon = line.rfind(": ");
    if (colon != std::string::npos && colon + 2 < line.size() &&
        line.find_first_not_of("0123456789", colon + 2) == std::string::npos) {
      line.replace(colon + 2, std::string::npos, "N");
    }
  }
  return lines;
}

TEST(HeldLog, AnOpenRefusedOnceLosesThatLineAlone) {
  // The log's first open of each run meets a sharing violation, as when
  // another process has the file open at that moment.
  for (auto version : {winsim::WindowsVersion::kWinXp, winsim::WindowsVersion::kWin98}) {
    Twins twins(version);
    auto refuse = [](winsim::Machine& m) {
      m.faults().Add(
          {"CreateFileA", "setup.log", win::ERROR_SHARING_VIOLATION, winsim::FaultMode::kOnce});
    };
    const std::string row = twins.plain->profile().name;
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{}, std::vector<std::string>{"uninstall"}}) {
      const std::size_t plainBefore = twins.plain.LogLines().size();
      std::vector<std::string> want = twins.other.LogLines();
      twins.RunBoth(args, refuse);
      // What the run added to the plain log, less its first line.
      const auto plainLines = twins.plain.LogLines();
      if (plainLines.size() > plainBefore) {
        want.insert(want.end(), plainLines.begin() + plainBefore + 1, plainLines.end());
      }
      EXPECT_EQ(Labels(twins.other.LogLines()), Labels(want))
          << row << " " << (args.empty() ? "install" : "uninstall");
    }
    EXPECT_GT(twins.plain.LogLines().size(), 3u) << row;
    EXPECT_EQ(WithoutLog(TakeSnapshot(*twins.other)), WithoutLog(TakeSnapshot(*twins.plain)))
        << row;
    EXPECT_EQ(twins.other->journal(), twins.plain->journal()) << row;
    EXPECT_EQ(twins.other->standard_output(), twins.plain->standard_output()) << row;
  }
}

}  // namespace
}  // namespace orvane::campaign
