// The files the installer writes, as other programs and the disk show them:
// whom each open of the file layer lets in, what it leaves of an existing file,
// the errors it raises; the checked copy; the setup log under the install root.
#include <gtest/gtest.h>

#include <array>
#include <functional>

#include "app/install_root.h"
#include "app/setup_log.h"
#include "install/copy_file.h"
#include "platform/file.h"
#include "platform/format.h"
#include "setup/scenario.h"

namespace orvane {
namespace {

using namespace std::string_literals;
using setup_test::FileText;
using setup_test::Joined;
using setup_test::BareMachine;
using winsim::FaultMode;
using M = winsim::Machine;
using Arrange = std::function<void(M&)>;

constexpr char kPath[] = "C:\\orvane\\res\\drivedir\\data.bin";
constexpr char kLog[] = "C:\\orvane\\res\\drivedir\\setup.log";
constexpr char kSource[] = "C:\\orvane\\res\\drivedir\\ovps.PPD";
constexpr char kTarget[] = "C:\\target\\ovps.PPD";
constexpr win::DWORD kPoison = 0xDEAD, kNone = 0xFFFF, kBoth = 3;  // kBoth: share read, write

Arrange Fail(const char* call, const char* match, win::DWORD code) {
  return [=](M& m) { m.faults().Add({call, match, code, FaultMode::kOnce}); };
}
Arrange Write(const char* path, std::size_t size) {
  return [=](M& m) { m.files().WriteAll(path, std::string(size, 's')); };
}
Arrange Hold(const char* path, win::DWORD share, win::DWORD access = 0xC0000000) {  // read, write
  return [=](M& m) { m.files().HoldByOtherProcess(path, share, access); };  // another program
}

// The framework's modes: 0x8040 the copy's source, 0x9012 its destination, 0xB002
// the log. `held` is opened first (kNone: nothing), then `mode`.
TEST(File, EachModeSharesCreatesAndTruncatesAsTheFrameworkMapsIt) {
  struct Row { win::UINT held, mode; const char* before; win::DWORD error; const char* after; };
  const Row rows[] = {  // before: nullptr no file, "/" not its folder either; error 0xDEAD: opened
      {0x9012, 0x8040, "old", 32, ""}, {0x9012, 0x9012, "old", 32, ""},
      {0xB002, 0x8040, "old", 32, "old"}, {0x8040, 0x8040, "old", kPoison, "old"},
      {0x8040, 0x0041, "old", kPoison, "old"}, {0x8040, 0x9012, "old", 32, "old"},
      {0x0020, 0x0040, "old", kPoison, "old"}, {0x0020, 0x0041, "old", 32, "old"},
      {0x0030, 0x0040, "old", 32, "old"}, {0x0030, 0x0041, "old", kPoison, "old"},
      {0x0000, 0x0040, "old", 32, "old"},  // compatibility mode is exclusive
      {kNone, 0xB002, "old\r\n", 183, "old\r\n"}, {kNone, 0xB002, nullptr, 0, ""},
      {kNone, 0xB002, "/", 3, "<missing>"}, {kNone, 0x9012, "old", 183, ""},
      {kNone, 0x9012, nullptr, 0, ""}, {kNone, 0x8040, nullptr, 2, "<missing>"},
  };
  for (const Row& r : rows) {
    auto machine = BareMachine();
    const std::string before = r.before ? r.before : "";
    if (before != "/") machine->files().MakeDirectories("C:\\orvane\\res\\drivedir");
    if (r.before && before != "/") machine->files().WriteAll(kPath, before);
    File first(*machine), second(*machine);
    EXPECT_TRUE(r.held == kNone || first.Open(kPath, r.held));
    machine->SetLastError(kPoison);
    EXPECT_EQ(second.Open(kPath, r.mode), r.error == kPoison || !r.error || r.error == 183);
    EXPECT_EQ(machine->GetLastError(), r.error) << std::hex << r.held << " " << r.mode;
    first.Close(), second.Close();
    EXPECT_EQ(FileText(*machine, kPath), r.after) << std::hex << r.held << " " << r.mode;
  }
}

TEST(File, FailuresRaiseFileErrorsNamingThePathWithWindowsCodes) {
  std::array<win::BYTE, 3> abc{'a', 'b', 'c'};
  using Call = std::function<void(M&, File&)>;
  struct Row { const char* fault; win::DWORD code; Call call; int cause; };
  const Row rows[] = {  // fault: the call failing once; nullptr: by path, the file not open
      {"ReadFile", 30, [&](M&, File& f) { f.Read(abc); }, FileException::hardIO},
      {"WriteFile", 29, [&](M&, File& f) { f.Write(abc); }, FileException::hardIO},
      {"", 112, [&](M& m, File& f) { f.SeekToEnd(), m.files().SetFreeSpace(0), f.Write(abc); },
       FileException::diskFull},
      {"SetFilePointer", 131, [](M&, File& f) { f.SeekToEnd(); }, FileException::badSeek},
      {"CloseHandle", 112, [](M&, File& f) { f.Close(); }, FileException::diskFull},
      {nullptr, 32, [](M& m, File&) { Hold(kPath, 0)(m), File::Remove(m, kPath); },
       FileException::sharingViolation},
      {nullptr, 183, [](M& m, File&) { Write(kTarget, 1)(m), File::Rename(m, kPath, kTarget); },
       FileException::accessDenied},
      {nullptr, 2, [](M& m, File&) { File::Remove(m, kPath), File::Remove(m, kPath); },
       FileException::fileNotFound},
  };
  for (const Row& r : rows) {
    auto machine = BareMachine();
    machine->files().WriteAll(kPath, "0123456789");
    File file(*machine);
    EXPECT_TRUE(!r.fault || file.Open(kPath, 0xB002));
    if (r.fault && *r.fault) Fail(r.fault, "data.bin", r.code)(*machine);
    try {
      r.call(*machine, file);
      ADD_FAILURE() << r.code << ": no FileException";
    } catch (const FileException& e) {
      EXPECT_EQ(e.m_lOsError * 100 + e.m_cause, r.code * 100 + r.cause) << r.code;
      EXPECT_EQ(e.m_strFileName, kPath) << r.code;
    }
    EXPECT_EQ(FileText(*machine, kPath), r.code == 2 ? "<missing>" : "0123456789") << r.code;
  }
}

// Another program may hold the source open with the share mode and access of
// the row: the source is opened to read only and lets readers and writers in.
// Met by setup itself (scenarios.txt), a failed copy is a line at its place.
TEST(CopyFileChecked, EachFailureLogsTheSourceAndLeavesTheDestinationAsDocumented) {
  const std::string src = kSource, longSource = "C:\\" + std::string(120, 'd') + "\\x.PPD";
  struct Row { Arrange arrange; std::string source, log, target; };
  const Row rows[] = {  // log: the lines after "CopyFile "; target "=": the source's bytes
      {[](M&) {}, src, "", "="}, {Write(kSource, 0), src, "", ""},
      {Write(kTarget, 300), src, "", "="},
      {Hold(kSource, win::FILE_SHARE_READ, win::GENERIC_READ), src, "", "="},
      {Hold(kSource, win::FILE_SHARE_WRITE), src, "InFile.Open Failed: " + src, "<missing>"},
      {[](M&) {}, longSource, "InFile.Open Failed: " + longSource, "<missing>"},
      {Fail("SetFilePointer", "drivedir\\ovps", 6), src, "Read Failed: " + src, ""},  // measuring
      {[](M& m) { Write(kSource, 4321)(m), Fail("HeapAlloc", "4321", 8)(m); }, src,
       "new Failed: " + src, ""},
      {[](M& m) { Write(kSource, 5000)(m), m.files().SetFreeSpace(1000); }, src,
       "Write Failed: " + src, "<missing>"},  // room for the log line, not the copy
      {Fail("CloseHandle", "target\\ovps", 112), src,  // closing flushes: the copy may be short
       "Write Failed: " + src, "<missing>"},
      {[](M& m) { Fail("WriteFile", "target", 29)(m), Fail("DeleteFileA", "target", 5)(m); }, src,
       "Write Failed: " + src + "\n07-04-03: 09:05CopyFile OutFile.Remove Failed: " + kTarget, ""},
  };
  for (const Row& r : rows) {
    setup_test::Scenario machine(winsim::WindowsVersion::kWinXp);
    machine->files().MakeDirectories("C:\\target");
    r.arrange(*machine);
    const std::string sourceBefore = FileText(*machine, r.source);
    EXPECT_EQ(CopyFileChecked(*machine, r.source, kTarget), r.log.empty() ? 1 : 0) << r.log;
    const std::string log = r.log.empty() ? "" : "07-04-03: 09:05CopyFile " + r.log + "\n";
    EXPECT_EQ(Joined(machine.LogLines()), log);
    EXPECT_EQ(FileText(*machine, kTarget), r.target == "=" ? sourceBefore : r.target) << r.log;
    EXPECT_EQ(FileText(*machine, r.source), sourceBefore) << r.log;
    machine->files().ReleaseAll();
    EXPECT_EQ(Joined(machine->LeakReport()) + Joined(machine->journal()), "") << r.log;
  }
}

// The root is the Path value's bytes up to the first NUL, of any type, and the
// log goes under it joined without a separator; the default folder exists.
TEST(SetupLog, GoesUnderTheRootTakenFromTheStoredBytes) {
  constexpr win::DWORD kNoKey = 0xFFFF, kNoValue = 0xFFFE;
  constexpr char key[] = "HKEY_LOCAL_MACHINE\\Software\\Orvane";
  struct Row { win::DWORD type; std::string bytes, root; const char* log; };  // log nullptr: none
  const Row rows[] = {
      {kNoKey, "", "c:\\", kLog}, {kNoValue, "", "c:\\", kLog},
      {win::REG_SZ, "d:\\apps\0"s, "d:\\apps", nullptr},
      {win::REG_EXPAND_SZ, "%SystemDrive%\\\0"s, "%SystemDrive%\\", nullptr},
      {win::REG_SZ, "c:\\apps\0"s, "c:\\apps", "C:\\appsorvane\\res\\drivedir\\setup.log"},
      {win::REG_BINARY, "C:\\d\\\0junk"s, "C:\\d\\", "C:\\d\\orvane\\res\\drivedir\\setup.log"},
      {win::REG_DWORD, "c:x\0"s, "c:x", nullptr}, {win::REG_BINARY, "\0abc"s, "", kLog},
      {win::REG_SZ, std::string(9999, 'a') + '\0', std::string(9999, 'a'), nullptr},
      {win::REG_BINARY, std::string(10000, 'b'), std::string(10000, 'b'), nullptr},
      {win::REG_SZ, std::string(10000, 'c'), std::string(10000, 'c'), nullptr},
      {win::REG_BINARY, std::string(10001, 'd'), "c:\\", kLog},  // more than the buffer
  };
  for (const Row& r : rows) {
    auto machine = BareMachine();
    machine->files().MakeDirectories("C:\\orvane\\res\\drivedir");
    if (r.log) machine->files().MakeDirectories(r.root + "orvane\\res\\drivedir");
    if (r.type != kNoKey) machine->registry().PutKey(key);
    if (r.type < kNoValue)
      machine->registry().PutValue(key, "Path", r.type, {r.bytes.begin(), r.bytes.end()});
    EXPECT_TRUE(GetInstallRoot(*machine) == r.root) << r.root.substr(0, 20);
    WriteSetupLog(*machine, "is_winnt = TRUE");
    std::string logs;
    for (const std::string& path : machine->files().List("C:\\"))
      if (path.ends_with("\\setup.log")) logs += path + ": " + FileText(*machine, path);
    EXPECT_EQ(logs, r.log ? r.log + ": 07-04-03: 09:05is_winnt = TRUE\r\n"s : "") << r.bytes.size();
    EXPECT_EQ(Joined(machine->LeakReport()) + Joined(machine->journal()), "") << r.bytes.size();
  }
}

// Each line is stamped with the machine's local time to the minute, appended
// after the last byte and ended with CR LF; while the log cannot be written
// (no folder, held, read-only, disk full, a write failing) the line is lost.
TEST(SetupLog, AppendsStampedLinesAfterTheLastByteOrLosesThemSilently) {
  struct Row { win::SYSTEMTIME now; std::string text, appended; 
               Arrange arrange = {}, release = {}; };
  const std::string path = "CopyFile InFile.Open Failed: C:\\Program Files\\Orvane Printer\\"
                           "orvane\\res\\drivedir\\orvmona95.dll";
  const Row rows[] = {  // in turn on one machine, at first without the log's folder
      {{}, "lost", "", nullptr, [](M& m) { m.files().WriteAll(kLog, "earlier run, no line end"); }},
      {{2003, 7, 5, 4, 9, 5, 59, 999}, "is_win4 = TRUE", "07-04-03: 09:05is_win4 = TRUE\r\n"},
      {{1999, 12, 5, 31, 23, 59, 30, 0}, path, "12-31-99: 23:59" + path + "\r\n"},
      {{2000, 1, 6, 1, 0, 0, 0, 0}, "failed\r\n", "01-01-00: 00:00failed\r\n\r\n"},
      {{2010, 11, 1, 22, 13, 45, 1, 0}, "", "11-22-10: 13:45\r\n"},
      {{}, "lost", "", Hold(kLog, kBoth), [](M& m) { m.files().Release(kLog); }},
      {{}, "lost", "", [](M& m) { m.files().SetAttributes(kLog, win::FILE_ATTRIBUTE_READONLY); },
       [](M& m) { m.files().SetAttributes(kLog, win::FILE_ATTRIBUTE_ARCHIVE); }},
      {{}, "lost", "", [](M& m) { m.files().SetFreeSpace(0); },
       [](M& m) { m.files().SetFreeSpace(std::nullopt); }},
      {{}, "lost", "", Fail("WriteFile", "setup.log", 29)}, {{}, "kept", "11-22-10: 13:45kept\r\n"},
  };
  auto machine = BareMachine();
  std::string expected = "<missing>";
  for (const Row& r : rows) {
    if (r.now.wYear) machine->SetClock(r.now);
    if (r.arrange) r.arrange(*machine);
    WriteSetupLog(*machine, r.text);
    EXPECT_EQ(FileText(*machine, kLog), expected += r.appended) << r.text;
    EXPECT_EQ(machine->files().Exists("C:\\orvane"), expected != "<missing>") << r.text;
    if (r.release) r.release(*machine), expected = FileText(*machine, kLog);
  }
  EXPECT_EQ(Joined(machine->LeakReport()) + Joined(machine->journal()), "");
  EXPECT_EQ(Format("%ld|%lu|%lx|%s", win::LONG{-1}, win::DWORD{0xFFFFFFFFu},
                   win::DWORD{0x80000000u}, std::string(300, 'p')),
            "-1|4294967295|80000000|" + std::string(300, 'p'));
}

}  // namespace
}  // namespace orvane
