// The three run modes as a user sees them: what was shown, what was started,
// and the exit code.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/setup_app.h"
#include "platform/command_line.h"
#include "platform/framework.h"
#include "setup/fixture.h"

namespace orvane {
namespace {

using setup_test::Events;
using setup_test::Joined;
using setup_test::TestMachine;

constexpr char kQuestion[] = "Are your sure you want to uninstall orvane?";

int RunSetup(winsim::Machine& machine, const std::string& processCommandLine) {
  machine.SetCommandLine(processCommandLine);
  SetupApp app;
  return AfxWinMain(machine, app);
}

TEST(Dispatch, NoArgumentsRunTheInstall) {
  const char* rows[] = {
      "\"C:\\orvane\\setup.exe\"",
      "\"C:\\orvane\\setup.exe\"   ",
      "C:\\orvane\\setup.exe",
      "C:\\orvane\\setup.exe \t ",
  };
  for (const char* row : rows) {
    TestMachine machine;
    machine->files().MakeDirectories("C:\\orvane\\res\\drivedir");  // the log's folder
    EXPECT_EQ(RunSetup(*machine, row), 0) << row;
    // The install context's family lines open the log: the install ran.
    const std::string log =
        setup_test::FileText(*machine, "C:\\orvane\\res\\drivedir\\setup.log");
    const std::string family =
        "07-04-03: 09:05is_winnt = TRUE\r\n07-04-03: 09:05is_win4 = TRUE\r\n";
    EXPECT_EQ(log.substr(0, family.size()), family) << row;
    // Nothing was taken for a command line to start hidden, nor for "uninstall".
    for (const auto& process : Events(*machine, "process")) {
      EXPECT_NE(process.at(2), "cb=68 flags=0x1 show=0 zero=yes") << row;
    }
    for (const auto& box : Events(*machine, "msgbox")) {
      EXPECT_NE(box.at(1), std::to_string(win::MB_YESNO)) << row;
    }
    EXPECT_EQ(Joined(machine->LeakReport()), "") << row;
  }
}

TEST(Dispatch, UninstallWordAsksOnceWithTheProgramNameAsCaption) {
  struct Row {
    const char* row;
    const char* modulePath;
    std::string processCommandLine;
    int answer;
    const char* caption;
  };
  const Row rows[] = {
      {"yes", "C:\\orvane\\setup.exe",
       BuildProcessCommandLine("C:\\orvane\\setup.exe", {"uninstall"}), win::IDYES,
       "setup"},
      {"no", "C:\\orvane\\setup.exe", "\"C:\\orvane\\setup.exe\" uninstall", win::IDNO,
       "setup"},
      {"unquoted, blanks before the word", "C:\\orvane\\setup.exe",
       "C:\\orvane\\setup.exe \t uninstall", win::IDYES, "setup"},
      {"renamed program in a dotted folder", "C:\\Program Files\\orv.1\\OrvSetup.EXE",
       "\"C:\\Program Files\\orv.1\\OrvSetup.EXE\" uninstall", win::IDNO, "OrvSetup"},
  };
  for (const Row& r : rows) {
    TestMachine machine;
    machine->SetModulePath(r.modulePath);
    machine->answers().push_back(r.answer);
    EXPECT_EQ(RunSetup(*machine, r.processCommandLine), 0) << r.row;
    const std::vector<std::string> question = {
        r.caption, std::to_string(win::MB_YESNO), std::to_string(r.answer), kQuestion};
    auto boxes = Events(*machine, "msgbox");
    ASSERT_FALSE(boxes.empty()) << r.row;
    EXPECT_EQ(boxes.front(), question) << r.row;
    if (r.answer == win::IDNO) {
      // No ends the program with no further effect.
      EXPECT_EQ(machine->journal().size(), 1u) << r.row << "\n"
                                               << Joined(machine->journal());
    } else {
      // Yes runs the removal: its spooler restarts pause, its closing box follows.
      EXPECT_FALSE(Events(*machine, "sleep").empty()) << r.row;
      EXPECT_EQ(boxes.size(), 2u) << r.row;
    }
    EXPECT_TRUE(machine->answers().empty()) << r.row;
  }
}

TEST(Dispatch, AnyOtherCommandLineStartsHiddenVerbatim) {
  struct Row {
    const char* row;
    const char* arguments;
    const char* ran;  // the program file that starts
  };
  const Row rows[] = {
      {"capitalised", "Uninstall", "none"},
      {"upper case", "UNINSTALL", "none"},
      {"leading slash", "/uninstall", "none"},
      {"trailing blank", "uninstall ", "none"},
      {"word with an argument", "uninstall now", "none"},
      {"program with arguments", "\"C:\\Program Files\\Tool\\tool.exe\" /x \"a b\"  ",
       "C:\\Program Files\\Tool\\tool.exe"},
      {"program on the search path", "notepad readme.txt",
       "C:\\WINDOWS\\system32\\notepad.exe"},
      // The user's command line keeps Windows' search: setup's folder first.
      {"bare name, setup's folder first", "rundll32.exe x", "C:\\orvane\\rundll32.exe"},
  };
  for (const Row& r : rows) {
    TestMachine machine;
    machine->files().WriteAll("C:\\Program Files\\Tool\\tool.exe", "MZ");
    for (const char* program : {"C:\\WINDOWS\\system32\\notepad.exe",
                                "C:\\orvane\\rundll32.exe", "C:\\Downloads\\rundll32.exe"}) {
      machine->files().WriteAll(program, "MZ");
    }
    machine->files().SetCurrentDirectory("C:\\Downloads");
    EXPECT_EQ(RunSetup(*machine, std::string("\"C:\\orvane\\setup.exe\" ") + r.arguments),
              0)
        << r.row;
    const std::vector<std::vector<std::string>> expected = {
        {std::string(r.ran) == "none" ? "0" : "1", "0x200", "cb=68 flags=0x1 show=0 zero=yes",
         "env=own", "app=null", "dir=null", std::string("ran=") + r.ran, r.arguments}};
    EXPECT_EQ(Events(*machine, "process"), expected) << r.row;
    EXPECT_EQ(machine->journal().size(), 1u) << r.row << "\n"
                                             << Joined(machine->journal());
  }
}

}  // namespace
}  // namespace orvane
