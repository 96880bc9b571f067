#include "winsim/filesystem.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace orvane::winsim {
namespace {

namespace fs = std::filesystem;
using namespace win;

constexpr DWORD kPoison = 0xDEADBEEF;
constexpr DWORD kRW = GENERIC_READ | GENERIC_WRITE;
constexpr DWORD kShareRW = FILE_SHARE_READ | FILE_SHARE_WRITE;
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
constexpr DWORD kDelete = 0x00010000;

class FileSystemTest : public ::testing::Test {
 protected:
  FileSystemTest() {
    static std::atomic<int> counter{0};
    temp_ = fs::temp_directory_path() /
            ("winsim_fs_" + std::to_string(::getpid()) + "_" + std::to_string(counter++));
    fs::create_directories(temp_ / "drive_c");
    disk_ = std::make_unique<FileSystem>(temp_ / "drive_c");
  }
  ~FileSystemTest() override {
    disk_.reset();
    fs::remove_all(temp_);
  }

  struct Opened {
    HANDLE handle;
    DWORD error;
  };
  Opened Open(const char* path, DWORD access, DWORD share, DWORD disposition,
              DWORD attributes = FILE_ATTRIBUTE_NORMAL) {
    DWORD error = kPoison;
    HANDLE h = disk_->CreateFile(path, access, share, disposition, attributes, &error);
    return {h, error};
  }
  std::string Text(const char* path) {
    auto bytes = disk_->ReadAll(path);
    return bytes ? std::string(bytes->begin(), bytes->end()) : "<missing>";
  }
  DWORD Written(HANDLE h, std::string_view text, bool* ok = nullptr) {
    DWORD written = kPoison, error = kPoison;
    bool result = disk_->Write(
        h, {reinterpret_cast<const BYTE*>(text.data()), text.size()}, &written, &error);
    if (ok) *ok = result;
    return result ? written : error;
  }
  void CloseAll(std::vector<HANDLE>& handles) {
    for (HANDLE h : handles) disk_->Close(h, nullptr);
    handles.clear();
  }

  fs::path temp_;
  std::unique_ptr<FileSystem> disk_;
};

struct DispositionRow {
  const char* row;
  const char* path;
  DWORD access;
  DWORD disposition;
  bool ok;
  DWORD error;
  const char* content_after;  // of the path, "<missing>" when absent
};

TEST_F(FileSystemTest, DispositionsAnswerWithWindowsCodes) {
  const std::vector<DispositionRow> rows = {
      {"CREATE_NEW, exists", "C:\\dir\\old.txt", kRW, CREATE_NEW, false, 80, "old"},
      {"CREATE_NEW, missing", "C:\\dir\\new.txt", kRW, CREATE_NEW, true, 0, ""},
      {"CREATE_NEW, no folder", "C:\\nodir\\new.txt", kRW, CREATE_NEW, false, 3, "<missing>"},
      {"CREATE_ALWAYS, exists", "C:\\dir\\old.txt", kRW, CREATE_ALWAYS, true, 183, ""},
      {"CREATE_ALWAYS, missing", "C:\\dir\\new.txt", kRW, CREATE_ALWAYS, true, 0, ""},
      {"OPEN_EXISTING, exists", "C:\\dir\\old.txt", GENERIC_READ, OPEN_EXISTING, true, 0, "old"},
      {"OPEN_EXISTING, missing", "C:\\dir\\new.txt", kRW, OPEN_EXISTING, false, 2, "<missing>"},
      {"OPEN_EXISTING, no folder", "C:\\nodir\\x", kRW, OPEN_EXISTING, false, 3, "<missing>"},
      {"OPEN_ALWAYS, exists", "C:\\dir\\old.txt", kRW, OPEN_ALWAYS, true, 183, "old"},
      {"OPEN_ALWAYS, missing", "C:\\dir\\new.txt", kRW, OPEN_ALWAYS, true, 0, ""},
      {"TRUNCATE_EXISTING", "C:\\dir\\old.txt", GENERIC_WRITE, TRUNCATE_EXISTING, true, 0, ""},
      {"TRUNCATE_EXISTING, read", "C:\\dir\\old.txt", GENERIC_READ, TRUNCATE_EXISTING, false,
       87, "old"},
      {"TRUNCATE_EXISTING, missing", "C:\\dir\\new.txt", kRW, TRUNCATE_EXISTING, false, 2,
       "<missing>"},
      {"folder", "C:\\dir", GENERIC_READ, OPEN_EXISTING, false, 5, "<missing>"},
      {"file as folder", "C:\\dir\\old.txt\\x", kRW, OPEN_ALWAYS, false, 3, "<missing>"},
      {"other drive", "D:\\dir\\old.txt", kRW, OPEN_EXISTING, false, 3, "<missing>"},
      {"empty path", "", kRW, OPEN_ALWAYS, false, 3, "<missing>"},
      {"wildcard", "C:\\dir\\*.txt", kRW, OPEN_ALWAYS, false, 123, "<missing>"},
  };
  for (const auto& r : rows) {
    disk_->WriteAll("C:\\dir\\old.txt", "old");
    disk_->Remove("C:\\dir\\new.txt");
    Opened o = Open(r.path, r.access, 0, r.disposition);
    EXPECT_EQ(o.handle != INVALID_HANDLE_VALUE, r.ok) << "row: " << r.row;
    EXPECT_EQ(o.error, r.error) << "row: " << r.row;
    EXPECT_EQ(Text(r.path), r.content_after) << "row: " << r.row;
    if (r.ok) {
      EXPECT_TRUE(disk_->Close(o.handle, nullptr)) << "row: " << r.row;
    }
  }
  EXPECT_EQ(disk_->OpenHandleCount(), 0u);
}

struct ShareRow {
  const char* row;
  bool hold;  // the first opener is "another process"
  DWORD access1, share1, access2, share2;
  DWORD error;  // of the second open
};

TEST_F(FileSystemTest, ShareModesAreCheckedBothWays) {
  const DWORD R = GENERIC_READ, W = GENERIC_WRITE, SR = FILE_SHARE_READ;
  const std::vector<ShareRow> rows = {
      {"readers sharing read", false, R, SR, R, SR, 0},
      {"writer lets readers, reader must share write", false, W, SR, R, SR, 32},
      {"writer lets readers that share write", false, W, SR, R, kShareRW, 0},
      {"exclusive reader", false, R, 0, R, kShareAll, 32},
      {"reader sharing write admits a writer", false, R, kShareRW, W, kShareRW, 0},
      {"reader not sharing write", false, R, SR, W, kShareRW, 32},
      {"new share mode excludes existing reader", false, R, kShareRW, R, FILE_SHARE_WRITE, 32},
      {"no data access ignores share mode", false, 0, 0, kRW, 0, 0},
      {"existing without data access", false, kRW, kShareAll, 0, 0, 0},
      {"delete needs share delete", false, R, SR, kDelete, kShareAll, 32},
      {"delete with share delete", false, R, SR | FILE_SHARE_DELETE, kDelete, kShareAll, 0},
      {"hold sharing read: reader", true, kRW, SR, R, kShareRW, 0},
      {"hold sharing read: reader not sharing write", true, kRW, SR, R, SR, 32},
      {"hold sharing read: writer", true, kRW, SR, W, kShareRW, 32},
      {"hold sharing all: writer", true, kRW, kShareAll, kRW, kShareRW, 0},
      {"writing hold sharing both: reader sharing read", true, kRW, kShareRW, R, SR, 32},
      {"reading hold: reader sharing read", true, R, SR, R, SR, 0},
      {"reading hold sharing read: writer", true, R, SR, W, kShareRW, 32},
  };
  for (const auto& r : rows) {
    disk_->WriteAll("C:\\f.txt", "x");
    std::vector<HANDLE> open;
    if (r.hold) {
      disk_->HoldByOtherProcess("c:/F.TXT", r.share1, r.access1);
    } else {
      Opened first = Open("C:\\f.txt", r.access1, r.share1, OPEN_EXISTING);
      ASSERT_EQ(first.error, 0u) << "row: " << r.row;
      open.push_back(first.handle);
    }
    Opened second = Open("C:\\F.txt", r.access2, r.share2, OPEN_EXISTING);
    EXPECT_EQ(second.error, r.error) << "row: " << r.row;
    EXPECT_EQ(second.handle == INVALID_HANDLE_VALUE, r.error != 0) << "row: " << r.row;
    if (second.handle != INVALID_HANDLE_VALUE) open.push_back(second.handle);
    CloseAll(open);
    disk_->ReleaseAll();
  }
}

TEST_F(FileSystemTest, ReadOnlyFilesRefuseWritingAndDeletion) {
  Opened created = Open("C:\\ro.txt", kRW, 0, CREATE_NEW, FILE_ATTRIBUTE_READONLY);
  ASSERT_EQ(created.error, 0u);
  EXPECT_EQ(Written(created.handle, "abc"), 3u);  // the creating handle may write
  disk_->Close(created.handle, nullptr);
  EXPECT_EQ(disk_->attribute_table().at("C:\\RO.TXT"),
            FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE);
  EXPECT_EQ(Open("c:\\RO.txt", GENERIC_WRITE, kShareAll, OPEN_EXISTING).error, 5u);
  EXPECT_EQ(Open("c:\\RO.txt", GENERIC_READ, kShareAll, CREATE_ALWAYS).error, 5u);
  Opened reader = Open("C:\\ro.txt", GENERIC_READ, kShareAll, OPEN_EXISTING);
  EXPECT_EQ(reader.error, 0u);
  disk_->Close(reader.handle, nullptr);
  DWORD error = kPoison;
  EXPECT_FALSE(disk_->Delete("C:\\ro.txt", &error));
  EXPECT_EQ(error, 5u);
  EXPECT_EQ(Text("C:\\ro.txt"), "abc");
  disk_->SetAttributes("C:\\RO.TXT", FILE_ATTRIBUTE_ARCHIVE);
  EXPECT_TRUE(disk_->Delete("C:\\ro.txt", &error));
}

TEST_F(FileSystemTest, FilesInUseRefuseWritingAndDeletion) {
  disk_->WriteAll("C:\\Sys\\port.dll", "image");
  disk_->MarkInUse("c:/sys/PORT.DLL");
  EXPECT_EQ(disk_->in_use().count("C:\\SYS\\PORT.DLL"), 1u);
  Opened reader = Open("C:\\sys\\port.dll", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
  EXPECT_EQ(reader.error, 0u);
  disk_->Close(reader.handle, nullptr);
  EXPECT_EQ(Open("C:\\sys\\port.dll", kRW, kShareAll, OPEN_EXISTING).error, 32u);
  // Truncating a mapped image: ERROR_USER_MAPPED_FILE.
  EXPECT_EQ(Open("C:\\sys\\port.dll", GENERIC_READ, kShareAll, CREATE_ALWAYS).error,
            1224u);
  DWORD error = kPoison;
  EXPECT_FALSE(disk_->Delete("C:\\sys\\port.dll", &error));
  EXPECT_EQ(error, 5u);
  disk_->SetRenameInUseAllowed(false);  // 95/98/ME
  EXPECT_FALSE(disk_->Move("C:\\sys\\port.dll", "C:\\sys\\old.dll", &error));
  EXPECT_EQ(error, 5u);
  disk_->SetRenameInUseAllowed(true);  // NT: the mapped image can be moved aside
  EXPECT_TRUE(disk_->Move("C:\\sys\\port.dll", "C:\\sys\\old.dll", &error));
  EXPECT_EQ(disk_->in_use().count("C:\\SYS\\OLD.DLL"), 1u);
  EXPECT_EQ(Text("C:\\sys\\old.dll"), "image");
  disk_->Release("C:\\SYS\\OLD.DLL");
  EXPECT_TRUE(disk_->Delete("C:\\sys\\old.dll", &error));
}

TEST_F(FileSystemTest, FullDiskWritesNothing) {
  disk_->SetFreeSpace(10);
  Opened f = Open("C:\\data.bin", kRW, 0, CREATE_NEW);
  EXPECT_EQ(Written(f.handle, "12345678"), 8u);
  EXPECT_EQ(disk_->free_space(), std::optional<std::uint64_t>(2));
  bool ok = true;
  EXPECT_EQ(Written(f.handle, "abc", &ok), 112u);
  EXPECT_FALSE(ok);
  DWORD error = kPoison;
  EXPECT_EQ(disk_->Size(f.handle, nullptr, &error), 8u);
  EXPECT_EQ(disk_->Seek(f.handle, 0, nullptr, FILE_BEGIN, &error), 0u);
  EXPECT_EQ(Written(f.handle, "ABCDEFGHij"), 10u);  // two bytes of growth fit
  EXPECT_EQ(disk_->free_space(), std::optional<std::uint64_t>(0));
  disk_->Close(f.handle, nullptr);
  EXPECT_EQ(Text("C:\\data.bin"), "ABCDEFGHij");
  EXPECT_TRUE(disk_->Delete("C:\\data.bin", &error));
  EXPECT_EQ(disk_->free_space(), std::optional<std::uint64_t>(10));
}

TEST_F(FileSystemTest, LargeFilesAreWrittenAndReadWhole) {
  const std::vector<BYTE> block((std::size_t{3} << 20) + 5, 'x');  // host writes go in pieces
  Opened f = Open("C:\\big.bin", kRW, 0, CREATE_NEW);
  DWORD written = 0;
  EXPECT_TRUE(disk_->Write(f.handle, block, &written, nullptr));
  EXPECT_EQ(written, block.size());
  disk_->Close(f.handle, nullptr);
  EXPECT_EQ(disk_->ReadAll("C:\\big.bin"), block);
}

TEST_F(FileSystemTest, PathsResolveWithoutCaseAndStayOnTheDrive) {
  disk_->WriteAll("C:\\Orvane\\Res\\Port.DLL", "p");
  disk_->SetCurrentDirectory("c:\\orvane");
  const std::vector<std::pair<const char*, const char*>> rows = {
      {"c:\\orvane\\res\\port.dll", "C:\\Orvane\\Res\\Port.DLL"},
      {"C:/ORVANE/RES/PORT.DLL", "C:\\Orvane\\Res\\Port.DLL"},
      {"C:\\\\Orvane//\\Res\\port.dll", "C:\\Orvane\\Res\\Port.DLL"},
      {"C:\\Orvane\\.\\Res\\..\\res\\port.dll", "C:\\Orvane\\Res\\Port.DLL"},
      {"res\\port.dll", "C:\\Orvane\\Res\\Port.DLL"},
      {"\\orvane\\res\\port.dll", "C:\\Orvane\\Res\\Port.DLL"},
      {"C:\\..\\..\\orvane\\res\\port.dll", "C:\\Orvane\\Res\\Port.DLL"},
      {"C:\\orvane\\res\\port.dll. .", "C:\\Orvane\\Res\\Port.DLL"},
      {"c:\\orvane\\NEW\\x.txt", "C:\\Orvane\\NEW\\x.txt"},
      {"..\\..", "C:\\"},
      {"D:\\orvane", ""},
  };
  for (const auto& [path, canonical] : rows) {
    EXPECT_EQ(disk_->Canonical(path), canonical) << "row: " << path;
  }
  // New names take the case they are given, inside the stored folders.
  Opened f = Open("c:\\ORVANE\\res\\NewFile.Txt", GENERIC_WRITE, 0, CREATE_NEW);
  ASSERT_EQ(f.error, 0u);
  EXPECT_EQ(disk_->PathOf(f.handle), "c:\\ORVANE\\res\\NewFile.Txt");
  disk_->Close(f.handle, nullptr);
  EXPECT_TRUE(fs::exists(temp_ / "drive_c" / "Orvane" / "Res" / "NewFile.Txt"));
  EXPECT_EQ(disk_->List("C:\\ORVANE"),
            (std::vector<std::string>{"C:\\Orvane\\Res\\NewFile.Txt",
                                      "C:\\Orvane\\Res\\Port.DLL"}));

  // ".." stops at the root; a host link leading off the drive is refused, one
  // that stays on it is followed.
  std::ofstream(temp_ / "secret.txt") << "s";
  EXPECT_EQ(Open("C:\\..\\secret.txt", GENERIC_READ, 0, OPEN_EXISTING).error, 2u);
  EXPECT_EQ(*disk_->HostPath("C:\\..\\..\\secret.txt"), temp_ / "drive_c" / "secret.txt");
  fs::create_directory_symlink(temp_, temp_ / "drive_c" / "out");
  fs::create_directory_symlink(temp_ / "drive_c" / "Orvane", temp_ / "drive_c" / "in");
  disk_ = std::make_unique<FileSystem>(temp_ / "drive_c");  // the next run sees the host's
  EXPECT_EQ(Open("C:\\out\\secret.txt", GENERIC_READ, 0, OPEN_EXISTING).error, 5u);
  EXPECT_FALSE(disk_->Exists("C:\\OUT\\secret.txt"));
  EXPECT_FALSE(disk_->Exists("C:\\orvane\\Linked.txt"));
  disk_->WriteAll("C:\\in\\linked.txt", "l");
  EXPECT_EQ(disk_->Canonical("C:\\orvane\\Linked.txt"), "C:\\Orvane\\linked.txt");
}

struct PathCallRow {
  const char* row;
  bool move;  // MoveFileA(path, target) rather than DeleteFileA(path)
  const char* path;
  const char* target;
  DWORD error;
};

TEST_F(FileSystemTest, DeleteAndMoveAnswerWithWindowsCodes) {
  const std::vector<PathCallRow> rows = {
      {"delete missing", false, "C:\\d\\none.txt", nullptr, 2},
      {"delete, no folder", false, "C:\\none\\a.txt", nullptr, 3},
      {"delete empty name", false, "", nullptr, 3},
      {"delete folder", false, "C:\\d", nullptr, 5},
      {"delete open file", false, "C:\\d\\open.txt", nullptr, 32},
      {"delete held file", false, "C:\\d\\held.txt", nullptr, 32},
      {"delete", false, "C:\\d\\a.txt", nullptr, 0},
      {"move onto existing", true, "C:\\d\\a.txt", "C:\\d\\b.txt", 183},
      {"move missing", true, "C:\\d\\none.txt", "C:\\d\\c.txt", 2},
      {"move to missing folder", true, "C:\\d\\a.txt", "C:\\none\\c.txt", 3},
      {"move open file", true, "C:\\d\\open.txt", "C:\\d\\c.txt", 32},
      {"move to wildcard", true, "C:\\d\\a.txt", "C:\\d\\c?.txt", 123},
      {"move to same name", true, "C:\\d\\a.txt", "c:\\D\\A.TXT", 0},
      {"move", true, "C:\\d\\a.txt", "C:\\d\\sub\\c.txt", 0},
  };
  for (const auto& r : rows) {
    disk_->WriteAll("C:\\d\\a.txt", "a");
    disk_->WriteAll("C:\\d\\b.txt", "b");
    disk_->WriteAll("C:\\d\\open.txt", "o");
    disk_->WriteAll("C:\\d\\held.txt", "h");
    disk_->MakeDirectories("C:\\d\\sub");
    disk_->HoldByOtherProcess("C:\\d\\held.txt", kShareRW);
    Opened open = Open("C:\\d\\open.txt", GENERIC_READ, kShareRW, OPEN_EXISTING);
    DWORD error = kPoison;
    bool ok = r.move ? disk_->Move(r.path, r.target, &error)
                     : disk_->Delete(r.path, &error);
    EXPECT_EQ(ok, r.error == 0) << "row: " << r.row;
    EXPECT_EQ(error, r.error) << "row: " << r.row;
    if (r.error != 0 && r.error != 3 && r.error != 2 && !r.move) {
      EXPECT_TRUE(disk_->Exists(r.path)) << "row: " << r.row;
    }
    disk_->Close(open.handle, nullptr);
    disk_->ReleaseAll();
  }
  EXPECT_EQ(Text("C:\\d\\sub\\c.txt"), "a");
  EXPECT_EQ(disk_->Canonical("C:\\d\\sub\\c.txt"), "C:\\d\\sub\\c.txt");
}

TEST_F(FileSystemTest, DeleteWhileSharedForDeleteWaitsForTheLastHandle) {
  disk_->WriteAll("C:\\p.txt", "p");
  Opened a = Open("C:\\p.txt", GENERIC_READ, kShareAll, OPEN_EXISTING);
  DWORD error = kPoison;
  EXPECT_TRUE(disk_->Delete("C:\\p.txt", &error));
  EXPECT_TRUE(disk_->Exists("C:\\p.txt"));
  EXPECT_EQ(Open("C:\\p.txt", GENERIC_READ, kShareAll, OPEN_EXISTING).error, 5u);
  disk_->Close(a.handle, nullptr);
  EXPECT_FALSE(disk_->Exists("C:\\p.txt"));
}

TEST_F(FileSystemTest, HandlesKeepTheirOwnPositionAndAccess) {
  disk_->WriteAll("C:\\f.bin", "0123456789");
  Opened r1 = Open("C:\\f.bin", GENERIC_READ, kShareRW, OPEN_EXISTING);
  Opened r2 = Open("C:\\f.bin", GENERIC_READ, kShareRW, OPEN_EXISTING);
  Opened w = Open("C:\\f.bin", GENERIC_WRITE, kShareRW, OPEN_EXISTING);
  BYTE buf[4];
  DWORD got = kPoison, error = kPoison;
  ASSERT_TRUE(disk_->Read(r1.handle, buf, &got, &error));
  EXPECT_EQ(std::string(buf, buf + got), "0123");
  ASSERT_TRUE(disk_->Read(r2.handle, std::span(buf, 2), &got, &error));
  EXPECT_EQ(std::string(buf, buf + got), "01");
  ASSERT_TRUE(disk_->Read(r1.handle, buf, &got, &error));
  EXPECT_EQ(std::string(buf, buf + got), "4567");

  EXPECT_FALSE(disk_->Read(w.handle, buf, &got, &error));
  EXPECT_EQ(error, 5u);
  bool ok = true;
  EXPECT_EQ(Written(r1.handle, "x", &ok), 5u);
  EXPECT_FALSE(ok);

  LONG high = 0;
  EXPECT_EQ(disk_->Seek(r1.handle, -1, nullptr, FILE_BEGIN, &error),
            INVALID_SET_FILE_POINTER);
  EXPECT_EQ(error, ERROR_NEGATIVE_SEEK);
  EXPECT_EQ(disk_->Seek(r1.handle, -2, nullptr, FILE_END, &error), 8u);
  ASSERT_TRUE(disk_->Read(r1.handle, buf, &got, &error));
  EXPECT_EQ(std::string(buf, buf + got), "89");
  ASSERT_TRUE(disk_->Read(r1.handle, buf, &got, &error));  // at the end: success, 0 bytes
  EXPECT_EQ(got, 0u);

  // A sparse 5 GB file: positions and sizes past 32 bits.
  high = 1;
  EXPECT_EQ(disk_->Seek(w.handle, 0x40000000, &high, FILE_BEGIN, &error), 0x40000000u);
  EXPECT_EQ(high, 1);
  EXPECT_EQ(Written(w.handle, "Z"), 1u);
  DWORD size_high = 0;
  EXPECT_EQ(disk_->Size(w.handle, &size_high, &error), 0x40000001u);
  EXPECT_EQ(size_high, 1u);
  high = 1;
  disk_->Seek(r2.handle, 0x40000000, &high, FILE_BEGIN, &error);
  ASSERT_TRUE(disk_->Read(r2.handle, buf, &got, &error));
  EXPECT_EQ(std::string(buf, buf + got), "Z");

  for (HANDLE h : {r1.handle, r2.handle, w.handle}) EXPECT_TRUE(disk_->Close(h, &error));
  EXPECT_FALSE(disk_->Close(w.handle, &error));
  EXPECT_EQ(error, ERROR_INVALID_HANDLE);
}

TEST_F(FileSystemTest, AttributesReflectTheTable) {
  disk_->WriteAll("C:\\a\\f.txt", "12345");
  DWORD error = kPoison;
  EXPECT_EQ(disk_->Attributes("C:\\A", &error), FILE_ATTRIBUTE_DIRECTORY);
  EXPECT_EQ(disk_->Attributes("C:\\a\\F.TXT", &error), FILE_ATTRIBUTE_ARCHIVE);
  disk_->SetAttributes("c:/a/f.txt", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
  EXPECT_EQ(disk_->Attributes("C:\\a\\f.txt", &error),
            FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
  WIN32_FILE_ATTRIBUTE_DATA data;
  ASSERT_TRUE(disk_->AttributesEx("C:\\a\\f.txt", &data, &error));
  EXPECT_EQ(data.nFileSizeLow, 5u);
  EXPECT_NE(data.ftLastWriteTime.dwHighDateTime, 0u);
  EXPECT_EQ(disk_->Attributes("C:\\a\\none", &error), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(error, 2u);
  EXPECT_EQ(disk_->Attributes("C:\\none\\none", &error), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(error, 3u);
}

}  // namespace
}  // namespace orvane::winsim
