// The checked copy as the setup log and the disk show it: one line per failure
// naming the source, the destination's state afterwards, and nothing left open.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "install/copy_file.h"
#include "setup/scenario.h"

namespace orvane {
namespace {

using setup_test::FileText;
using setup_test::Joined;
using setup_test::Scenario;
using winsim::Fault;
using winsim::FaultMode;
using winsim::WindowsVersion;

constexpr char kSource[] = "C:\\orvane\\res\\drivedir\\ovps.PPD";
constexpr char kDestination[] = "C:\\target\\ovps.PPD";
constexpr char kStamp[] = "07-04-03: 09:05";

std::vector<std::string> Stamped(const std::vector<std::string>& texts) {
  std::vector<std::string> lines;
  for (const std::string& text : texts) lines.push_back(kStamp + text);
  return lines;
}

TEST(CopyFileChecked, EachFailureLogsTheSourceAndLeavesTheDestinationAsDocumented) {
  const std::string missing = "<missing>";
  const std::string longFolder = "C:\\" + std::string(120, 'd') + "\\res\\drivedir";
  struct Row {
    const char* row;
    std::function<void(winsim::Machine&)> arrange;
    std::string source;
    int result;
    std::vector<std::string> log;  // without the time stamp
    std::string destination;       // "=" for the source's bytes
  };
  const std::string src = kSource;
  const Row rows[] = {
      {"copies the whole file", [](winsim::Machine&) {}, src, 1, {}, "="},
      {"an empty source gives an empty copy",
       [](winsim::Machine& m) { m.files().WriteAll(kSource, ""); },
       src,
       1,
       {},
       ""},
      {"a longer destination is replaced",
       [](winsim::Machine& m) {
         m.files().WriteAll(kDestination, std::string(300, 'x'));
       },
       src,
       1,
       {},
       "="},
      {"missing source: destination untouched",
       [](winsim::Machine& m) { m.files().WriteAll(kDestination, "old"); },
       "C:\\orvane\\res\\drivedir\\nosuch.dll",
       0,
       {"CopyFile InFile.Open Failed: C:\\orvane\\res\\drivedir\\nosuch.dll"},
       "old"},
      {"a long source path is logged whole",
       [](winsim::Machine&) {},
       longFolder + "\\ovps.PPD",
       0,
       {"CopyFile InFile.Open Failed: " + longFolder + "\\ovps.PPD"},
       missing},
      {"destination held open: source named, destination untouched",
       [](winsim::Machine& m) {
         m.files().WriteAll(kDestination, "old");
         m.files().HoldByOtherProcess(kDestination, win::FILE_SHARE_READ);
       },
       src,
       0,
       {"CopyFile OutFile.Open Failed: " + src},
       "old"},
      {"length cannot be taken: a read failure, not a crash",
       [](winsim::Machine& m) {
         m.faults().Add(Fault{"SetFilePointer", "drivedir\\ovps", 6, FaultMode::kAlways});
       },
       src,
       0,
       {"CopyFile Read Failed: " + src},
       ""},
      {"disk full: destination deleted",
       [](winsim::Machine& m) {
         m.files().WriteAll(kSource, std::string(5000, 's'));
         m.files().SetFreeSpace(1000);  // room for the log line, not the copy
       },
       src,
       0,
       {"CopyFile Write Failed: " + src},
       missing},
      {"closing the destination fails: it may be incomplete, so it goes",
       [](winsim::Machine& m) {
         m.faults().Add(Fault{"CloseHandle", "target\\ovps", 112, FaultMode::kOnce});
       },
       src,
       0,
       {"CopyFile Write Failed: " + src},
       missing},
  };
  for (const Row& r : rows) {
    Scenario machine(WindowsVersion::kWinXp);
    machine->files().MakeDirectories("C:\\target");
    r.arrange(*machine);
    const std::string sourceBefore = FileText(*machine, r.source);
    EXPECT_EQ(CopyFileChecked(*machine, r.source, kDestination), r.result) << r.row;
    EXPECT_EQ(Joined(machine.LogLines()), Joined(Stamped(r.log))) << r.row;
    const std::string expected = r.destination == "=" ? sourceBefore : r.destination;
    EXPECT_EQ(FileText(*machine, kDestination), expected) << r.row;
    EXPECT_EQ(FileText(*machine, r.source), sourceBefore) << r.row;
    EXPECT_EQ(Joined(machine->LeakReport()), "") << r.row;
    EXPECT_EQ(Joined(machine->journal()), "") << r.row;  // never a message box
  }
}

// The same failures met by setup itself, armed in the machine's fault table as
// a user would arm them: each is one log line at its place, and the
// installation goes on to the driver.
TEST(CopyFileChecked, FailuresDuringSetupAreLoggedAndTheInstallGoesOn) {
  const std::string drive = "C:\\orvane\\res\\drivedir\\";
  const std::string system = "C:\\WINDOWS\\system32\\";
  const std::string drivers = "C:\\WINDOWS\\system32\\spool\\drivers\\w32x86\\";
  const std::string directoryLine =
      "Printer Driver Directory: C:\\WINDOWS\\system32\\spool\\drivers\\w32x86";
  struct Row {
    const char* row;
    std::vector<Fault> faults;
    std::vector<std::string> log;  // after the family lines, without time stamps
    std::string destination;
    std::string state;  // "<missing>" or "" (left empty)
  };
  // Sized by the stand-in's length, the allocation for orvmona.dll is the
  // first of that size; the fault fires once.
  const std::string orvmonaSize = std::to_string(
      setup_test::FileText(*Scenario(WindowsVersion::kWinXp), drive + "orvmona.dll")
          .size());
  const Row rows[] = {
      {"source cannot be opened",
       {{"CreateFileA", "drivedir\\ovps.PPD", 2, FaultMode::kOnce}},
       {directoryLine, "CopyFile InFile.Open Failed: " + drive + "ovps.PPD"},
       drivers + "ovps.PPD",
       "<missing>"},
      {"destination cannot be created",
       {{"CreateFileA", "w32x86\\ovfonts.tbl", 5, FaultMode::kOnce}},
       {directoryLine, "CopyFile OutFile.Open Failed: " + drive + "ovfonts.tbl"},
       drivers + "ovfonts.tbl",
       "<missing>"},
      {"no memory for the companion DLL",
       {{"HeapAlloc", orvmonaSize, 8, FaultMode::kOnce}},
       {"CopyFile new Failed: " + drive + "orvmona.dll", directoryLine},
       system + "orvmona.dll",
       ""},
      {"read error",
       {{"ReadFile", "drivedir\\Orvaneui.dll", 30, FaultMode::kOnce}},
       {directoryLine, "CopyFile Read Failed: " + drive + "Orvaneui.dll"},
       drivers + "Orvaneui.dll",
       ""},
      {"write error",
       {{"WriteFile", "system32\\orvmona.dll", 29, FaultMode::kOnce}},
       {"CopyFile Write Failed: " + drive + "orvmona.dll", directoryLine},
       system + "orvmona.dll",
       "<missing>"},
      {"write error, partial copy undeletable",
       {{"WriteFile", "w32x86\\ovfonts.tbl", 29, FaultMode::kOnce},
        {"DeleteFileA", "w32x86\\ovfonts.tbl", 5, FaultMode::kOnce}},
       {directoryLine, "CopyFile Write Failed: " + drive + "ovfonts.tbl",
        "CopyFile OutFile.Remove Failed: " + drivers + "ovfonts.tbl"},
       drivers + "ovfonts.tbl",
       ""},
  };
  for (const Row& r : rows) {
    Scenario machine(WindowsVersion::kWinXp);
    for (const Fault& fault : r.faults) machine->faults().Add(fault);
    EXPECT_EQ(machine.Run(), 0) << r.row;
    std::vector<std::string> expected = {"is_winnt = TRUE", "is_win4 = TRUE"};
    expected.insert(expected.end(), r.log.begin(), r.log.end());
    std::vector<std::string> log = machine.LogLines();
    log.resize(std::min(log.size(), expected.size()));
    EXPECT_EQ(Joined(log), Joined(Stamped(expected))) << r.row << "\n"
                                                      << Joined(machine.LogLines());
    EXPECT_EQ(FileText(*machine, r.destination), r.state) << r.row;
    EXPECT_TRUE(machine->registry().KeyExists(
        "HKLM\\SYSTEM\\CurrentControlSet\\Control\\Print\\Environments\\Windows NT "
        "x86\\Drivers\\Version-3\\ORVANE Printer Driver"))
        << r.row << ": the install stopped at the copy";
    EXPECT_EQ(Joined(machine->LeakReport()), "") << r.row;
  }
}

}  // namespace
}  // namespace orvane
