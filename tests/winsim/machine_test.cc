// What the contract suite cannot show of the machine: each Windows's version
// answers and folders, the journal (started programs, boxes, pauses), the
// virtual clock, injected faults, the heap, and IniFileMapping.
#include <gtest/gtest.h>

#include <cstring>

#include "sim_fixture.h"

namespace orvane::winsim {
namespace {

using namespace orvane::win;
using testing::SimMachine;

constexpr DWORD kPoison = 0xDEADBEEF;

struct VersionRow {
  WindowsVersion version;
  DWORD get_version;
  DWORD major, minor, build, platform;
  bool extended;  // the 156-byte record is accepted
  const char* windows_dir;
  const char* system_dir;
  const char* driver_dir;
};

// GetVersion and GetVersionEx values as Windows reports them; folders of a
// default installation.
const VersionRow kVersions[] = {
    {WindowsVersion::kWin95, 0xC0000004, 4, 0, 0x040003B6, 1, false, "C:\\WINDOWS",
     "C:\\WINDOWS\\SYSTEM", "C:\\WINDOWS\\SYSTEM"},
    {WindowsVersion::kWin98, 0xC0000A04, 4, 10, 0x040A07CE, 1, false, "C:\\WINDOWS",
     "C:\\WINDOWS\\SYSTEM", "C:\\WINDOWS\\SYSTEM"},
    {WindowsVersion::kWinMe, 0xC0005A04, 4, 90, 0x045A0BB8, 1, false, "C:\\WINDOWS",
     "C:\\WINDOWS\\SYSTEM", "C:\\WINDOWS\\SYSTEM"},
    {WindowsVersion::kNt351, 0x04213303, 3, 51, 1057, 2, false, "C:\\WINNT35",
     "C:\\WINNT35\\system32", "C:\\WINNT35\\system32\\spool\\drivers\\w32x86"},
    {WindowsVersion::kNt4, 0x05650004, 4, 0, 1381, 2, false, "C:\\WINNT",
     "C:\\WINNT\\system32", "C:\\WINNT\\system32\\spool\\drivers\\w32x86"},
    {WindowsVersion::kWin2000, 0x08930005, 5, 0, 2195, 2, true, "C:\\WINNT",
     "C:\\WINNT\\system32", "C:\\WINNT\\system32\\spool\\drivers\\w32x86"},
    {WindowsVersion::kWinXp, 0x0A280105, 5, 1, 2600, 2, true, "C:\\WINDOWS",
     "C:\\WINDOWS\\system32", "C:\\WINDOWS\\system32\\spool\\drivers\\w32x86"},
    {WindowsVersion::kWin32s, 0x80000A03, 3, 10, 0, 0, false, "C:\\WINDOWS",
     "C:\\WINDOWS\\SYSTEM", "C:\\WINDOWS\\SYSTEM"},
};

TEST(VersionMatrix, EachWindowsAnswersAsItDoes) {
  for (const VersionRow& row : kVersions) {
    SimMachine m(row.version);
    const char* name = Profile(row.version).name;
    EXPECT_EQ(m->GetVersion(), row.get_version) << name;

    OSVERSIONINFOEXA info;
    info.dwOSVersionInfoSize = kOsVersionInfoExSize;
    m->SetLastError(kPoison);
    EXPECT_EQ(m->GetVersionExA(&info) != FALSE, row.extended) << name;
    if (!row.extended) {
      EXPECT_EQ(m->GetLastError(), ERROR_INSUFFICIENT_BUFFER) << name;
    }

    info = OSVERSIONINFOEXA{};
    info.dwOSVersionInfoSize = kOsVersionInfoSize;
    ASSERT_TRUE(m->GetVersionExA(&info)) << name;
    EXPECT_EQ(info.dwMajorVersion, row.major) << name;
    EXPECT_EQ(info.dwMinorVersion, row.minor) << name;
    EXPECT_EQ(info.dwBuildNumber, row.build) << name;
    EXPECT_EQ(info.dwPlatformId, row.platform) << name;

    char buffer[512];
    EXPECT_EQ(m->GetWindowsDirectoryA(buffer), std::strlen(row.windows_dir)) << name;
    EXPECT_STREQ(buffer, row.windows_dir) << name;
    EXPECT_EQ(m->GetSystemDirectoryA(buffer), std::strlen(row.system_dir)) << name;
    EXPECT_STREQ(buffer, row.system_dir) << name;
    DWORD needed = 0;
    ASSERT_TRUE(m->GetPrinterDriverDirectoryA(nullptr, nullptr, 1,
                                              std::span(buffer, 256), &needed))
        << name;
    EXPECT_STREQ(buffer, row.driver_dir) << name;
    EXPECT_EQ(needed, std::strlen(row.driver_dir) + 1) << name;
  }
}

struct ProcessRow {
  const char* name;
  const char* command_line;
  bool started;
  DWORD error;  // when not started
  const char* application = nullptr;
  const char* directory = nullptr;
};

TEST(CreateProcess, FindsTheProgramByWindowsSearchOrder) {
  SimMachine m(WindowsVersion::kWinXp);
  m->files().WriteAll("C:\\Program Files\\sub dir\\program name.exe", "x");
  m->files().WriteAll("C:\\tools\\tool.exe", "x");
  m->files().WriteAll("C:\\orvane\\helper.exe", "x");
  const ProcessRow rows[] = {
      {"system folder", "rundll32.exe url.dll,FileProtocolHandler c:\\x.html", true, 0},
      {"no extension given", "rundll32 shell32.dll,x", true, 0},
      {"program's own folder", "helper.exe /q", true, 0},
      {"blank-separated prefixes", "C:\\Program Files\\sub dir\\program name -a", true, 0},
      {"quoted", "\"C:\\Program Files\\sub dir\\program name.exe\" -a", true, 0},
      {"PATH is not searched for a tool elsewhere", "tool.exe", false, ERROR_FILE_NOT_FOUND},
      {"missing", "nosuch.exe", false, ERROR_FILE_NOT_FOUND},
      {"leading slash", "/uninstall", false, ERROR_FILE_NOT_FOUND},
      // A named program is that file alone: no search.
      {"named, missing", "rundll32.exe x", false, ERROR_FILE_NOT_FOUND,
       "C:\\WINDOWS\\rundll32.exe"},
      {"current folder missing", "rundll32.exe x", false, ERROR_DIRECTORY,
       "C:\\WINDOWS\\system32\\rundll32.exe", "C:\\WINDOWS\\nosuch"},
  };
  for (const ProcessRow& row : rows) {
    std::string line = row.command_line;
    STARTUPINFOA si;
    si.cb = kStartupInfoSize;
    PROCESS_INFORMATION pi;
    m->SetLastError(kPoison);
    BOOL ok = m->CreateProcessA(row.application, line.data(), nullptr, nullptr, FALSE,
                                CREATE_NEW_PROCESS_GROUP, m->GetEnvironmentStrings(),
                                row.directory, &si, &pi);
    EXPECT_EQ(ok != FALSE, row.started) << row.name;
    EXPECT_EQ(m->GetLastError(), row.started ? kPoison : row.error) << row.name;
    auto last = m.Events("process").back();
    EXPECT_EQ(last[1], row.started ? "1" : "0") << row.name;
    EXPECT_EQ(last[2], "0x200") << row.name;
    EXPECT_EQ(last[4], "env=own") << row.name;
    EXPECT_EQ(last.back(), row.command_line) << row.name;
  }

  // With the tool's folder on PATH it is found.
  auto env = m->environment();
  env.push_back("PATH=C:\\tools");
  env.erase(env.begin() + 1);  // the old PATH
  m->SetEnvironment(env);
  std::string line = "tool.exe";
  EXPECT_TRUE(m->CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                nullptr, nullptr, nullptr));
  EXPECT_EQ(m.Events("process").back()[4], "env=null");
}

TEST(CreateProcess, WindowsFolderOn95AndTheProgramFolderFirst) {
  SimMachine m(WindowsVersion::kWin98);
  std::string line = "rundll32.exe shell32.dll,SHHelpShortcuts_RunDLL AddPrinter";
  EXPECT_TRUE(m->CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0,
                                nullptr, nullptr, nullptr, nullptr));
  m->files().Remove("C:\\WINDOWS\\rundll32.exe");
  EXPECT_FALSE(m->CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0,
                                 nullptr, nullptr, nullptr, nullptr));
  m->files().WriteAll("C:\\orvane\\rundll32.exe", "stand-in");
  EXPECT_TRUE(m->CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0,
                                nullptr, nullptr, nullptr, nullptr));
}

TEST(MessageBoxes, AnswersComeFromTheQueueThenDefault) {
  SimMachine m(WindowsVersion::kWinXp);
  m->answers() = {IDYES, IDNO};
  EXPECT_EQ(m->MessageBoxA(HWND{0}, "a", "setup", MB_OK), IDOK);  // takes no answer
  EXPECT_EQ(m->MessageBoxA(HWND{0}, "b", "setup", MB_YESNO), IDYES);
  EXPECT_EQ(m->MessageBoxA(HWND{0}, "c", "setup", MB_YESNO), IDNO);
  EXPECT_EQ(m->MessageBoxA(HWND{0}, "d", "setup", MB_YESNO), IDNO);  // none left: No
  m->SetPrompt([](std::string_view, std::string_view, UINT) { return IDYES; });
  EXPECT_EQ(m->MessageBoxA(HWND{0}, "e\r\nsecond line", "setup", MB_YESNO), IDYES);

  auto boxes = m.Events("msgbox");
  ASSERT_EQ(boxes.size(), 5u);
  EXPECT_EQ(boxes[1], (std::vector<std::string>{"msgbox", "setup", "4", "6", "b"}));
  EXPECT_EQ(boxes[4][4], "e\r\nsecond line");
  // One event is one line, whatever the text holds.
  EXPECT_EQ(m->journal().back().find('\n'), std::string::npos);
}

TEST(Clock, SleepAdvancesTheLocalTime) {
  SimMachine m(WindowsVersion::kWinXp);
  m->SetClock(SYSTEMTIME{2003, 12, 0, 31, 23, 59, 58, 0});
  m->Sleep(3000);
  SYSTEMTIME now;
  m->GetLocalTime(&now);
  EXPECT_EQ(now.wYear, 2004);
  EXPECT_EQ(now.wMonth, 1);
  EXPECT_EQ(now.wDay, 1);
  EXPECT_EQ(now.wHour, 0);
  EXPECT_EQ(now.wMinute, 0);
  EXPECT_EQ(now.wSecond, 1);
  EXPECT_EQ(now.wDayOfWeek, 4);  // a Thursday
  EXPECT_EQ(m.Events("sleep").back()[1], "3000");
}

TEST(Faults, FireOnceAlwaysOrLeaveAStaleValue) {
  SimMachine m(WindowsVersion::kWinXp);
  m->files().WriteAll("C:\\a.txt", "a");
  m->files().WriteAll("C:\\b.txt", "b");
  m->faults().Add({"DeleteFileA", "b.TXT", ERROR_SHARING_VIOLATION, FaultMode::kOnce});
  m->faults().Add({"GetSystemDirectoryA", "", ERROR_ACCESS_DENIED, FaultMode::kAlways});
  m->faults().Add({"MoveFileA", "", 1234, FaultMode::kStale});

  EXPECT_TRUE(m->DeleteFileA("C:\\a.txt")) << "another subject";
  EXPECT_FALSE(m->DeleteFileA("C:\\b.txt"));
  EXPECT_EQ(m->GetLastError(), ERROR_SHARING_VIOLATION);
  EXPECT_TRUE(m->files().Exists("C:\\b.txt"));
  EXPECT_TRUE(m->DeleteFileA("C:\\b.txt")) << "a once fault is spent";

  char buffer[512];
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(m->GetSystemDirectoryA(buffer), 0u);
    EXPECT_EQ(m->GetLastError(), ERROR_ACCESS_DENIED);
  }

  m->files().WriteAll("C:\\c.txt", "c");
  m->SetLastError(0);
  EXPECT_TRUE(m->MoveFileA("C:\\c.txt", "C:\\d.txt"));
  EXPECT_EQ(m->GetLastError(), 1234u) << "success with a value left behind";
  EXPECT_TRUE(m->files().Exists("C:\\d.txt"));

  for (const Fault& f : m->faults().faults()) EXPECT_GT(f.fired, 0) << f.call;
}

TEST(Heap, BlocksCanBeRefusedAndLeaksAreReported) {
  SimMachine m(WindowsVersion::kWinXp);
  m->faults().Add({"HeapAlloc", "", 0, FaultMode::kOnce});
  EXPECT_EQ(m->HeapAlloc(100), nullptr);
  void* block = m->HeapAlloc((SIZE_T{6} << 20) + 1);  // mapped apart: host_memory.h
  ASSERT_NE(block, nullptr);
  static_cast<volatile char*>(block)[SIZE_T{6} << 20] = 1;  // its last byte is there
  EXPECT_EQ(m->LeakReport().size(), 1u);
  m->HeapFree(block);
  EXPECT_TRUE(m->LeakReport().empty());
  EXPECT_EQ(m->HeapAlloc(SIZE_T{3} << 30), nullptr) << "more than a 32-bit process has";
}

TEST(ProfileFiles, IniFileMappingRedirectsIntoTheRegistry) {
  SimMachine m(WindowsVersion::kWinXp);
  const char* ini = "c:\\orvane\\res\\orvane.ini";
  m->files().WriteAll(ini, "[Parameters]\r\nQuiet=1\r\nIsXPor2000=0\r\n");
  Registry& reg = m->registry();
  const std::string mapping =
      "HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\IniFileMapping\\orvane.ini";
  std::string location = "SYS:Orvane\\Parameters";
  reg.PutValue(mapping, "Parameters", REG_SZ,
               std::vector<BYTE>(location.c_str(), location.c_str() + location.size() + 1));
  reg.PutValue("HKLM\\SOFTWARE\\Orvane\\Parameters", "Quiet", REG_SZ, {'7', 0});

  char value[16];
  m->GetPrivateProfileStringA("Parameters", "Quiet", "0", value, ini);
  EXPECT_STREQ(value, "7") << "mapped key read from the registry";
  m->GetPrivateProfileStringA("Parameters", "IsXPor2000", "2", value, ini);
  EXPECT_STREQ(value, "0") << "a key the registry lacks falls back to the file";

  m->WritePrivateProfileStringA("Parameters", "Quiet", "0", ini);
  auto stored = reg.GetValue("HKLM\\SOFTWARE\\Orvane\\Parameters", "Quiet");
  ASSERT_TRUE(stored);
  EXPECT_EQ(stored->data, (std::vector<BYTE>{'0', 0}));
  auto text = m->files().ReadAll(ini);
  EXPECT_EQ(std::string(text->begin(), text->end()),
            "[Parameters]\r\nQuiet=1\r\nIsXPor2000=0\r\n")
      << "the file is not written while the section is mapped";

  // Removing the mapping and flushing: the file itself counts again.
  EXPECT_TRUE(reg.RemoveTree(mapping));
  EXPECT_FALSE(m->WritePrivateProfileStringW(nullptr, nullptr, nullptr, u"orvane.ini"));
  EXPECT_EQ(m.Events("profileflush").size(), 1u);
  m->GetPrivateProfileStringA("Parameters", "Quiet", "0", value, ini);
  EXPECT_STREQ(value, "1");
}

}  // namespace
}  // namespace orvane::winsim
