// Setup as it is started: the command line taken apart, the three run modes it
// picks (what was shown, what was started), and the programs `winsim` and
// `setup` as a user runs them, with the exit codes and messages of the host.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
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

TEST(Dispatch, TheCommandLinePicksInstallQuestionOrAHiddenStart) {
  const std::string no = "msgbox|setup|4|7|Are your sure you want to uninstall orvane?\n";
  const std::string started = "process|1|0x200|cb=68 flags=0x1 show=0 zero=yes|env=own|app=null|"
                              "dir=null|ran=C:\\\\";
  const std::string hidden = "process|0|0x200|cb=68 flags=0x1 show=0 zero=yes|env=own|app=null|"
                             "dir=null|ran=none|";
  struct Row { const char* line; int answer; std::string shown; };  // "install": the log's start
  const Row rows[] = {
      {"\"C:\\orvane\\setup.exe\"   ", 0, "install"}, {"C:\\orvane\\setup.exe \t ", 0, "install"},
      {"\"C:\\orvane\\setup.exe\" uninstall", win::IDNO, no},
      {"C:\\orvane\\setup.exe \t uninstall", win::IDNO, no},
      {"\"C:\\Program Files\\orv.1\\OrvSetup.EXE\" uninstall", win::IDNO,
       "msgbox|OrvSetup|4|7|Are your sure you want to uninstall orvane?\n"},
      {"\"C:\\orvane\\setup.exe\" uninstall", win::IDYES, "removal"},
      {"a Uninstall", 0, hidden + "Uninstall\n"}, {"a /uninstall", 0, hidden + "/uninstall\n"},
      {"a uninstall ", 0, hidden + "uninstall \n"}, {"a uninstall x", 0, hidden + "uninstall x\n"},
      {"a \"C:\\P F\\t.exe\" /x \"a b\"  ", 0,
       started + "P F\\\\t.exe|\"C:\\\\P F\\\\t.exe\" /x \"a b\"  \n"},
      {"a notepad readme.txt", 0,
       started + "WINDOWS\\\\system32\\\\notepad.exe|notepad readme.txt\n"},
      // The user's own command line keeps Windows' search: setup's folder first.
      {"a rundll32.exe x", 0, started + "orvane\\\\rundll32.exe|rundll32.exe x\n"},
  };
  for (const Row& r : rows) {
    setup_test::TestMachine machine;
    machine->files().MakeDirectories("C:\\orvane\\res\\drivedir");  // the log's folder
    for (const char* program : {"C:\\P F\\t.exe", "C:\\orvane\\rundll32.exe",
                                "C:\\WINDOWS\\system32\\notepad.exe", "C:\\D\\rundll32.exe"})
      machine->files().WriteAll(program, "MZ");
    machine->files().SetCurrentDirectory("C:\\D");
    if (r.line[0] == '"') machine->SetModulePath(std::string(r.line + 1, strchr(r.line + 1, '"')));
    if (r.answer) machine->answers().push_back(r.answer);
    machine->SetCommandLine(r.line);
    SetupApp app;
    EXPECT_EQ(AfxWinMain(*machine, app), 0) << r.line;
    std::string shown, log = setup_test::FileText(*machine, "C:\\orvane\\res\\drivedir\\setup.log");
    for (std::string line : machine->journal()) {
      std::replace(line.begin(), line.end(), '\t', '|');
      shown += line + "\n";
    }
    if (r.shown == "install") {
      EXPECT_TRUE(log.starts_with("07-04-03: 09:05is_winnt = TRUE\r\n")) << log;
    } else if (r.shown == "removal") {  // the question, the restarts' pauses, a closing box
      EXPECT_TRUE(shown.starts_with("msgbox|setup|4|6|Are your sure")) << shown;
      EXPECT_NE(shown.find("\nsleep|500\n"), std::string::npos) << shown;
      EXPECT_EQ(shown.rfind("\nmsgbox|"), shown.find("\nmsgbox|")) << "two boxes\n" << shown;
    } else {
      EXPECT_EQ(shown + log, r.shown + "<missing>") << r.line;
    }
    EXPECT_TRUE(machine->answers().empty()) << r.line;
  }
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
  const setup_test::TempFolder dir;
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
      // While another process holds the machine, setup waits, then gives up;
      // released while it waits, setup goes on.
      {"flock $M/.lock env ORVANE_LOCK_WAIT_MS=200 $S uninstall", 1, "in use by another process"},
      {"$W answer $M no && flock $M/.lock -c 'touch $D/held; sleep 0.4' & "
       "while [ ! -e $D/held ]; do sleep 0.01; done; "
       "env ORVANE_LOCK_WAIT_MS=20000 $S uninstall && $W journal $M | tail -1", 0, "msgbox\t"},
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
