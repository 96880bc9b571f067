// The file object against the simulated disk: the three modes the installer
// opens with, as another program on the machine experiences them, and the
// file errors it raises.
#include "platform/file.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <functional>
#include <string>
#include <utility>

#include "setup/fixture.h"

namespace orvane {
namespace {

using setup_test::FileText;
using setup_test::Joined;
using setup_test::TestMachine;

constexpr char kPath[] = "C:\\orvane\\res\\drivedir\\data.bin";
constexpr win::DWORD kPoison = 0xDEAD;

std::span<const win::BYTE> Bytes(std::string_view text) {
  return {reinterpret_cast<const win::BYTE*>(text.data()), text.size()};
}

TEST(File, ModesShareAsTheFrameworkMapsThem) {
  struct Row {
    win::UINT first, second;
    bool opens;
  };
  const Row rows[] = {
      {0x9012, 0x8040, false},  // copy destination: nobody else gets in
      {0x9012, 0x9012, false}, {0xB002, 0x8040, false},  // the log is held unshared
      {0x8040, 0x8040, true},                            // copy source: readers ...
      {0x8040, 0x0041, true},   // ... and sharing writers still get in
      {0x8040, 0x9012, false},  // but not an exclusive opener
      {0x0020, 0x0040, true},   // deny write: readers welcome
      {0x0020, 0x0041, false},  //   writers refused
      {0x0030, 0x0040, false},  // deny read: readers refused
      {0x0030, 0x0041, true},   //   writers welcome
      {0x0000, 0x0040, false},  // compatibility mode is exclusive
  };
  for (const Row& r : rows) {
    TestMachine machine;
    machine->files().WriteAll(kPath, "content");
    File first(*machine);
    File second(*machine);
    ASSERT_TRUE(first.Open(kPath, r.first)) << std::hex << r.first;
    EXPECT_EQ(second.Open(kPath, r.second), r.opens)
        << std::hex << "first 0x" << r.first << " second 0x" << r.second;
    EXPECT_EQ(second.is_open(), r.opens);
    if (!r.opens) {
      EXPECT_EQ(machine->GetLastError(), win::ERROR_SHARING_VIOLATION);
    }
  }
}

TEST(File, ModesCreateTruncateAndKeepAsTheFrameworkMapsThem) {
  struct Row {
    const char* row;
    win::UINT mode;
    const char* before;  // nullptr: no file; "<no folder>": no folder either
    bool opens;
    win::DWORD error;  // the last-error value after Open
    const char* after;
  };
  const Row rows[] = {
      {"log on existing", 0xB002, "old\r\nlines", true, win::ERROR_ALREADY_EXISTS,
       "old\r\nlines"},
      {"log created", 0xB002, nullptr, true, 0, ""},
      {"log, folder missing", 0xB002, "<no folder>", false, win::ERROR_PATH_NOT_FOUND,
       "<missing>"},
      {"destination truncated", 0x9012, "longer old content", true,
       win::ERROR_ALREADY_EXISTS, ""},
      {"destination created", 0x9012, nullptr, true, 0, ""},
      {"source kept", 0x8040, "source", true, kPoison, "source"},
      {"source missing", 0x8040, nullptr, false, win::ERROR_FILE_NOT_FOUND, "<missing>"},
  };
  for (const Row& r : rows) {
    TestMachine machine;
    const std::string before = r.before ? r.before : "";
    if (before != "<no folder>")
      machine->files().MakeDirectories("C:\\orvane\\res\\drivedir");
    if (r.before != nullptr && before != "<no folder>")
      machine->files().WriteAll(kPath, before);
    File file(*machine);
    machine->SetLastError(kPoison);
    EXPECT_EQ(file.Open(kPath, r.mode), r.opens) << r.row;
    EXPECT_EQ(machine->GetLastError(), r.error) << r.row;
    if (r.opens) {
      EXPECT_EQ(file.GetLength(), std::strlen(r.after)) << r.row;
    }
    file.Close();
    EXPECT_EQ(FileText(*machine, kPath), r.after) << r.row;
    if (before == "<no folder>") {
      EXPECT_FALSE(machine->files().Exists("C:\\orvane\\res")) << r.row;
    }
  }
}

TEST(File, ReadsWritesAndMeasuresInPlace) {
  TestMachine machine;
  machine->files().MakeDirectories("C:\\orvane\\res\\drivedir");
  File out(*machine);
  ASSERT_TRUE(out.Open(kPath, 0x9012));
  out.Write(Bytes("hello"));
  EXPECT_EQ(out.GetLength(), 5u);
  out.Write(Bytes(" world"));  // GetLength left the position at the end
  out.Write({});
  EXPECT_EQ(out.SeekToEnd(), 11u);
  out.Close();
  out.Close();  // closing a closed file does nothing

  File in(*machine);
  ASSERT_TRUE(in.Open(kPath, 0x8040));
  std::array<win::BYTE, 64> buffer{};
  EXPECT_EQ(in.Read(buffer), 11u);
  EXPECT_EQ(std::string(buffer.begin(), buffer.begin() + 11), "hello world");
  EXPECT_EQ(in.Read(buffer), 0u);
  // A moved file is closed once, by its new owner; an assigned-to file closes
  // what it held.
  File moved = std::move(in);
  EXPECT_FALSE(in.is_open());
  File other(*machine);
  machine->files().WriteAll("C:\\other.txt", "x");
  ASSERT_TRUE(other.Open("C:\\other.txt", 0x9012));
  other = std::move(moved);
  EXPECT_EQ(other.path(), kPath);
  File again(*machine);
  EXPECT_TRUE(again.Open("C:\\other.txt", 0x9012));
  again.Close();
  other.Close();
  EXPECT_EQ(Joined(machine->LeakReport()), "");
}

TEST(File, FailuresRaiseFileErrorsWithWindowsCodes) {
  struct Row {
    const char* row;
    const char* call;  // the failing call, or "disk" for a full disk
    win::DWORD code;
    FileException::Cause cause;
  };
  const Row rows[] = {
      {"read", "ReadFile", win::ERROR_READ_FAULT, FileException::hardIO},
      {"write", "WriteFile", win::ERROR_WRITE_FAULT, FileException::hardIO},
      {"disk full", "disk", win::ERROR_DISK_FULL, FileException::diskFull},
      {"seek", "SetFilePointer", win::ERROR_NEGATIVE_SEEK, FileException::badSeek},
      {"close", "CloseHandle", win::ERROR_DISK_FULL, FileException::diskFull},
  };
  for (const Row& r : rows) {
    TestMachine machine;
    machine->files().WriteAll(kPath, "0123456789");
    File file(*machine);
    ASSERT_TRUE(file.Open(kPath, 0xB002)) << r.row;
    if (std::string(r.call) == "disk") {
      machine->files().SetFreeSpace(0);
    } else {
      machine->faults().Add({r.call, "data.bin", r.code, winsim::FaultMode::kOnce});
    }
    std::array<win::BYTE, 4> buffer{};
    try {
      const std::string row = r.row;
      if (row == "read") file.Read(buffer);
      if (row == "write") file.Write(Bytes("abc"));
      if (row == "disk full") {
        file.SeekToEnd();  // overwriting in place needs no free space
        file.Write(Bytes("more"));
      }
      if (row == "seek") file.SeekToEnd();
      if (row == "close") file.Close();
      ADD_FAILURE() << r.row << ": no FileException";
    } catch (const FileException& e) {
      EXPECT_EQ(e.m_lOsError, static_cast<win::LONG>(r.code)) << r.row;
      EXPECT_EQ(e.m_cause, r.cause) << r.row;
      EXPECT_EQ(e.m_strFileName, kPath) << r.row;
    }
    EXPECT_EQ(FileText(*machine, kPath), "0123456789") << r.row;
  }
  // The destructor releases a file whose close fails, without throwing.
  TestMachine machine;
  machine->files().WriteAll(kPath, "x");
  {
    File file(*machine);
    ASSERT_TRUE(file.Open(kPath, 0x8040));
    machine->faults().Add(
        {"CloseHandle", "", win::ERROR_DISK_FULL, winsim::FaultMode::kAlways});
  }
  EXPECT_EQ(Joined(machine->LeakReport()), "");
  EXPECT_EQ(FileText(*machine, kPath), "x");
}

TEST(File, StatusRemoveAndRenameByPath) {
  TestMachine machine;
  machine->files().WriteAll("C:\\a.dll", "12345");
  machine->files().WriteAll("C:\\b.dll", "b");
  FileStatus status;
  ASSERT_TRUE(File::GetStatus(*machine, "c:\\A.DLL", &status));
  EXPECT_EQ(status.m_size, 5);
  EXPECT_EQ(status.m_attribute & win::FILE_ATTRIBUTE_DIRECTORY, 0);
  ASSERT_TRUE(File::GetStatus(*machine, "C:\\", &status));
  EXPECT_NE(status.m_attribute & win::FILE_ATTRIBUTE_DIRECTORY, 0);
  status.m_size = 77;
  EXPECT_FALSE(File::GetStatus(*machine, "C:\\missing.dll", &status));
  EXPECT_EQ(status.m_size, 77);

  struct Row {
    const char* row;
    std::function<void()> call;
    win::LONG code;
    FileException::Cause cause;
    const char* name;
  };
  const Row rows[] = {
      {"remove missing", [&] { File::Remove(*machine, "C:\\missing.dll"); },
       win::ERROR_FILE_NOT_FOUND, FileException::fileNotFound, "C:\\missing.dll"},
      {"rename onto existing", [&] { File::Rename(*machine, "C:\\a.dll", "C:\\b.dll"); },
       win::ERROR_ALREADY_EXISTS, FileException::accessDenied, "C:\\a.dll"},
      {"remove held",
       [&] {
         machine->files().HoldByOtherProcess("C:\\b.dll", 0);
         File::Remove(*machine, "C:\\b.dll");
       },
       win::ERROR_SHARING_VIOLATION, FileException::sharingViolation, "C:\\b.dll"},
  };
  for (const Row& r : rows) {
    try {
      r.call();
      ADD_FAILURE() << r.row << ": no FileException";
    } catch (const FileException& e) {
      EXPECT_EQ(e.m_lOsError, r.code) << r.row;
      EXPECT_EQ(e.m_cause, r.cause) << r.row;
      EXPECT_EQ(e.m_strFileName, r.name) << r.row;
    }
  }
  EXPECT_EQ(FileText(*machine, "C:\\a.dll"), "12345");
  EXPECT_EQ(FileText(*machine, "C:\\b.dll"), "b");
  File::Rename(*machine, "C:\\a.dll", "C:\\c.dll");
  EXPECT_EQ(FileText(*machine, "C:\\c.dll"), "12345");
  File::Remove(*machine, "C:\\c.dll");
  EXPECT_EQ(FileText(*machine, "C:\\c.dll"), "<missing>");
  EXPECT_EQ(FileText(*machine, "C:\\a.dll"), "<missing>");
}

}  // namespace
}  // namespace orvane
