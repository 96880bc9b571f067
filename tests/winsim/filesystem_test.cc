// What the contract suite cannot show of the disk: another process's holds,
// mapped images, a full disk, and a drive kept in a host folder.
#include "winsim/filesystem.h"

#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "sim_fixture.h"

namespace orvane::winsim {
namespace {

namespace fs = std::filesystem;
using namespace win;

constexpr DWORD R = GENERIC_READ, W = GENERIC_WRITE, kRW = R | W;
constexpr DWORD SR = FILE_SHARE_READ, kShareRW = SR | FILE_SHARE_WRITE;

struct Disk {
  testing::TempDir dir;
  std::unique_ptr<FileSystem> files;
  Disk() { Reopen(); }
  void Reopen() {
    fs::create_directories(dir.path() / "drive_c");
    files = std::make_unique<FileSystem>(dir.path() / "drive_c");
  }
  // The error of an open; the handle, if any, closed again.
  DWORD Open(const char* path, DWORD access, DWORD share, DWORD disposition = OPEN_EXISTING) {
    DWORD error = 0;
    HANDLE h = files->CreateFile(path, access, share, disposition, FILE_ATTRIBUTE_NORMAL, &error);
    if (h != INVALID_HANDLE_VALUE) files->Close(h, nullptr);
    return error;
  }
};

// A hold counts as a handle with its access and share mode: a reader must
// share writing with a writing hold. (The share rules are the contract suite's
// on handles; a hold's share mode, the deletion it refuses and its release show
// in tests/setup's copy and log tables.)
TEST(FileSystem, AHoldCountsWithItsAccess) {
  const struct {
    DWORD hold_access, share, error;
  } rows[] = {{kRW, SR, 32}, {kRW, kShareRW, 0}, {R, SR, 0}};
  for (const auto& r : rows) {
    Disk d;
    d.files->WriteAll("C:\\f.txt", "x");
    d.files->HoldByOtherProcess("c:/F.TXT", kShareRW, r.hold_access);
    EXPECT_EQ(d.Open("C:\\f.txt", R, r.share), r.error) << r.hold_access << " " << r.share;
  }
}

TEST(FileSystem, MappedImagesRefuseWritingAndDeletion) {
  Disk d;
  d.files->WriteAll("C:\\Sys\\port.dll", "image");
  d.files->MarkInUse("c:/sys/PORT.DLL");
  EXPECT_EQ(d.Open("C:\\sys\\port.dll", R, SR), 0u);
  EXPECT_EQ(d.Open("C:\\sys\\port.dll", kRW, kShareRW), 32u);
  EXPECT_EQ(d.Open("C:\\sys\\port.dll", R, kShareRW, CREATE_ALWAYS), 1224u);
  DWORD error = 0;
  EXPECT_FALSE(d.files->Delete("C:\\sys\\port.dll", &error));
  EXPECT_EQ(error, 5u);
  d.files->SetRenameInUseAllowed(false);  // 95/98/ME
  EXPECT_FALSE(d.files->Move("C:\\sys\\port.dll", "C:\\sys\\old.dll", &error));
  EXPECT_EQ(error, 5u);
  d.files->SetRenameInUseAllowed(true);  // NT moves a mapped image aside
  EXPECT_TRUE(d.files->Move("C:\\sys\\port.dll", "C:\\sys\\old.dll", &error));
  EXPECT_EQ(d.files->in_use().count("C:\\SYS\\OLD.DLL"), 1u);
  d.files->Release("C:\\SYS\\OLD.DLL");
  EXPECT_TRUE(d.files->Delete("C:\\sys\\old.dll", &error));
}

TEST(FileSystem, AFullDiskWritesNothing) {
  Disk d;
  d.files->SetFreeSpace(10);
  DWORD error = 0, done = 0;
  HANDLE h = d.files->CreateFile("C:\\data.bin", kRW, 0, CREATE_NEW, 0, &error);
  auto write = [&](std::string_view text) {
    return d.files->Write(h, {reinterpret_cast<const BYTE*>(text.data()), text.size()}, &done,
                          &error);
  };
  EXPECT_TRUE(write("12345678"));
  EXPECT_FALSE(write("abc"));
  EXPECT_EQ(error, 112u);
  EXPECT_EQ(d.files->Seek(h, 0, nullptr, FILE_BEGIN, &error), 0u);
  EXPECT_TRUE(write("ABCDEFGHij"));  // two bytes of growth fit
  d.files->Close(h, nullptr);
  EXPECT_EQ(d.files->free_space(), std::optional<std::uint64_t>(0));
  EXPECT_TRUE(d.files->Delete("C:\\data.bin", &error));
  EXPECT_EQ(d.files->free_space(), std::optional<std::uint64_t>(10));
}

// Names resolve without regard to case against the host folder, new names keep
// their case, and nothing leads off the drive.
TEST(FileSystem, TheDriveIsAHostFolder) {
  Disk d;
  d.files->WriteAll("C:\\Orvane\\Res\\Port.DLL", "p");
  d.files->SetCurrentDirectory("c:\\orvane");
  for (const char* path : {"C:/ORVANE/RES/PORT.DLL", "C:\\\\Orvane//\\Res\\port.dll",
                           "res\\port.dll", "\\orvane\\res\\port.dll",
                           "C:\\..\\..\\orvane\\res\\port.dll", "C:\\orvane\\res\\port.dll. ."}) {
    EXPECT_EQ(d.files->Canonical(path), "C:\\Orvane\\Res\\Port.DLL") << path;
  }
  EXPECT_EQ(d.files->Canonical("D:\\orvane"), "");
  EXPECT_EQ(d.Open("c:\\ORVANE\\res\\NewFile.Txt", W, 0, CREATE_NEW), 0u);
  EXPECT_TRUE(fs::exists(d.dir.path() / "drive_c" / "Orvane" / "Res" / "NewFile.Txt"));
  EXPECT_EQ(d.files->List("C:\\ORVANE"),
            (std::vector<std::string>{"C:\\Orvane\\Res\\NewFile.Txt",
                                      "C:\\Orvane\\Res\\Port.DLL"}));
  // A host link off the drive is refused; one that stays on it is followed.
  std::ofstream(d.dir.path() / "secret.txt") << "s";
  fs::create_directory_symlink(d.dir.path(), d.dir.path() / "drive_c" / "out");
  const fs::path c = d.dir.path() / "drive_c";
  fs::create_directory_symlink(c / "Orvane", c / "in");
  d.Reopen();  // the next run sees the host's changes
  EXPECT_EQ(d.Open("C:\\out\\secret.txt", R, 0), 5u);
  EXPECT_EQ(d.Open("C:\\..\\secret.txt", R, 0), 2u);
  d.files->WriteAll("C:\\in\\linked.txt", "l");
  EXPECT_EQ(d.files->Canonical("C:\\orvane\\Linked.txt"), "C:\\Orvane\\linked.txt");
}

}  // namespace
}  // namespace orvane::winsim
