// Setup as it is started: the command line taken apart (the run modes it picks
// are rows of scenarios.txt), and the programs `winsim` and `setup` as a user
// runs them, with the exit codes and messages of the host.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>

#include "setup/scenario.h"

namespace orvane {
namespace {

TEST(CommandLine, TheProgramNameIsStrippedAndArgumentsQuotedAsWindowsDoes) {
  struct Row { const char* line; const char* tail; };
  const Row rows[] = {
      {"\"C:\\Program Files\\Orvane\\setup.exe\" uninstall", "uninstall"},
      {"C:\\orvane\\setup.exe uninstall", "uninstall"}, {"\"C:\\orvane\\setup.exe\"", ""},
      {"\"C:\\orvane\\setup.exe\"    ", ""}, {"setup.exe \t \t", ""}, {"", ""},
      {"setup.exe\t\tuninstall", "uninstall"}, {"setup.exe\x01\x1f uninstall", "uninstall"},
      {"setup.exe  uninstall  ", "uninstall  "}, {"setup.exe a  /a \"b c\"", "a  /a \"b c\""},
      {"\"C:\\orvane\\setup.exe\"uninstall", "uninstall"}, {"\"\"  uninstall", "uninstall"},
      {"\"C:\\orvane\\setup.exe uninstall", ""}, {"setup.exe\xa0uninstall", ""},
      {"C:\\\xc4\xe9\xff\\setup.exe uninstall", "uninstall"}, {"  uninstall", "uninstall"},
  };
  for (const Row& r : rows) {  // the tail of the process command line itself, not a copy
    EXPECT_EQ(ExtractCommandLine(r.line), r.line + strlen(r.line) - strlen(r.tail)) << r.line;
  }
  EXPECT_STREQ(ExtractCommandLine(nullptr), "");
  struct Built { std::vector<std::string> args; const char* line; };
  const Built built[] = {
      {{}, R"("C:\o\setup.exe")"}, {{"a", "b"}, R"("C:\o\setup.exe" a b)"},
      {{""}, R"("C:\o\setup.exe" "")"}, {{"a "}, R"("C:\o\setup.exe" "a ")"},
      {{"a\tb"}, "\"C:\\o\\setup.exe\" \"a\tb\""}, {{R"(C:\d\)"}, R"("C:\o\setup.exe" C:\d\)"},
      {{R"(C:\m d\)"}, R"("C:\o\setup.exe" "C:\m d\\")"},
      {{R"(C:\m d\x)"}, R"("C:\o\setup.exe" "C:\m d\x")"},
      {{R"(say "hi")"}, R"("C:\o\setup.exe" "say \"hi\"")"},
      {{R"(a\"b)"}, R"("C:\o\setup.exe" "a\\\"b")"},
      {{R"(a\\"b)"}, R"("C:\o\setup.exe" "a\\\\\"b")"},
  };
  for (const Built& b : built)
    EXPECT_EQ(BuildProcessCommandLine("C:\\o\\setup.exe", b.args), b.line);
}

// A shell command with $W (winsim), $S (setup on the machine $M) and $D (a fresh
// folder) set: its exit code and its output with standard error.
std::pair<int, std::string> Shell(const std::string& command) {
  FILE* pipe = ::popen(("{ " + command + "; } 2>&1 </dev/null").c_str(), "r");
  std::string output;
  char buffer[4096];
  for (std::size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) output.append(buffer, n);
  const int status = ::pclose(pipe);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, output};
}

TEST(Programs, CommandsInTurnOnOneMachine) {
  const winsim::testing::TempDir dir;
  ::setenv("D", dir.path().c_str(), 1);
  ::setenv("M", (dir.path() / "M").c_str(), 1);
  ::setenv("W", ORVANE_WINSIM_BINARY, 1);
  ::setenv("S", ("ORVANE_MACHINE=" + dir.path().string() + "/M " ORVANE_SETUP_BINARY).c_str(), 1);
  struct Row { const char* command; int code; const char* output; };  // output: a part of it
  const Row rows[] = {
      {"$W journal $M", 1, "/M"},  // no machine yet: named
      {"$W", 2, "usage:"}, {"$W frobnicate x", 2, "usage:"}, {"$W create $D/y --bogus", 2, ""},
      {"$W create $D/y --windows vista", 2, "usage:"}, {"ls $D/y", 2, ""},
      {"$W create $M --windows nt4", 0, "Windows NT 4.0"}, {"$W answer $M maybe", 2, "usage:"},
      {"$W answer $M", 2, "usage:"}, {"$W fault $M CreateFileA", 2, "usage:"},
      {"$W fault $M CreateFileA abc", 2, "usage:"}, {"$W fault $M CreateFileA 5 sometimes", 2, ""},
      {"$W journal $M extra", 2, "usage:"},
      {"$W answer $M no && env $S uninstall && $W journal $M", 0,
       "msgbox\tsetup\t4\t7\tAre your sure you want to uninstall orvane?\n"},
      // Anything but "uninstall" is started hidden, quoted as Windows quotes it.
      {"env $S rundll32.exe 'url.dll,FileProtocolHandler c:\\a b.html' && $W journal $M", 0,
       "process\t1\t0x200\tcb=68 flags=0x1 show=0 zero=yes\tenv=own\tapp=null\tdir=null\t"
       "ran=C:\\\\WINNT\\\\system32\\\\rundll32.exe\t"
       "rundll32.exe \"url.dll,FileProtocolHandler c:\\\\a b.html\"\n"},
      {"$W fault $M CreateProcessA 5 always --match rundll32 && env $S rundll32.exe x && "
       "$W journal $M | tail -1", 0, "process\t0\t"},
      {R"(printf 'REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Software\\Orvane]\n"Path"="d:\\\\apps"\n' >$D/r)"
       " && $W reg-import $M $D/r && $W reg $M 'HKEY_LOCAL_MACHINE\\Software\\Orvane'", 0,
       "\"Path\"=\"d:\\\\apps\""},
      // While another process holds the machine, setup waits, then gives up
      // (one that waits and goes on: tests/campaign/concurrency_test.cc).
      {"flock $M/.lock env ORVANE_LOCK_WAIT_MS=200 $S uninstall", 1, "in use by another process"},
      // Killed at spread-out moments of its save, a machine is left whole: it
      // loads, unchanged. Each `answer` loads it, adds one answer, saves it.
      {"$W reg $M >$D/reg || exit 1; for i in $(seq 12); do "
       "setsid sh -c 'while :; do $W answer $M yes; done' >/dev/null 2>&1 & "
       "n=$(wc -c <$M/machine.ini); for t in $(seq 500); do "
       "[ $(wc -c <$M/machine.ini) = $n ] || break; sleep 0.02; done; "
       "sleep $(printf 0.%03d $((i * 37 % 200))); kill -s KILL -- -$!; "
       "[ $t -lt 500 ] && $W reg $M | cmp - $D/reg || exit 1; done", 0, ""},
      {"printf '[answers]\\nqueue=perhaps\\n' >>$M/machine.ini; env $S", 1, "machine.ini:"},
      {"env -u ORVANE_MACHINE HOME=$D " ORVANE_SETUP_BINARY " Uninstall && "
       "ls $D/.orvane/machine/drive_c/orvane", 0, "setup.exe"},
  };
  for (const Row& r : rows) {
    const auto [code, output] = Shell(r.command);
    EXPECT_EQ(code, r.code) << r.command << "\n" << output;
    EXPECT_NE(output.find(r.output), std::string::npos) << r.command << "\n" << output;
  }
}

}  // namespace
}  // namespace orvane
