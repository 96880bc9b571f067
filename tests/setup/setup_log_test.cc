// The installation root and the setup log, as an administrator finds them on
// the disk afterwards.
#include "app/setup_log.h"

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/install_root.h"
#include "platform/format.h"
#include "setup/fixture.h"

namespace orvane {
namespace {

using setup_test::FileText;
using setup_test::Joined;
using setup_test::TestMachine;

constexpr char kProductKey[] = "HKEY_LOCAL_MACHINE\\Software\\Orvane";
constexpr char kLogFolder[] = "C:\\orvane\\res\\drivedir";
constexpr char kLog[] = "C:\\orvane\\res\\drivedir\\setup.log";
constexpr char kStamp[] = "07-04-03: 09:05";

void SetRoot(winsim::Machine& machine, win::DWORD type, const std::string& bytes) {
  machine.registry().PutValue(kProductKey, "Path", type,
                              std::vector<win::BYTE>(bytes.begin(), bytes.end()));
}

// A machine at 4 July 2003, 09:05:59, with the default log folder in place.
void Prepare(winsim::Machine& machine) {
  machine.SetClock(win::SYSTEMTIME{2003, 7, 5, 4, 9, 5, 59, 999});
  machine.files().MakeDirectories(kLogFolder);
}

// Every setup.log on drive C:.
std::vector<std::string> LogsOnC(const winsim::Machine& machine) {
  std::vector<std::string> logs;
  for (const std::string& path : machine.files().List("C:\\")) {
    if (path.ends_with("\\setup.log")) logs.push_back(path);
  }
  return logs;
}

TEST(GetInstallRoot, TakesTheStoredBytesUpToTheFirstNul) {
  using namespace std::string_literals;
  struct Row {
    const char* row;
    win::DWORD type;
    std::string bytes;  // empty: no value
    std::string expected;
  };
  const Row rows[] = {
      {"no value", win::REG_SZ, "", "c:\\"},
      {"string", win::REG_SZ, "d:\\apps\0"s, "d:\\apps"},
      {"not expanded", win::REG_EXPAND_SZ, "%SystemDrive%\\\0"s, "%SystemDrive%\\"},
      {"binary", win::REG_BINARY, "C:\\data\\\0junk"s, "C:\\data\\"},
      {"dword", win::REG_DWORD, "c:x\0"s, "c:x"},
      {"starts with NUL", win::REG_BINARY, "\0abc"s, ""},
      {"9999 bytes and NUL", win::REG_SZ, std::string(9999, 'a') + '\0',
       std::string(9999, 'a')},
      {"10000 bytes without NUL", win::REG_BINARY, std::string(10000, 'b'),
       std::string(10000, 'b')},
      {"string of 10000 bytes without NUL", win::REG_SZ, std::string(10000, 'c'),
       std::string(10000, 'c')},
      {"longer than the buffer", win::REG_BINARY, std::string(10001, 'd'), "c:\\"},
  };
  for (const Row& r : rows) {
    TestMachine machine;
    machine->registry().PutKey(kProductKey);
    if (!r.bytes.empty()) SetRoot(*machine, r.type, r.bytes);
    const std::string root = GetInstallRoot(*machine);
    EXPECT_EQ(root.size(), r.expected.size()) << r.row;
    EXPECT_EQ(root, r.expected) << r.row;
    EXPECT_EQ(Joined(machine->LeakReport()), "") << r.row;
  }
  TestMachine machine;
  EXPECT_EQ(GetInstallRoot(*machine), "c:\\") << "no key";
  SetRoot(*machine, win::REG_SZ, std::string("d:\\apps\\\0", 9));
  machine->faults().Add(
      {"RegOpenKeyExA", "Orvane", win::ERROR_ACCESS_DENIED, winsim::FaultMode::kOnce});
  EXPECT_EQ(GetInstallRoot(*machine), "c:\\") << "key not opened";
  EXPECT_EQ(GetInstallRoot(*machine), "d:\\apps\\") << "read afresh";
}

TEST(WriteSetupLog, GoesUnderTheRootJoinedWithoutSeparator) {
  using namespace std::string_literals;
  struct Row {
    const char* row;
    win::DWORD type;
    std::string root;  // empty: no value
    const char* folder;
    const char* log;  // nullptr: nothing logged anywhere on C:
  };
  const Row rows[] = {
      {"default", 0, "", nullptr, "C:\\orvane\\res\\drivedir\\setup.log"},
      {"other drive", win::REG_SZ, "d:\\apps\0"s, nullptr, nullptr},
      {"no trailing backslash", win::REG_SZ, "c:\\apps\0"s,
       "C:\\appsorvane\\res\\drivedir", "C:\\appsorvane\\res\\drivedir\\setup.log"},
      {"binary root", win::REG_BINARY, "C:\\data\\\0junk"s,
       "C:\\data\\orvane\\res\\drivedir", "C:\\data\\orvane\\res\\drivedir\\setup.log"},
      {"10000 bytes without NUL", win::REG_BINARY, std::string(10000, 'x'), nullptr,
       nullptr},
  };
  for (const Row& r : rows) {
    TestMachine machine;
    Prepare(*machine);
    if (!r.root.empty()) SetRoot(*machine, r.type, r.root);
    if (r.folder) machine->files().MakeDirectories(r.folder);
    WriteSetupLog(*machine, "is_winnt = TRUE");
    const std::vector<std::string> expected =
        r.log ? std::vector<std::string>{r.log} : std::vector<std::string>{};
    EXPECT_EQ(LogsOnC(*machine), expected) << r.row;
    if (r.log) {
      EXPECT_EQ(FileText(*machine, r.log), std::string(kStamp) + "is_winnt = TRUE\r\n")
          << r.row;
    }
    EXPECT_EQ(Joined(machine->journal()), "") << r.row;
    EXPECT_EQ(Joined(machine->LeakReport()), "") << r.row;
  }
}

TEST(WriteSetupLog, AppendsWholeTextsAfterTheLastByte) {
  TestMachine machine;
  Prepare(*machine);
  machine->files().WriteAll(kLog, "earlier run, no line end");
  const std::string longText =
      "CopyFile InFile.Open Failed: C:\\Program Files\\Orvane Printer\\orvane\\res\\"
      "drivedir\\orvmona95.dll";
  ASSERT_GT(longText.size(), 80u);
  WriteSetupLog(*machine, "is_win4 = TRUE");
  WriteSetupLog(*machine, longText);
  WriteSetupLog(*machine, "GetSystemDirectory failed\r\n");
  WriteSetupLog(*machine, "");
  const std::string s = kStamp;
  EXPECT_EQ(FileText(*machine, kLog),
            "earlier run, no line end" + s + "is_win4 = TRUE\r\n" + s + longText +
                "\r\n" + s + "GetSystemDirectory failed\r\n\r\n" + s + "\r\n");
  EXPECT_EQ(Joined(machine->LeakReport()), "");
}

TEST(WriteSetupLog, StampsTheMachinesLocalTimeToTheMinute) {
  struct Row {
    win::SYSTEMTIME now;
    const char* stamp;
  };
  const Row rows[] = {
      {{2003, 7, 5, 4, 9, 5, 59, 999}, "07-04-03: 09:05"},
      {{1999, 12, 5, 31, 23, 59, 30, 0}, "12-31-99: 23:59"},
      {{2000, 1, 6, 1, 0, 0, 0, 0}, "01-01-00: 00:00"},
      {{2010, 11, 1, 22, 13, 45, 1, 0}, "11-22-10: 13:45"},
  };
  for (const Row& r : rows) {
    TestMachine machine;
    Prepare(*machine);
    machine->SetClock(r.now);
    WriteSetupLog(*machine, "x");
    EXPECT_EQ(FileText(*machine, kLog), std::string(r.stamp) + "x\r\n") << r.stamp;
    EXPECT_EQ(FormatLogTimeStamp(r.now), r.stamp);
  }
}

TEST(WriteSetupLog, LosesTheLineSilentlyWhenTheLogCannotBeWritten) {
  struct Row {
    const char* row;
    std::function<void(winsim::Machine&)> arrange;
    std::function<void(winsim::Machine&)> release;  // then a line gets through
  };
  const Row rows[] = {
      {"folder missing", [](winsim::Machine& m) { m.files().Remove("C:\\orvane"); },
       [](winsim::Machine& m) { m.files().MakeDirectories(kLogFolder); }},
      {"held by another process",
       [](winsim::Machine& m) { m.files().HoldByOtherProcess(kLog, 0); },
       [](winsim::Machine& m) { m.files().Release(kLog); }},
      {"read-only",
       [](winsim::Machine& m) {
         m.files().SetAttributes(kLog, win::FILE_ATTRIBUTE_READONLY);
       },
       [](winsim::Machine& m) {
         m.files().SetAttributes(kLog, win::FILE_ATTRIBUTE_ARCHIVE);
       }},
      {"disk full", [](winsim::Machine& m) { m.files().SetFreeSpace(0); },
       [](winsim::Machine& m) { m.files().SetFreeSpace(std::nullopt); }},
      {"write fails",
       [](winsim::Machine& m) {
         m.faults().Add({"WriteFile", "setup.log", win::ERROR_WRITE_FAULT,
                         winsim::FaultMode::kOnce});
       },
       [](winsim::Machine&) {}},
  };
  for (const Row& r : rows) {
    TestMachine machine;
    Prepare(*machine);
    const bool folderMissing = std::string(r.row) == "folder missing";
    if (!folderMissing) machine->files().WriteAll(kLog, "old\r\n");
    r.arrange(*machine);
    WriteSetupLog(*machine, "lost");
    EXPECT_EQ(FileText(*machine, kLog), folderMissing ? "<missing>" : "old\r\n") << r.row;
    EXPECT_FALSE(folderMissing && machine->files().Exists("C:\\orvane")) << r.row;
    EXPECT_EQ(Joined(machine->journal()), "") << r.row;
    EXPECT_EQ(Joined(machine->LeakReport()), "") << r.row;
    r.release(*machine);
    WriteSetupLog(*machine, "kept");
    EXPECT_EQ(FileText(*machine, kLog),
              (folderMissing ? "" : "old\r\n") + std::string(kStamp) + "kept\r\n")
        << r.row;
  }
}

TEST(Format, LogTextsAreWholeAndThirtyTwoBitValuesPrintAsOnWindows) {
  struct Row {
    std::string actual;
    std::string expected;
  };
  const std::string longPath(300, 'p');
  const Row rows[] = {
      {Format("AddMonitor: %lu", win::DWORD{0xFFFFFFFFu}), "AddMonitor: 4294967295"},
      {Format("AddPrinterDriver: %lu", win::DWORD{1722}), "AddPrinterDriver: 1722"},
      {Format("RegDeleteKey: %ld", win::LONG{-1}), "RegDeleteKey: -1"},
      {Format("%lx|%ld", win::DWORD{0x80000000u}, win::BOOL{1}), "80000000|1"},
      {Format("CopyFile InFile.Open Failed: %s", longPath),
       "CopyFile InFile.Open Failed: " + longPath},
      {Format("%s=%s", "is_winnt", std::string("TRUE")), "is_winnt=TRUE"},
      {Format("no arguments"), "no arguments"},
      {Format(""), ""},
  };
  for (const Row& r : rows) EXPECT_EQ(r.actual, r.expected);
}

}  // namespace
}  // namespace orvane
