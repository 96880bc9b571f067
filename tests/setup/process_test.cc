// The programs as a user runs them: `winsim` to make and arrange a machine,
// `setup` against it, exit codes and messages of the host around the run.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <thread>

#include "winsim/journal.h"
#include "winsim/machine_store.h"

namespace orvane {
namespace {

namespace fs = std::filesystem;

struct Result {
  int code = -1;
  std::string output;  // standard output and standard error together
};

Result Shell(const std::string& command) {
  Result result;
  FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
  if (!pipe) return result;
  char buffer[4096];
  std::size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) result.output.append(buffer, n);
  int status = ::pclose(pipe);
  result.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

std::string Quote(const fs::path& path) { return "'" + path.string() + "'"; }

class Programs : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("setup-process-" + std::to_string(::getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  Result Winsim(const std::string& args) {
    return Shell(std::string(ORVANE_WINSIM_BINARY) + " " + args);
  }
  Result Setup(const fs::path& machine, const std::string& args,
               const std::string& env = "") {
    return Shell("env ORVANE_MACHINE=" + Quote(machine) + " " + env + " " +
               ORVANE_SETUP_BINARY + " " + args + " </dev/null");
  }
  std::vector<std::vector<std::string>> Journal(const fs::path& machine) {
    std::vector<std::vector<std::string>> events;
    std::ifstream in(machine / "journal.log");
    for (std::string line; std::getline(in, line);) {
      events.push_back(winsim::SplitJournalLine(line));
    }
    return events;
  }

  fs::path dir_;
};

TEST_F(Programs, DeclinedUninstallIsJournaledAndEndsWithZero) {
  fs::path m = dir_ / "M";
  ASSERT_EQ(Winsim("create " + Quote(m)).code, 0);
  ASSERT_EQ(Winsim("answer " + Quote(m) + " no").code, 0);
  Result run = Setup(m, "uninstall");
  EXPECT_EQ(run.code, 0) << run.output;
  auto events = Journal(m);
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0][0], "msgbox");
  EXPECT_EQ(events[0][1], "setup");
  EXPECT_EQ(events[0][2], "4");  // MB_YESNO
  EXPECT_EQ(events[0][3], "7");  // IDNO
  EXPECT_EQ(events[0][4], "Are your sure you want to uninstall orvane?");
}

TEST_F(Programs, ArgumentsBecomeAWindowsCommandLine) {
  fs::path m = dir_ / "M";
  ASSERT_EQ(Winsim("create " + Quote(m)).code, 0);
  // Anything but "uninstall" is started hidden, quoted as Windows quotes it.
  Result run = Setup(m, "rundll32.exe 'url.dll,FileProtocolHandler c:\\a b.html'");
  EXPECT_EQ(run.code, 0) << run.output;
  auto events = Journal(m);
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0][0], "process");
  EXPECT_EQ(events[0][1], "1");
  EXPECT_EQ(events[0].back(), "rundll32.exe \"url.dll,FileProtocolHandler c:\\a b.html\"");
}

TEST_F(Programs, DefaultMachineIsMadeOnFirstUse) {
  Result run = Shell("env -u ORVANE_MACHINE HOME=" + Quote(dir_) + " " +
                   ORVANE_SETUP_BINARY + " Uninstall </dev/null");
  EXPECT_EQ(run.code, 0) << run.output;
  EXPECT_TRUE(fs::exists(dir_ / ".orvane" / "machine" / "machine.ini"));
  EXPECT_TRUE(fs::exists(dir_ / ".orvane" / "machine" / "drive_c" / "orvane" / "setup.exe"));
}

TEST_F(Programs, ASecondSetupWaitsForTheFirst) {
  fs::path m = dir_ / "M";
  ASSERT_EQ(Winsim("create " + Quote(m)).code, 0);
  ASSERT_EQ(Winsim("answer " + Quote(m) + " no no").code, 0);

  // While another process holds the machine, setup waits, then gives up.
  auto held = std::make_unique<winsim::MachineFolder>(m, std::chrono::seconds(1));
  Result refused = Setup(m, "uninstall", "ORVANE_LOCK_WAIT_MS=200");
  EXPECT_EQ(refused.code, 1);
  EXPECT_NE(refused.output.find("in use by another process"), std::string::npos)
      << refused.output;
  EXPECT_TRUE(Journal(m).empty()) << "nothing ran";

  // Released while it waits, setup goes on and runs whole.
  std::thread release([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    held.reset();
  });
  Result waited = Setup(m, "uninstall", "ORVANE_LOCK_WAIT_MS=20000");
  release.join();
  EXPECT_EQ(waited.code, 0) << waited.output;
  EXPECT_EQ(Journal(m).size(), 1u);
}

TEST_F(Programs, HostFailuresEndWithOneAndNameTheMachine) {
  fs::path m = dir_ / "M";
  Result missing = Winsim("journal " + Quote(m));
  EXPECT_EQ(missing.code, 1);
  EXPECT_NE(missing.output.find(m.string()), std::string::npos) << missing.output;

  ASSERT_EQ(Winsim("create " + Quote(m) + " --windows 98").code, 0);
  std::ofstream(m / "machine.ini", std::ios::app) << "[answers]\nqueue=perhaps\n";
  Result damaged = Setup(m, "");
  EXPECT_EQ(damaged.code, 1);
  EXPECT_NE(damaged.output.find("machine.ini:"), std::string::npos) << damaged.output;
}

struct UsageRow {
  const char* args;
};

TEST_F(Programs, BadArgumentsShowUsageAndEndWithTwo) {
  fs::path m = dir_ / "M";
  ASSERT_EQ(Winsim("create " + Quote(m)).code, 0);
  const UsageRow rows[] = {
      {""},
      {"frobnicate x"},
      {"create y --windows vista"},
      {"create y --bogus"},
      {"answer M maybe"},
      {"answer M"},
      {"fault M CreateFileA"},
      {"fault M CreateFileA abc"},
      {"fault M CreateFileA 5 sometimes"},
      {"journal M extra"},
  };
  for (const UsageRow& row : rows) {
    std::string args = row.args;
    if (auto at = args.find(" M"); at != std::string::npos) {
      args.replace(at + 1, 1, Quote(m));
    }
    Result r = Winsim(args);
    EXPECT_EQ(r.code, 2) << row.args << "\n" << r.output;
    EXPECT_NE(r.output.find("usage:"), std::string::npos) << row.args;
  }
  EXPECT_FALSE(fs::exists(fs::current_path() / "y"));
}

TEST_F(Programs, FaultsAndRegistryImportsReachTheMachine) {
  fs::path m = dir_ / "M";
  ASSERT_EQ(Winsim("create " + Quote(m) + " --windows nt4").code, 0);
  ASSERT_EQ(Winsim("fault " + Quote(m) + " CreateProcessA 5 always --match rundll32").code, 0);
  std::ofstream(dir_ / "root.reg", std::ios::binary)
      << "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\Orvane]\r\n\"Path\"=\"d:\\\\apps\"\r\n";
  ASSERT_EQ(Winsim("reg-import " + Quote(m) + " " + Quote(dir_ / "root.reg")).code, 0);

  Result reg = Winsim("reg " + Quote(m) + " 'HKEY_LOCAL_MACHINE\\Software\\Orvane'");
  EXPECT_EQ(reg.code, 0);
  EXPECT_NE(reg.output.find("\"Path\"=\"d:\\\\apps\""), std::string::npos) << reg.output;

  Result run = Setup(m, "rundll32.exe url.dll,FileProtocolHandler x");
  EXPECT_EQ(run.code, 0);
  auto events = Journal(m);
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0][1], "0") << "the injected failure stopped the start";
}

TEST_F(Programs, KilledWhileSavingLeavesAWholeMachine) {
  fs::path m = dir_ / "M";
  ASSERT_EQ(Winsim("create " + Quote(m)).code, 0);
  std::string before = Shell(std::string(ORVANE_WINSIM_BINARY) + " reg " + Quote(m)).output;
  // Each `answer` loads, adds one answer and saves the whole machine; kill the
  // loop at spread-out moments and check that what is left always loads.
  fs::path script = dir_ / "save-loop.sh";
  std::ofstream(script) << "for i in $(seq 1 400); do " << ORVANE_WINSIM_BINARY
                        << " answer " << Quote(m) << " yes >/dev/null 2>&1; done\n";
  std::size_t saved = 0;
  for (int round = 0; round < 12; ++round) {
    // The loop in a process group of its own, so the kill reaches the winsim
    // it runs, wherever that is in its load or save.
    pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      ::setpgid(0, 0);
      ::execl("/bin/sh", "sh", script.c_str(), static_cast<char*>(nullptr));
      ::_exit(127);
    }
    ::setpgid(pid, pid);
    // Kill only after the loop has saved once more (a loaded machine runs it
    // slowly), then at a spread-out moment of a later load or save.
    auto queued = [&m] {
      std::ifstream ini(m / "machine.ini");
      std::string line;
      while (std::getline(ini, line)) {
        if (line.rfind("queue=", 0) == 0) return std::count(line.begin(), line.end(), 'y');
      }
      return std::ptrdiff_t{0};
    };
    const auto before_round = queued();
    for (int wait = 0; wait < 500 && queued() <= before_round; ++wait) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(round * 37 % 200));
    ::kill(-pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
    winsim::MachineFolder folder(m, std::chrono::seconds(5));
    auto machine = folder.Load();  // throws on a torn file
    EXPECT_EQ(machine->registry().ExportRegedit4(), before) << "round " << round;
    saved = machine->answers().size();
  }
  EXPECT_GE(saved, 12u) << "the loop saved the machine in every round";
}

}  // namespace
}  // namespace orvane
