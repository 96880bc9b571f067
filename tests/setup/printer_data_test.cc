// The printer's configuration data as an administrator finds it in the
// registry after setup: which shipped file each blob came from, byte for byte,
// and where each failure of the data steps ends the installation.
#include "spooler/printer_data.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "setup/scenario.h"

namespace orvane {
namespace {

using setup_test::Events;
using setup_test::Joined;
using setup_test::Scenario;
using setup_test::TestMachine;
using winsim::Fault;
using winsim::FaultMode;
using winsim::WindowsVersion;

constexpr char kStamp[] = "07-04-03: 09:05";
constexpr char kDataFolder[] = "C:\\orvane\\res\\drivedir\\";  // setup folder and root
constexpr char kPrinterKey[] =
    "HKLM\\SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\ORVANE";
constexpr char kDriverDataKey[] =
    "HKLM\\SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\ORVANE\\PrinterDriverData";
constexpr char kEntryKey[] =
    "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Orvane";

// Every data file gets a size that no other file of a run has, so that a
// fault on HeapAlloc can name it by its size.
struct DataFile {
  const char* name;
  std::size_t size;
};
constexpr DataFile kDataFiles[] = {
    {"ovfonts.tbl", 7301},   {"ovprndata.dat", 7402},  {"ovprndata5.dat", 7503},
    {"ovdevmd.dat", 7604},   {"ovdevmdnt.dat", 7705},  {"ovdevmdnt5.dat", 7806},
};

// The file's bytes: NULs and high bytes included, different for every file.
std::vector<win::BYTE> Content(const std::string& name) {
  for (const DataFile& file : kDataFiles) {
    if (name != file.name) continue;
    std::vector<win::BYTE> bytes(file.size);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
      bytes[i] = static_cast<win::BYTE>(i * 7 + name.size() * 31 + (i >> 8));
    }
    return bytes;
  }
  return {};
}

void LayOutDataFiles(winsim::Machine& machine) {
  for (const DataFile& file : kDataFiles) {
    machine.files().WriteAll(std::string(kDataFolder) + file.name, Content(file.name));
  }
}

void Remove(winsim::Machine& machine, const char* name) {
  machine.files().Remove(std::string(kDataFolder) + name);
}

void AddFault(winsim::Machine& machine, const char* call, const char* match,
              win::DWORD code, FaultMode mode = FaultMode::kOnce) {
  machine.faults().Add(Fault{call, match, code, mode});
}

void SetIsXPor2000(winsim::Machine& machine, const char* value) {
  machine.files().WriteAll("C:\\orvane\\res\\orvane.ini",
                           std::string("[Parameters]\r\nIsXPor2000=") + value + "\r\n");
}

std::vector<win::BYTE> Dword(win::DWORD value) {
  return {static_cast<win::BYTE>(value), static_cast<win::BYTE>(value >> 8),
          static_cast<win::BYTE>(value >> 16), static_cast<win::BYTE>(value >> 24)};
}

// "type:bytes" of a value, "<none>" when absent: one comparable text.
std::string Described(const std::optional<winsim::RegValue>& value) {
  if (!value) return "<none>";
  return std::to_string(value->type) + ":" + std::to_string(value->data.size()) + ":" +
         std::string(value->data.begin(), value->data.end());
}

std::string Expected(win::DWORD type, const std::vector<win::BYTE>& data) {
  return std::to_string(type) + ":" + std::to_string(data.size()) + ":" +
         std::string(data.begin(), data.end());
}

// What the data steps stored: font size and table, printer data, default
// settings. `fonts`, `data` and `devMode` name the expected source files.
void ExpectStored(const Scenario& s, const char* row, bool fonts, const char* data,
                  const char* devMode) {
  const std::vector<win::BYTE> table = Content("ovfonts.tbl");
  EXPECT_EQ(Described(s.Value(kDriverDataKey, "TTFontSubTableSize")),
            fonts ? Expected(win::REG_DWORD, Dword(static_cast<win::DWORD>(table.size())))
                  : "<none>")
      << row;
  EXPECT_EQ(Described(s.Value(kDriverDataKey, "TTFontSubTable")),
            fonts ? Expected(win::REG_BINARY, table) : "<none>")
      << row;
  EXPECT_EQ(Described(s.Value(kDriverDataKey, "PrinterData")),
            data ? Expected(win::REG_BINARY, Content(data)) : "<none>")
      << row;
  EXPECT_EQ(Described(s.Value(kPrinterKey, "Default DevMode")),
            devMode ? Expected(win::REG_BINARY, Content(devMode)) : "<none>")
      << row;
}

// The log after the line that names the printer-driver folder, stamps included.
std::vector<std::string> LogAfterDriverFolder(const Scenario& s) {
  std::vector<std::string> lines = s.LogLines();
  const std::string head = std::string(kStamp) + "Printer Driver Directory: ";
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (lines[i].starts_with(head)) return {lines.begin() + i + 1, lines.end()};
  }
  return {"<no driver folder line>"};
}

std::vector<std::string> Stamped(const std::vector<std::string>& texts) {
  std::vector<std::string> lines;
  for (const std::string& text : texts) {
    lines.push_back(text.empty() ? text : kStamp + text);
  }
  return lines;
}

TEST(PrinterData, EachFailureEndsTheInstallationWhereItsRowSays) {
  const std::string table = std::string(kDataFolder) + "ovfonts.tbl";
  struct Row {
    const char* row;
    WindowsVersion version;
    std::function<void(winsim::Machine&)> arrange;
    std::vector<std::string> log;  // after the driver folder line, unstamped
    bool fonts;
    const char* data;     // the printer data stored, or null
    const char* devMode;  // the default settings stored, or null
    bool completes;       // readme opened and Add/Remove Programs entry made
  };
  const Row rows[] = {
      // The font table is also a driver file: its copy fails first.
      {"font table missing", WindowsVersion::kWinXp,
       [](winsim::Machine& m) { Remove(m, "ovfonts.tbl"); },
       {"CopyFile InFile.Open Failed: " + table, "Failed to open ovfonts.tbl", ""}, false,
       nullptr, nullptr, false},
      {"no block for the font table", WindowsVersion::kWin98,
       [](winsim::Machine& m) { AddFault(m, "HeapAlloc", "7301", 8, FaultMode::kAlways); },
       {"CopyFile new Failed: " + table, "Failed to allocate memory", ""}, false, nullptr,
       nullptr, false},
      {"font table unreadable", WindowsVersion::kNt4,
       [](winsim::Machine& m) {
         AddFault(m, "ReadFile", "ovfonts.tbl", win::ERROR_READ_FAULT, FaultMode::kAlways);
       },
       {"CopyFile Read Failed: " + table, "Failed to read file", ""}, false, nullptr,
       nullptr, false},
      {"version-3 printer data missing", WindowsVersion::kWinXp,
       [](winsim::Machine& m) { Remove(m, "ovprndata5.dat"); },
       {"Failed to open ovprndata5.dat", ""}, false, nullptr, nullptr, false},
      {"printer data not opened", WindowsVersion::kNt4,
       [](winsim::Machine& m) {
         AddFault(m, "CreateFileA", "ovprndata.dat", win::ERROR_SHARING_VIOLATION);
       },
       {"Failed to open ovprndata.dat", ""}, true, nullptr, nullptr, false},
      {"no block for the printer data", WindowsVersion::kWin98,
       [](winsim::Machine& m) { AddFault(m, "HeapAlloc", "7402", 8); },
       {"Failed to open allocate memory.dat", ""}, true, nullptr, nullptr, false},
      {"printer data unreadable", WindowsVersion::kWinXp,
       [](winsim::Machine& m) {
         AddFault(m, "ReadFile", "ovprndata5.dat", win::ERROR_READ_FAULT);
       },
       {"Failed to read file", ""}, false, nullptr, nullptr, false},
      // The default settings fail silently.
      {"default settings missing", WindowsVersion::kWinXp,
       [](winsim::Machine& m) { Remove(m, "ovdevmdnt5.dat"); }, {}, false,
       "ovprndata5.dat", nullptr, false},
      {"no block for the default settings", WindowsVersion::kWin98,
       [](winsim::Machine& m) { AddFault(m, "HeapAlloc", "7604", 8); }, {}, true,
       "ovprndata.dat", nullptr, false},
      {"default settings not opened", WindowsVersion::kNt4,
       [](winsim::Machine& m) {
         AddFault(m, "CreateFileA", "ovdevmdnt.dat", win::ERROR_ACCESS_DENIED);
       },
       {}, true, "ovprndata.dat", nullptr, false},
      {"default settings unreadable", WindowsVersion::kNt4,
       [](winsim::Machine& m) {
         AddFault(m, "ReadFile", "ovdevmdnt.dat", win::ERROR_READ_FAULT);
       },
       {}, true, "ovprndata.dat", nullptr, false},
      // A key that neither opens nor is created skips its step: no data file of
      // that step is opened, so a missing one ends nothing.
      {"driver-data key refused", WindowsVersion::kWinXp,
       [](winsim::Machine& m) {
         AddFault(m, "RegOpenKeyExA", "PrinterDriverData", 5, FaultMode::kAlways);
         AddFault(m, "RegCreateKeyA", "PrinterDriverData", 5, FaultMode::kAlways);
         Remove(m, "ovprndata5.dat");
       },
       {}, false, nullptr, "ovdevmdnt5.dat", true},
      {"printer keys refused", WindowsVersion::kWin98,
       [](winsim::Machine& m) {
         AddFault(m, "RegOpenKeyExA", "Printers\\ORVANE", 5, FaultMode::kAlways);
         AddFault(m, "RegCreateKeyA", "Printers\\ORVANE", 5, FaultMode::kAlways);
         Remove(m, "ovdevmd.dat");
       },
       {}, false, nullptr, nullptr, true},
  };
  for (const Row& r : rows) {
    Scenario s(r.version);
    LayOutDataFiles(*s);
    r.arrange(*s);
    EXPECT_EQ(s.Run(), 0) << r.row;
    EXPECT_EQ(Joined(LogAfterDriverFolder(s)), Joined(Stamped(r.log))) << r.row;
    ExpectStored(s, r.row, r.fonts, r.data, r.devMode);
    // Where the installation ends, the completion step does not run at all.
    EXPECT_EQ(Events(*s, "process").size(), r.completes ? 1u : 0u) << r.row;
    EXPECT_EQ(s.Value(kEntryKey, "DisplayName").has_value(), r.completes) << r.row;
    EXPECT_EQ(setup_test::FileText(*s, "C:\\orvane\\res\\orvane.ini").find("Quiet") !=
                  std::string::npos,
              r.completes)
        << r.row;
    EXPECT_EQ(Joined(s->LeakReport()), "") << r.row;
  }
}

TEST(PrinterData, FamilyAndIsXPor2000ChooseTheFilesAskedAfreshEachTime) {
  struct Row {
    WindowsVersion version;
    const char* setting;  // "IsXPor2000", null when absent
    bool fonts;
    const char* data;
    const char* devMode;
  };
  const Row rows[] = {
      {WindowsVersion::kWin98, nullptr, true, "ovprndata.dat", "ovdevmd.dat"},
      // The setting never changes the default settings of Windows 95/98/ME.
      {WindowsVersion::kWin98, "1", false, "ovprndata5.dat", "ovdevmd.dat"},
      {WindowsVersion::kNt4, nullptr, true, "ovprndata.dat", "ovdevmdnt.dat"},
      {WindowsVersion::kNt4, "1", false, "ovprndata5.dat", "ovdevmdnt5.dat"},
      {WindowsVersion::kNt4, "2", true, "ovprndata.dat", "ovdevmdnt.dat"},
      {WindowsVersion::kWinXp, nullptr, false, "ovprndata5.dat", "ovdevmdnt5.dat"},
      {WindowsVersion::kWinXp, "0", true, "ovprndata.dat", "ovdevmdnt.dat"},
      {WindowsVersion::kWinXp, "", true, "ovprndata.dat", "ovdevmdnt.dat"},
      {WindowsVersion::kWinXp, "no number", true, "ovprndata.dat", "ovdevmdnt.dat"},
      {WindowsVersion::kWinXp, " +1", false, "ovprndata5.dat", "ovdevmdnt5.dat"},
      {WindowsVersion::kWinXp, "7", false, "ovprndata5.dat", "ovdevmdnt5.dat"},
  };
  for (const Row& r : rows) {
    const std::string row = std::string(winsim::Profile(r.version).name) + " with " +
                            (r.setting ? "\"" + std::string(r.setting) + "\"" : "none");
    Scenario s(r.version);
    LayOutDataFiles(*s);
    if (r.setting) SetIsXPor2000(*s, r.setting);
    EXPECT_EQ(s.Run(), 0) << row;
    ExpectStored(s, row.c_str(), r.fonts, r.data, r.devMode);
  }
}

TEST(PrinterData, EmptyFilesGiveEmptyValues) {
  Scenario s(WindowsVersion::kNt4);
  for (const char* name : {"ovfonts.tbl", "ovprndata.dat", "ovdevmdnt.dat"}) {
    s->files().WriteAll(std::string(kDataFolder) + name, "");
  }
  EXPECT_EQ(s.Run(), 0);
  EXPECT_EQ(Described(s.Value(kDriverDataKey, "TTFontSubTableSize")),
            Expected(win::REG_DWORD, Dword(0)));
  for (const auto& [key, name] : {std::pair{kDriverDataKey, "TTFontSubTable"},
                                  std::pair{kDriverDataKey, "PrinterData"},
                                  std::pair{kPrinterKey, "Default DevMode"}}) {
    EXPECT_EQ(Described(s.Value(key, name)), Expected(win::REG_BINARY, {})) << name;
  }
  EXPECT_EQ(Events(*s, "process").size(), 1u);
}

// Passes every call to a machine; a file-sized HeapAlloc first lets `resize`
// change the files, as another program could between measuring and reading.
class ResizingPlatform final : public Platform {
 public:
  ResizingPlatform(winsim::Machine& m, std::function<void(win::SIZE_T)> resize)
      : m_(m), resize_(std::move(resize)) {}

  void* HeapAlloc(win::SIZE_T bytes) override {
    resize_(bytes);
    return m_.HeapAlloc(bytes);
  }

#define FORWARD(Result, Name, Params, Args) \
  Result Name Params override { return m_.Name Args; }
  FORWARD(win::LONG, RegOpenKeyExA,
          (win::HKEY k, const char* s, win::DWORD o, win::REGSAM d, win::HKEY* r),
          (k, s, o, d, r))
  FORWARD(win::LONG, RegCreateKeyA, (win::HKEY k, const char* s, win::HKEY* r), (k, s, r))
  FORWARD(win::LONG, RegQueryValueExA,
          (win::HKEY k, const char* n, win::DWORD* t, std::span<win::BYTE> d,
           win::DWORD* c),
          (k, n, t, d, c))
  FORWARD(win::LONG, RegSetValueExA,
          (win::HKEY k, const char* n, win::DWORD r, win::DWORD t,
           std::span<const win::BYTE> d),
          (k, n, r, t, d))
  FORWARD(win::LONG, RegDeleteKeyA, (win::HKEY k, const char* s), (k, s))
  FORWARD(win::LONG, SHDeleteKeyA, (win::HKEY k, const char* s), (k, s))
  FORWARD(win::LONG, RegCloseKey, (win::HKEY k), (k))
  FORWARD(win::DWORD, GetPrivateProfileStringA,
          (const char* a, const char* k, const char* d, std::span<char> o, const char* f),
          (a, k, d, o, f))
  FORWARD(win::BOOL, WritePrivateProfileStringA,
          (const char* a, const char* k, const char* v, const char* f), (a, k, v, f))
  FORWARD(win::BOOL, WritePrivateProfileStringW,
          (const char16_t* a, const char16_t* k, const char16_t* v, const char16_t* f),
          (a, k, v, f))
  FORWARD(win::DWORD, GetVersion, (), ())
  FORWARD(win::BOOL, GetVersionExA, (win::OSVERSIONINFOEXA * i), (i))
  FORWARD(win::UINT, GetSystemDirectoryA, (std::span<char> b), (b))
  FORWARD(win::UINT, GetWindowsDirectoryA, (std::span<char> b), (b))
  FORWARD(win::HMODULE, GetModuleHandleA, (const char* n), (n))
  FORWARD(win::DWORD, GetModuleFileNameA, (win::HMODULE h, std::span<char> b), (h, b))
  FORWARD(const char*, GetCommandLineA, (), ())
  FORWARD(const char*, GetEnvironmentStrings, (), ())
  FORWARD(win::DWORD, GetLastError, (), ())
  FORWARD(void, SetLastError, (win::DWORD c), (c))
  FORWARD(win::BOOL, CreateProcessA,
          (const char* a, char* c, win::SECURITY_ATTRIBUTES* p,
           win::SECURITY_ATTRIBUTES* t, win::BOOL i, win::DWORD f, const char* e,
           const char* d, const win::STARTUPINFOA* s, win::PROCESS_INFORMATION* pi),
          (a, c, p, t, i, f, e, d, s, pi))
  FORWARD(void, Sleep, (win::DWORD ms), (ms))
  FORWARD(win::SC_HANDLE, OpenSCManagerA, (const char* m, const char* d, win::DWORD a),
          (m, d, a))
  FORWARD(win::SC_HANDLE, OpenServiceA, (win::SC_HANDLE m, const char* n, win::DWORD a),
          (m, n, a))
  FORWARD(win::BOOL, ControlService,
          (win::SC_HANDLE s, win::DWORD c, win::SERVICE_STATUS* st), (s, c, st))
  FORWARD(win::BOOL, StartServiceA, (win::SC_HANDLE s, win::DWORD n, const char** v),
          (s, n, v))
  FORWARD(win::BOOL, CloseServiceHandle, (win::SC_HANDLE h), (h))
  FORWARD(win::BOOL, QueryServiceStatus, (win::SC_HANDLE h, win::SERVICE_STATUS* s), (h, s))
  FORWARD(void, SHChangeNotify, (win::LONG e, win::UINT f, const void* a, const void* b),
          (e, f, a, b))
  FORWARD(win::LRESULT, SendMessageA,
          (win::HWND h, win::UINT m, win::WPARAM w, win::LPARAM l), (h, m, w, l))
  FORWARD(win::BOOL, GetPrinterDriverDirectoryA,
          (const char* n, const char* e, win::DWORD l, std::span<char> b, win::DWORD* c),
          (n, e, l, b, c))
  FORWARD(win::BOOL, EnumMonitorsA,
          (const char* n, win::DWORD l, win::DWORD s, win::DWORD* c, win::DWORD* r,
           std::vector<win::MonitorInfo1>* e),
          (n, l, s, c, r, e))
  FORWARD(win::BOOL, AddMonitorA,
          (const char* n, win::DWORD l, const win::MONITOR_INFO_2A* m), (n, l, m))
  FORWARD(win::BOOL, DeleteMonitorA, (const char* n, const char* e, const char* m),
          (n, e, m))
  FORWARD(win::BOOL, AddPrinterDriverA,
          (const char* n, win::DWORD l, const win::DRIVER_INFO_3A* d), (n, l, d))
  FORWARD(win::BOOL, AddPrinterDriverA,
          (const char* n, win::DWORD l, const win::DRIVER_INFO_6A* d), (n, l, d))
  FORWARD(win::BOOL, DeletePrinterDriverA, (const char* n, const char* e, const char* d),
          (n, e, d))
  FORWARD(win::BOOL, EnumPortsA,
          (const char* n, win::DWORD l, win::DWORD s, win::DWORD* c, win::DWORD* r,
           std::vector<win::PortInfo2>* e),
          (n, l, s, c, r, e))
  FORWARD(win::BOOL, EnumPrintersA,
          (win::DWORD f, const char* n, win::DWORD l, win::DWORD s, win::DWORD* c,
           win::DWORD* r, std::vector<win::PrinterInfo2>* e),
          (f, n, l, s, c, r, e))
  FORWARD(win::BOOL, EnumPrinterDriversA,
          (const char* n, const char* v, win::DWORD l, win::DWORD s, win::DWORD* c,
           win::DWORD* r, std::vector<win::DriverInfo3>* e),
          (n, v, l, s, c, r, e))
  FORWARD(win::HANDLE, AddPrinterA,
          (const char* n, win::DWORD l, const win::PRINTER_INFO_2A* p), (n, l, p))
  FORWARD(win::BOOL, OpenPrinterA,
          (const char* n, win::HANDLE* h, const win::PRINTER_DEFAULTSA* d), (n, h, d))
  FORWARD(win::BOOL, DeletePrinter, (win::HANDLE h), (h))
  FORWARD(win::BOOL, ClosePrinter, (win::HANDLE h), (h))
  FORWARD(win::HANDLE, CreateFileA,
          (const char* n, win::DWORD a, win::DWORD s, win::SECURITY_ATTRIBUTES* sa,
           win::DWORD c, win::DWORD f, win::HANDLE t),
          (n, a, s, sa, c, f, t))
  FORWARD(win::BOOL, ReadFile, (win::HANDLE h, std::span<win::BYTE> b, win::DWORD* r),
          (h, b, r))
  FORWARD(win::BOOL, WriteFile,
          (win::HANDLE h, std::span<const win::BYTE> b, win::DWORD* w), (h, b, w))
  FORWARD(win::DWORD, SetFilePointer,
          (win::HANDLE h, win::LONG d, win::LONG* hi, win::DWORD m), (h, d, hi, m))
  FORWARD(win::DWORD, GetFileSize, (win::HANDLE h, win::DWORD* hi), (h, hi))
  FORWARD(win::BOOL, CloseHandle, (win::HANDLE h), (h))
  FORWARD(win::BOOL, DeleteFileA, (const char* n), (n))
  FORWARD(win::BOOL, MoveFileA, (const char* a, const char* b), (a, b))
  FORWARD(win::DWORD, GetFileAttributesA, (const char* n), (n))
  FORWARD(win::BOOL, GetFileAttributesExA,
          (const char* n, win::WIN32_FILE_ATTRIBUTE_DATA* d), (n, d))
  FORWARD(void, HeapFree, (void* b), (b))
  FORWARD(int, MessageBoxA, (win::HWND o, const char* t, const char* c, win::UINT y),
          (o, t, c, y))
  FORWARD(void, GetLocalTime, (win::SYSTEMTIME * t), (t))
  FORWARD(void, WriteStandardOutput, (std::string_view t), (t))
#undef FORWARD

 private:
  winsim::Machine& m_;
  std::function<void(win::SIZE_T)> resize_;
};

// A file that changes between its length being taken and its being read: the
// value holds what the read returned, never the unread rest of the block, and
// the font table's size is the count stored beside it.
TEST(PrinterData, FileChangedBetweenMeasuringAndReadingStoresWhatWasRead) {
  struct Row {
    const char* row;
    std::size_t newSize;  // the size each data file has when it is read
  };
  const Row rows[] = {{"shrunk", 100}, {"emptied", 0}, {"grown", 9000}};
  for (const Row& r : rows) {
    TestMachine machine(WindowsVersion::kWinXp);
    LayOutDataFiles(*machine);
    SetIsXPor2000(*machine, "0");  // font table, ovprndata.dat, ovdevmdnt.dat
    ResizingPlatform platform(*machine, [&](win::SIZE_T bytes) {
      for (const DataFile& file : kDataFiles) {
        if (file.size != bytes) continue;
        std::vector<win::BYTE> content = Content(file.name);
        content.resize(r.newSize, 0xEE);
        machine->files().WriteAll(std::string(kDataFolder) + file.name, content);
      }
    });
    InstallContext context;
    context.install_root = "c:\\";
    context.setup_dir = "C:\\orvane";
    context.is_winnt = 1;
    context.is_win4 = 1;
    ASSERT_TRUE(WritePrinterDriverData(platform, context)) << r.row;
    ASSERT_TRUE(WriteDefaultDevMode(platform, context)) << r.row;

    // A grown file gives the length taken when it was measured.
    const auto stored = [&](const char* name) {
      std::vector<win::BYTE> bytes = Content(name);
      bytes.resize(std::min(bytes.size(), r.newSize));
      return bytes;
    };
    const auto value = [&](const char* key, const char* name) {
      return Described(machine->registry().GetValue(key, name));
    };
    EXPECT_EQ(value(kDriverDataKey, "TTFontSubTableSize"),
              Expected(win::REG_DWORD,
                       Dword(static_cast<win::DWORD>(stored("ovfonts.tbl").size()))))
        << r.row;
    EXPECT_EQ(value(kDriverDataKey, "TTFontSubTable"),
              Expected(win::REG_BINARY, stored("ovfonts.tbl")))
        << r.row;
    EXPECT_EQ(value(kDriverDataKey, "PrinterData"),
              Expected(win::REG_BINARY, stored("ovprndata.dat")))
        << r.row;
    EXPECT_EQ(value(kPrinterKey, "Default DevMode"),
              Expected(win::REG_BINARY, stored("ovdevmdnt.dat")))
        << r.row;
    EXPECT_EQ(Joined(machine->LeakReport()), "") << r.row;
  }
}

}  // namespace
}  // namespace orvane
