// The simulated spooler's refusals, where Wine's differs from Windows or cannot
// run here: what each call checks, in Windows' order, and the code it answers.
// What an installation leaves (keys, values, files, what it lists) is in
// tests/setup's whole-installation scenarios.
#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "sim_fixture.h"

namespace orvane::winsim {
namespace {

using namespace orvane::win;
using namespace testing;

const std::string kPrint = "HKLM\\SYSTEM\\CurrentControlSet\\Control\\Print";
const std::string kMonitorKey = kPrint + "\\Monitors\\ORVANE Monitor";
const char* const kDriver = "ORVANE Printer Driver";
const auto kXp = WindowsVersion::kWinXp, k98 = WindowsVersion::kWin98, kNt4 = WindowsVersion::kNt4;

void PutMonitorDll(Machine& m, const char* name, bool entryPoint = true) {
  m.files().WriteAll(std::string(m.profile().system_dir) + "\\" + name,
                     entryPoint ? "exports InitializePrintMonitor2\r\n" : "a UI DLL\r\n");
}

BOOL AddMonitor(Machine& m, const char* env = nullptr, const char* dll = "orvmon.dll",
                const char* name = "ORVANE Monitor", DWORD level = 2) {
  MONITOR_INFO_2A info{name, env, dll};
  return m.AddMonitorA(nullptr, level, &info);
}

// A version-3 driver at level 6, its files in the driver folder.
struct Driver {
  std::string dir, driver, data, config;
  DRIVER_INFO_6A info;
  explicit Driver(Machine& m, const char* missing = "")
      : dir(m.profile().driver_dir), driver(dir + "\\pscript5.dll"),
        data(dir + "\\orvaneps5.ppd"), config(dir + "\\ps5ui.dll") {
    info.cVersion = 3;
    info.pName = kDriver;
    info.pDriverPath = driver.c_str();
    info.pDataFile = data.c_str();
    info.pConfigFile = config.c_str();
    info.pDependentFiles = "orvaneps5.ppd\0pscript.ntf\0";
    for (const char* f : {"pscript5.dll", "orvaneps5.PPD", "ps5ui.dll", "pscript.ntf"}) {
      if (std::string(f) != missing) m.files().WriteAll(dir + "\\" + f, f);
    }
  }
};

PRINTER_INFO_2A Printer(const char* name = "ORVANE", const char* port = "ORVANEPORT",
                        const char* processor = "winprint") {
  PRINTER_INFO_2A p;
  p.pPrinterName = name;
  p.pPortName = port;
  p.pDriverName = kDriver;
  p.pPrintProcessor = processor;
  return p;
}

// XP with the monitor and its port and the driver in place.
void InstallMonitorAndDriver(Machine& m) {
  PutMonitorDll(m, "orvmon.dll");
  m.registry().PutValue(kMonitorKey + "\\Ports\\ORVANEPORT", "Description", REG_SZ, {'P', 0});
  ASSERT_TRUE(AddMonitor(m));
  Driver d(m);
  ASSERT_TRUE(m.AddPrinterDriverA(nullptr, 6, &d.info));
}

TEST(AddMonitor, ChecksInWindowsOrderOnXpAnd98) {
  const struct {
    const char* name;
    WindowsVersion version;
    DWORD level;
    const char *env, *dll, *monitor;
    DWORD error;
  } rows[] = {
      {"98: DLL missing", k98, 2, nullptr, "nosuch.dll", "ORVANE Monitor", ERROR_INVALID_PARAMETER},
      {"98: NT environment", k98, 2, "Windows NT x86", "orvmon.dll", "ORVANE Monitor",
       ERROR_INVALID_ENVIRONMENT},
      {"98: success", k98, 2, "Windows 4.0", "orvmon.dll", "ORVANE Monitor", 0},
      {"98: second add", k98, 2, nullptr, "orvmon.dll", "ORVANE Monitor", ERROR_ALREADY_EXISTS},
      {"level 1", kXp, 1, nullptr, "orvmon.dll", "ORVANE Monitor", ERROR_INVALID_LEVEL},
      {"empty name", kXp, 2, nullptr, "orvmon.dll", "", ERROR_INVALID_PARAMETER},
      {"foreign environment", kXp, 2, "Windows 4.0", "orvmon.dll", "ORVANE Monitor",
       ERROR_INVALID_ENVIRONMENT},
      {"empty DLL name", kXp, 2, nullptr, "", "ORVANE Monitor", ERROR_INVALID_PARAMETER},
      {"DLL missing", kXp, 2, nullptr, "nosuch.dll", "ORVANE Monitor", ERROR_MOD_NOT_FOUND},
      {"no entry point", kXp, 2, nullptr, "orvmona.dll", "ORVANE Monitor", ERROR_PROC_NOT_FOUND},
      {"success", kXp, 2, "windows nt X86", "orvmon.dll", "ORVANE Monitor", 0},
      {"second add", kXp, 2, nullptr, "orvmon.dll", "ORVANE Monitor",
       ERROR_PRINT_MONITOR_ALREADY_INSTALLED},
  };
  std::optional<SimMachine> m;
  for (const auto& r : rows) {
    if (!m || (*m)->profile().version != r.version) {
      m.emplace(r.version);
      PutMonitorDll(**m, "orvmon.dll");
      PutMonitorDll(**m, "orvmona.dll", false);
    }
    const auto add = [&] { return AddMonitor(**m, r.env, r.dll, r.monitor, r.level); };
    EXPECT_EQ(ErrorOf(**m, add), r.error) << r.name;
    EXPECT_EQ((*m)->registry().KeyExists(kMonitorKey),
              r.error == 0 || r.error == ERROR_PRINT_MONITOR_ALREADY_INSTALLED ||
                  r.error == ERROR_ALREADY_EXISTS)
        << r.name;
  }
  EXPECT_TRUE((*m)->DeleteMonitorA(nullptr, "bogus", "ORVANE Monitor")) << "XP ignores it";
  EXPECT_FALSE((*m)->DeleteMonitorA(nullptr, nullptr, "ORVANE Monitor"));
  EXPECT_EQ((*m)->GetLastError(), ERROR_UNKNOWN_PRINT_MONITOR);
}

// A user may read but not change; a stopped spooler answers 1722 to every
// call, after the checks winspool.drv makes on the client side. (An
// installation run by a user fails earlier, so it cannot show the driver's.)
TEST(SpoolerService, UsersMayOnlyReadAndAStoppedSpoolerAnswers1722) {
  SimMachine m(kXp);
  PutMonitorDll(*m, "orvmon.dll");
  Driver d(*m);
  MONITOR_INFO_2A monitor{"ORVANE Monitor", nullptr, "orvmon.dll"};
  PRINTER_INFO_2A printer = Printer("ORVANE", "LPT1:");
  char dir[256];
  DWORD needed = 0, returned = 0;
  HANDLE server = kNullHandle;
  const std::pair<bool, std::function<BOOL()>> calls[] = {  // changes, call
      {false, [&] { return m->GetPrinterDriverDirectoryA(nullptr, nullptr, 1, dir, &needed); }},
      {false, [&] { return m->EnumMonitorsA(nullptr, 1, 4096, &needed, &returned, nullptr); }},
      {false, [&] { return m->EnumPortsA(nullptr, 2, 4096, &needed, &returned, nullptr); }},
      {false, [&] { return m->OpenPrinterA(nullptr, &server, nullptr); }},
      {true, [&] { return m->AddMonitorA(nullptr, 2, &monitor); }},
      {true, [&] { return m->DeleteMonitorA(nullptr, nullptr, "Local Port"); }},
      {true, [&] { return m->AddPrinterDriverA(nullptr, 6, &d.info); }},
      {true, [&] { return m->DeletePrinterDriverA(nullptr, nullptr, "Any Driver"); }},
      {true, [&] { return BOOL{m->AddPrinterA(nullptr, 2, &printer) != kNullHandle}; }},
  };
  m->SetAdministrator(false);
  for (std::size_t i = 0; i < std::size(calls); ++i) {
    EXPECT_EQ(ErrorOf(*m, calls[i].second), calls[i].first ? 5u : 0u) << "user, call " << i;
  }
  EXPECT_TRUE(m->ClosePrinter(server));
  m->SetAdministrator(true);
  m->services().StopSpoolerNow(m->spooler());
  for (std::size_t i = 0; i < std::size(calls); ++i) {
    EXPECT_EQ(ErrorOf(*m, calls[i].second), RPC_S_SERVER_UNAVAILABLE) << "stopped, call " << i;
  }
  const auto levelOne = [&] { return AddMonitor(*m, nullptr, "orvmon.dll", "ORVANE Monitor", 1); };
  EXPECT_EQ(ErrorOf(*m, levelOne), ERROR_INVALID_LEVEL) << "checked by the client";
  const auto closeNull = [&] { return m->ClosePrinter(kNullHandle); };
  EXPECT_EQ(ErrorOf(*m, closeNull), ERROR_INVALID_HANDLE) << "checked by the client";
}

TEST(PrinterDrivers, EnvironmentsLevelsVersionsAndFiles) {
  const struct {
    const char* name;
    WindowsVersion version;
    const char* env;  // for GetPrinterDriverDirectoryA; null: AddPrinterDriverA
    DWORD level, cVersion;
    const char* missing;
    DWORD error;
  } rows[] = {
      {"XP folder, Alpha", kXp, "Windows NT Alpha", 1, 0, "", ERROR_INVALID_ENVIRONMENT},
      {"98 folder, NT", k98, "Windows NT x86", 1, 0, "", ERROR_INVALID_ENVIRONMENT},
      {"98 folder", k98, "Windows 4.0", 1, 0, "", 0},
      {"level 6 on 98", k98, nullptr, 6, 0, "", ERROR_INVALID_LEVEL},
      {"level 6 on NT 4", kNt4, nullptr, 6, 2, "", ERROR_INVALID_LEVEL},
      {"version 3 on NT 4", kNt4, nullptr, 3, 3, "", ERROR_INVALID_PARAMETER},
      {"version 4 on XP", kXp, nullptr, 6, 4, "", ERROR_INVALID_PARAMETER},
      {"data file missing", kXp, nullptr, 6, 3, "orvaneps5.PPD", ERROR_FILE_NOT_FOUND},
      {"dependent file missing", kXp, nullptr, 6, 3, "pscript.ntf", ERROR_FILE_NOT_FOUND},
      {"version 2 on XP", kXp, nullptr, 3, 2, "", 0},
  };
  for (const auto& r : rows) {
    SimMachine m(r.version);
    Driver d(*m, r.missing);
    d.info.cVersion = r.cVersion;
    char dir[64] = "untouched";
    DWORD needed = 0;
    const auto call = [&] {
      return r.env ? m->GetPrinterDriverDirectoryA(nullptr, r.env, 1, dir, &needed)
                   : m->AddPrinterDriverA(nullptr, r.level, &d.info);
    };
    EXPECT_EQ(ErrorOf(*m, call), r.error) << r.name;
    if (r.env) {
      EXPECT_STREQ(dir, r.error ? "untouched" : "C:\\WINDOWS\\SYSTEM") << r.name;
    }
  }
}

// The "ask the size" protocol of a listing (an installation asks once, with
// room; orvcheck asks the size first): 122 and the size needed for no buffer
// and for one a byte too small (nothing returned, the entries untouched), then
// success; a foreign level 1801.
template <class Entry, class List>
void CheckListing(Machine& m, const char* name, DWORD level, DWORD refused, List list) {
  std::vector<Entry> entries(1);
  DWORD needed = kPoison, returned = kPoison;
  const auto ask = [&](DWORD asked, DWORD size) {
    return ErrorOf(m, [&] { return list(asked, size, &needed, &returned, &entries); });
  };
  EXPECT_EQ(ask(level, 0), ERROR_INSUFFICIENT_BUFFER) << name;
  const DWORD size = needed;
  EXPECT_EQ(ask(level, size - 1), ERROR_INSUFFICIENT_BUFFER) << name;
  EXPECT_EQ(std::vector<DWORD>({needed, returned, DWORD(entries.size())}),
            std::vector<DWORD>({size, 0, 1}))
      << name << ": needed, returned, entries untouched";
  EXPECT_EQ(ask(level, size), 0u) << name;
  EXPECT_EQ(returned, entries.size()) << name;
  EXPECT_EQ(ask(refused, 4096), ERROR_INVALID_LEVEL) << name;
}

// A key the installer wrote is no printer, and AddPrinterA keeps its data; the
// listings' protocol; a handle of a deleted printer answers 1905, its key goes
// whole; a restart of the spooler makes handles stale. (The objects a printer
// uses refuse deletion while it is there: tests/setup's removals with the
// printer refused.)
TEST(Printers, RefusalsKeysListingsAndHandles) {
  SimMachine m(kXp);
  InstallMonitorAndDriver(*m);
  const std::string key = kPrint + "\\Printers\\ORVANE";
  m->registry().PutValue(key + "\\PrinterDriverData", "PrinterData", REG_BINARY, {1, 2});
  HANDLE h = kNullHandle;
  EXPECT_EQ(ErrorOf(*m, [&] { return m->OpenPrinterA("ORVANE", &h, nullptr); }),
            ERROR_INVALID_PRINTER_NAME) << "a key with data only";
  const std::pair<PRINTER_INFO_2A, DWORD> rows[] = {
      {Printer("ORVANE", "NOPORT:"), ERROR_UNKNOWN_PORT},
      {Printer("ORVANE", "ORVANEPORT", "nosuch"), ERROR_UNKNOWN_PRINTPROCESSOR},
      {Printer("ORV,ANE"), ERROR_INVALID_PRINTER_NAME},
      {Printer("ORVANE", "orvaneport"), 0},  // ports compare without case
      {Printer(), ERROR_PRINTER_ALREADY_EXISTS},
  };
  for (const auto& row : rows) {
    const auto add = [&] { return h = m->AddPrinterA(nullptr, 2, &row.first); };
    EXPECT_EQ(ErrorOf(*m, add), row.second) << row.first.pPortName << row.first.pPrinterName;
    if (h != kNullHandle) m->ClosePrinter(h);
  }
  EXPECT_TRUE(m->registry().GetValue(key + "\\PrinterDriverData", "PrinterData"));
  CheckListing<PortInfo2>(*m, "ports", 2, 3, [&](DWORD l, DWORD s, DWORD* n, DWORD* r, auto* e) {
    return m->EnumPortsA(nullptr, l, s, n, r, e);
  });
  CheckListing<MonitorInfo1>(*m, "monitors", 1, 3, [&](DWORD l, DWORD s, DWORD* n, DWORD* r,
                                                       auto* e) {
    return m->EnumMonitorsA(nullptr, l, s, n, r, e);
  });
  CheckListing<PrinterInfo2>(*m, "printers", 2, 1, [&](DWORD l, DWORD s, DWORD* n, DWORD* r,
                                                       auto* e) {
    return m->EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, l, s, n, r, e);
  });
  CheckListing<DriverInfo3>(*m, "drivers", 3, 2, [&](DWORD l, DWORD s, DWORD* n, DWORD* r,
                                                     auto* e) {
    return m->EnumPrinterDriversA(nullptr, nullptr, l, s, n, r, e);
  });

  PRINTER_DEFAULTSA all{nullptr, nullptr, PRINTER_ALL_ACCESS};
  h = HANDLE{0x99};
  const struct {
    const char* name;
    HANDLE* out;
    const PRINTER_DEFAULTSA* defaults;
    bool admin;
    DWORD error;
  } opens[] = {
      {"", &h, nullptr, true, ERROR_INVALID_PRINTER_NAME},
      {"ORVANE", nullptr, nullptr, true, ERROR_INVALID_PARAMETER},
      {"ORVANE", &h, &all, false, ERROR_ACCESS_DENIED},
      {"ORVANE", &h, nullptr, false, 0},
  };
  for (const auto& r : opens) {
    m->SetAdministrator(r.admin);
    const DWORD error = ErrorOf(*m, [&] { return m->OpenPrinterA(r.name, r.out, r.defaults); });
    EXPECT_EQ(error, r.error) << r.name << r.admin;
    if (error) continue;
    EXPECT_EQ(ErrorOf(*m, [&] { return m->DeletePrinter(h); }), ERROR_ACCESS_DENIED)
        << "a handle for use only";
    EXPECT_TRUE(m->ClosePrinter(h));
    EXPECT_EQ(ErrorOf(*m, [&] { return m->ClosePrinter(h); }), ERROR_INVALID_HANDLE)
        << "closed twice";
  }
  m->SetAdministrator(true);
  HANDLE stale = kNullHandle;
  ASSERT_TRUE(m->OpenPrinterA("orvane", &h, &all));
  ASSERT_TRUE(m->OpenPrinterA("ORVANE", &stale, &all));
  ASSERT_TRUE(m->DeletePrinter(h));
  EXPECT_EQ(ErrorOf(*m, [&] { return m->DeletePrinter(h); }), 1905u) << "ERROR_PRINTER_DELETED";
  EXPECT_FALSE(m->registry().KeyExists(key));
  EXPECT_EQ(m->LeakReport(), (std::vector<std::string>{"2 printer handle(s) left open"}));
  EXPECT_TRUE(m->ClosePrinter(h));
  EXPECT_TRUE(m->DeletePrinterDriverA(nullptr, "Windows NT x86", kDriver));
  EXPECT_EQ(ErrorOf(*m, [&] { return m->DeletePrinterDriverA(nullptr, nullptr, kDriver); }),
            ERROR_UNKNOWN_PRINTER_DRIVER);
  m->services().StopSpoolerNow(m->spooler());
  m->services().StartSpoolerNow(m->spooler());
  EXPECT_EQ(ErrorOf(*m, [&] { return m->DeletePrinter(stale); }), ERROR_INVALID_HANDLE);
  EXPECT_FALSE(m->ClosePrinter(stale)) << "stale, and gone";
  EXPECT_EQ(m->spooler().OpenHandleCount(), 0u);
}

}  // namespace
}  // namespace orvane::winsim
