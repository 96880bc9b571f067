// A machine kept in a folder: what is saved comes back, damage is reported with
// its file and line and changes nothing, and a second user waits for the lock.
#include <gtest/gtest.h>

#include <fstream>

#include "sim_fixture.h"
#include "winsim/machine_store.h"

namespace orvane::winsim {
namespace {

using namespace orvane::win;
using testing::TempDir;
namespace fs = std::filesystem;

std::string Slurp(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void Spit(const fs::path& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

// A machine with something in every part of its state.
void Furnish(Machine& m) {
  LayOutWindows(m);
  m.registry().PutValue("HKLM\\Software\\Orvane", "Path", REG_SZ, {'c', ':', '\\', 0});
  m.registry().PutValue("HKLM\\Software\\Odd", "bin", REG_BINARY, {0, 1, 0xFF});
  m.registry().PutValue("HKLM\\Software\\Odd", "short dword", REG_DWORD, {1, 2});
  m.files().WriteAll("C:\\orvane\\res\\drivedir\\setup.log", "line\r\n");
  m.files().SetAttributes("C:\\orvane\\res\\drivedir\\setup.log", FILE_ATTRIBUTE_READONLY);
  m.files().HoldByOtherProcess("C:\\orvane\\res\\drivedir\\setup.log", FILE_SHARE_READ);
  m.files().WriteAll("C:\\orvane\\res\\orvmon.dll", "image");
  m.files().HoldByOtherProcess("C:\\orvane\\res\\orvmon.dll", FILE_SHARE_READ, GENERIC_READ);
  m.files().SetFreeSpace(4096);
  m.answers() = {IDYES, IDNO};
  m.faults().Add({"CreateFileA", "setup|log\t", 32, FaultMode::kAlways, 2});
  m.SetModulePath("C:\\Program Files\\orvane\\setup.exe");
  m.SetClock(SYSTEMTIME{2004, 2, 0, 29, 23, 58, 7, 125});
  m.MessageBoxA(HWND{0}, "text with\ttab and\r\nbreak", "setup", MB_OK);
  m.services().SetSpoolerStopMs(1500);  // a slow stop, 1000 ms of it still to go
  m.services().Restore(ServiceState::kStopPending, m.now_ms() + 1000);
}

TEST(MachineFolder, WhatIsSavedComesBack) {
  TempDir dir;
  std::string before_reg, before_ini;
  std::vector<std::string> before_journal;
  {
    MachineFolder folder(dir.path(), std::chrono::seconds(1), true);
    Machine m(WindowsVersion::kWinMe, folder.drive_c());
    Furnish(m);
    folder.Save(m);
    before_reg = m.registry().ExportRegedit4();
    before_ini = FormatMachineIni(m);
    before_journal = m.journal();
  }
  MachineFolder folder(dir.path(), std::chrono::seconds(1));
  auto m = folder.Load();
  EXPECT_EQ(m->registry().ExportRegedit4(), before_reg);
  EXPECT_EQ(FormatMachineIni(*m), before_ini);
  EXPECT_EQ(m->journal(), before_journal);
  EXPECT_NE(before_ini.find("spooler_stop_remaining_ms=1000\nspooler_stop_ms=1500\n"),
            std::string::npos);
  EXPECT_EQ(m->faults().faults().at(0).match, "setup|log\t");
  // The held, read-only log still refuses a writer after the reload.
  HANDLE h = m->CreateFileA("c:\\orvane\\res\\drivedir\\setup.log", GENERIC_WRITE, 0,
                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, kNullHandle);
  EXPECT_EQ(h, INVALID_HANDLE_VALUE);
  // The reading hold still admits a reader that shares only reading; a line
  // of the old form (no access) still means reading and writing.
  h = m->CreateFileA("c:\\orvane\\res\\orvmon.dll", GENERIC_READ, FILE_SHARE_READ, nullptr,
                     OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, kNullHandle);
  EXPECT_NE(h, INVALID_HANDLE_VALUE);
  m->CloseHandle(h);
  EXPECT_NE(before_ini.find("C:\\ORVANE\\RES\\ORVMON.DLL=1|0x80000000\n"), std::string::npos);
  EXPECT_NE(before_ini.find("SETUP.LOG=1\n"), std::string::npos);
  EXPECT_EQ(m->files().holds().at("C:\\ORVANE\\RES\\DRIVEDIR\\SETUP.LOG").access,
            GENERIC_READ | GENERIC_WRITE);
}

struct DamageRow {
  const char* name;
  const char* file;
  std::string text;
  std::string expected;  // in the message
};

TEST(MachineFolder, DamageNamesFileAndLineAndChangesNothing) {
  const DamageRow rows[] = {
      {"unknown version", "machine.ini", "[machine]\nwindows=vista\n", "machine.ini:2"},
      {"bad clock", "machine.ini", "[machine]\nwindows=xp\nclock=yesterday\n",
       "machine.ini:3"},
      {"line without =", "machine.ini", "[machine]\nwindows=xp\n\n[answers]\nyes\n",
       "machine.ini:5"},
      {"bad answer", "machine.ini", "[machine]\nwindows=xp\n[answers]\nqueue=yes maybe\n",
       "machine.ini:4"},
      {"bad fault", "machine.ini", "[machine]\nwindows=xp\n[faults]\nfault=ReadFile|x\n",
       "machine.ini:4"},
      {"bad hold", "machine.ini", "[machine]\nwindows=xp\n[holds]\nC:\\x=1|read\n",
       "machine.ini:4"},
      {"registry without header", "system.reg", "[HKEY_LOCAL_MACHINE\\X]\r\n",
       "system.reg:1"},
      {"registry bad hex", "system.reg",
       "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\X]\r\n\"v\"=hex:zz\r\n", "system.reg:4"},
  };
  for (const DamageRow& row : rows) {
    TempDir dir;
    {
      MachineFolder folder(dir.path(), std::chrono::seconds(1), true);
      Machine m(WindowsVersion::kWinXp, folder.drive_c());
      LayOutWindows(m);
      folder.Save(m);
    }
    Spit(dir.path() / row.file, row.text);
    std::string ini = Slurp(dir.path() / "machine.ini");
    std::string reg = Slurp(dir.path() / "system.reg");
    MachineFolder folder(dir.path(), std::chrono::seconds(1));
    try {
      folder.Load();
      ADD_FAILURE() << row.name << ": loaded";
    } catch (const HostError& e) {
      EXPECT_NE(std::string(e.what()).find(row.expected), std::string::npos)
          << row.name << ": " << e.what();
    }
    EXPECT_EQ(Slurp(dir.path() / "machine.ini"), ini) << row.name;
    EXPECT_EQ(Slurp(dir.path() / "system.reg"), reg) << row.name;
  }
}

// A second user waits for the lock, then gives up; a missing folder is named.
TEST(MachineFolder, ASecondUserWaitsForTheLockThenGivesUp) {
  TempDir dir;
  auto first = std::make_unique<MachineFolder>(dir.path(), std::chrono::seconds(1), true);
  const std::pair<fs::path, const char*> rows[] = {
      {dir.path(), "in use by another process"}, {dir.path() / "nowhere", "nowhere"}};
  for (const auto& [path, message] : rows) {
    try {
      MachineFolder second(path, std::chrono::milliseconds(100));
      ADD_FAILURE() << message;
    } catch (const HostError& e) {
      EXPECT_NE(std::string(e.what()).find(message), std::string::npos) << e.what();
    }
  }
  first.reset();
  MachineFolder empty(dir.path(), std::chrono::milliseconds(100));
  EXPECT_THROW(empty.Load(), HostError) << "an empty folder holds no machine";
}

}  // namespace
}  // namespace orvane::winsim
