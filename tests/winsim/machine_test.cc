// What the contract suite cannot show of the machine: the journal (started
// programs, boxes, pauses), the virtual clock, injected faults, the heap, and
// IniFileMapping. (Each Windows's version answers and folders decide what every
// installation in tests/setup's scenarios leaves.)
#include <gtest/gtest.h>

#include "sim_fixture.h"

namespace orvane::winsim {
namespace {

using namespace orvane::win;
using namespace testing;

// Windows' search for a program named without a folder: the program's own
// folder, the system folder, PATH; a named application is that file alone.
// The event journals what started (the programs an installation starts, and
// 95/98/ME's search, show in tests/setup's scenarios).
TEST(CreateProcess, FindsTheProgramByWindowsSearchOrder) {
  SimMachine m(WindowsVersion::kWinXp);
  m->files().WriteAll("C:\\Program Files\\sub dir\\program name.exe", "x");
  m->files().WriteAll("C:\\tools\\tool.exe", "x");
  m->files().WriteAll("C:\\orvane\\helper.exe", "x");
  const struct {
    const char *name, *command_line;
    DWORD error;  // 0: started
    const char *application = nullptr, *directory = nullptr;
  } rows[] = {
      {"system folder", "rundll32.exe url.dll,FileProtocolHandler c:\\x.html", 0},
      {"no extension given", "rundll32 shell32.dll,x", 0},
      {"program's own folder", "helper.exe /q", 0},
      {"blank-separated prefixes", "C:\\Program Files\\sub dir\\program name -a", 0},
      {"quoted", "\"C:\\Program Files\\sub dir\\program name.exe\" -a", 0},
      {"not on PATH", "tool.exe", ERROR_FILE_NOT_FOUND},
      {"leading slash", "/uninstall", ERROR_FILE_NOT_FOUND},
      {"named, missing", "rundll32.exe x", ERROR_FILE_NOT_FOUND, "C:\\WINDOWS\\rundll32.exe"},
      {"current folder missing", "rundll32.exe x", ERROR_DIRECTORY,
       "C:\\WINDOWS\\system32\\rundll32.exe", "C:\\WINDOWS\\nosuch"},
  };
  for (const auto& r : rows) {
    std::string line = r.command_line;
    STARTUPINFOA si;
    si.cb = kStartupInfoSize;
    PROCESS_INFORMATION pi;
    m->SetLastError(kPoison);
    const BOOL ok = m->CreateProcessA(r.application, line.data(), nullptr, nullptr, FALSE,
                                      CREATE_NEW_PROCESS_GROUP, m->GetEnvironmentStrings(),
                                      r.directory, &si, &pi);
    EXPECT_EQ(ok ? 0 : m->GetLastError(), r.error) << r.name;
    const auto last = m.Events("process").back();
    EXPECT_EQ(std::vector<std::string>({last[1], last[2], last[4], last.back()}),
              std::vector<std::string>({ok ? "1" : "0", "0x200", "env=own", r.command_line}))
        << r.name;
  }
  SimMachine w98(WindowsVersion::kWin98);  // rundll32.exe is in C:\WINDOWS
  std::string line = "rundll32.exe shell32.dll,SHHelpShortcuts_RunDLL AddPrinter";
  EXPECT_TRUE(w98->CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                  nullptr, nullptr, nullptr));
}

TEST(Journal, BoxesTakeQueuedAnswersAndSleepsAdvanceTheClock) {
  SimMachine m(WindowsVersion::kWinXp);
  m->answers() = {IDYES, IDNO};
  EXPECT_EQ(m->MessageBoxA(HWND{0}, "a", "setup", MB_OK), IDOK);  // takes no answer
  EXPECT_EQ(m->MessageBoxA(HWND{0}, "b", "setup", MB_YESNO), IDYES);
  EXPECT_EQ(m->MessageBoxA(HWND{0}, "c", "setup", MB_YESNO), IDNO);
  EXPECT_EQ(m->MessageBoxA(HWND{0}, "d", "setup", MB_YESNO), IDNO);  // none left: No
  m->SetPrompt([](std::string_view, std::string_view, UINT) { return IDYES; });
  EXPECT_EQ(m->MessageBoxA(HWND{0}, "e\r\nsecond line", "setup", MB_YESNO), IDYES);
  const auto boxes = m.Events("msgbox");
  ASSERT_EQ(boxes.size(), 5u);
  EXPECT_EQ(boxes[4][4], "e\r\nsecond line");
  EXPECT_EQ(m->journal().back().find('\n'), std::string::npos) << "one event, one line";

  m->SetClock(SYSTEMTIME{2003, 12, 0, 31, 23, 59, 58, 0});
  m->Sleep(3000);
  SYSTEMTIME now;
  m->GetLocalTime(&now);
  EXPECT_EQ(std::vector<int>({now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute,
                              now.wSecond, now.wDayOfWeek}),
            std::vector<int>({2004, 1, 1, 0, 0, 1, 4}));  // a Thursday
}

// A stale fault lets the call succeed and leaves its code as the last error
// (the campaign's faults; once and always, matched by subject in any case,
// are what tests/setup's rows plant); a heap that runs out, and the blocks
// mapped apart.
TEST(Faults, LeaveAStaleValueOrExhaustTheHeap) {
  SimMachine m(WindowsVersion::kWinXp);
  m->files().WriteAll("C:\\c.txt", "x");
  m->faults().Add({"MoveFileA", "", 1234, FaultMode::kStale});
  m->SetLastError(0);
  EXPECT_TRUE(m->MoveFileA("C:\\c.txt", "C:\\d.txt"));
  EXPECT_EQ(m->GetLastError(), 1234u) << "success with a value left behind";
  EXPECT_TRUE(m->files().Exists("C:\\d.txt"));

  void* block = m->HeapAlloc((SIZE_T{6} << 20) + 1);  // mapped apart: host_memory.h
  ASSERT_NE(block, nullptr);
  static_cast<volatile char*>(block)[SIZE_T{6} << 20] = 1;  // its last byte is there
  EXPECT_EQ(m->LeakReport().size(), 1u);
  m->HeapFree(block);
  EXPECT_TRUE(m->LeakReport().empty());
  EXPECT_EQ(m->HeapAlloc(SIZE_T{3} << 30), nullptr) << "more than a 32-bit process has";
}

// A mapped section is read from and written to the registry; the file counts
// again once the mapping is gone and the cache flushed.
TEST(ProfileFiles, IniFileMappingRedirectsIntoTheRegistry) {
  SimMachine m(WindowsVersion::kWinXp);
  const char* ini = "c:\\orvane\\res\\orvane.ini";
  const std::string text = "[Parameters]\r\nQuiet=1\r\nIsXPor2000=0\r\n";
  m->files().WriteAll(ini, text);
  const std::string mapping =
      "HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\IniFileMapping\\orvane.ini";
  const std::string location = "SYS:Orvane\\Parameters";
  m->registry().PutValue(mapping, "Parameters", REG_SZ,
                         std::vector<BYTE>(location.c_str(),
                                           location.c_str() + location.size() + 1));
  m->registry().PutValue("HKLM\\SOFTWARE\\Orvane\\Parameters", "Quiet", REG_SZ, {'7', 0});
  auto read = [&](const char* key) {
    char value[16];
    m->GetPrivateProfileStringA("Parameters", key, "-", value, ini);
    return std::string(value);
  };
  EXPECT_EQ(read("Quiet"), "7");
  EXPECT_EQ(read("IsXPor2000"), "0") << "a key the registry lacks: the file's";
  m->WritePrivateProfileStringA("Parameters", "Quiet", "0", ini);
  EXPECT_EQ(m->registry().GetValue("HKLM\\SOFTWARE\\Orvane\\Parameters", "Quiet")->data,
            (std::vector<BYTE>{'0', 0}));
  EXPECT_EQ(m->files().ReadAll(ini), std::vector<BYTE>(text.begin(), text.end()));
  EXPECT_TRUE(m->registry().RemoveTree(mapping));
  EXPECT_FALSE(m->WritePrivateProfileStringW(nullptr, nullptr, nullptr, u"orvane.ini"));
  EXPECT_EQ(m.Events("profileflush").size(), 1u);
  EXPECT_EQ(read("Quiet"), "1");
}

}  // namespace
}  // namespace orvane::winsim
