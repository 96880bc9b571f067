// The simulated spooler, where Wine's differs from Windows or cannot run
// here: what each call checks, in Windows' order, the code it answers, and
// the registry and files it leaves. The last-error value is poisoned first.
#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "sim_fixture.h"

namespace orvane::winsim {
namespace {

using namespace orvane::win;
using testing::SimMachine;

constexpr DWORD kPoison = 0xDEADBEEF;
const std::string kPrint = "HKLM\\SYSTEM\\CurrentControlSet\\Control\\Print";
const std::string kMonitorKey = kPrint + "\\Monitors\\ORVANE Monitor";
const std::string kXpDrivers = kPrint + "\\Environments\\Windows NT x86\\Drivers";
const char* const kDriver = "ORVANE Printer Driver";

std::optional<std::string> Value(const Machine& m, const std::string& key, const char* name,
                                 DWORD type = REG_SZ) {
  auto v = m.registry().GetValue(key, name);
  if (!v || v->type != type) return std::nullopt;
  return std::string(v->data.begin(), v->data.end());
}

void PutMonitorDll(Machine& m, const char* name, bool entryPoint = true) {
  m.files().WriteAll(std::string(m.profile().system_dir) + "\\" + name,
                     entryPoint ? "exports InitializePrintMonitor2\r\n" : "a UI DLL\r\n");
}

BOOL AddMonitor(Machine& m, const char* env = nullptr, const char* dll = "orvmon.dll",
                const char* name = "ORVANE Monitor", DWORD level = 2) {
  MONITOR_INFO_2A info{name, env, dll};
  m.SetLastError(kPoison);
  return m.AddMonitorA(nullptr, level, &info);
}

// The result of the last call: 0 for a success that left the value alone.
DWORD Error(Machine& m, bool ok) {
  const DWORD error = m.GetLastError();
  return ok && error == kPoison ? 0 : error;
}

// Record C of the installer: a version-3 driver at level 6.
struct XpDriver {
  std::string dir, driver, data, config, help;
  DRIVER_INFO_6A info;
  explicit XpDriver(Machine& m)
      : dir(m.profile().driver_dir), driver(dir + "\\pscript5.dll"),
        data(dir + "\\orvaneps5.ppd"), config(dir + "\\ps5ui.dll"), help(dir + "\\Pscript.hlp") {
    info.cVersion = 3;
    info.pName = kDriver;
    info.pEnvironment = "Windows NT x86";
    info.pDriverPath = driver.c_str();
    info.pDataFile = data.c_str();
    info.pConfigFile = config.c_str();
    info.pHelpFile = help.c_str();
    info.pDependentFiles = "orvaneps5.ppd\0orvane.INI\0orvaneui5.DLL\0pscript.ntf\0";
    info.pDefaultDataType = "RAW";
    info.dwlDriverVersion = 0x0102000300040005ull;
    info.pszMfgName = info.pszProvider = "Orvane Corporation";
    info.pszOEMUrl = "http://www.orvane.example";
  }
  void PutFiles(Machine& m, const char* except = "") {
    for (const char* f : {"pscript5.dll", "orvaneps5.PPD", "ps5ui.dll", "Pscript.hlp",
                          "orvane.INI", "orvaneui5.DLL", "pscript.ntf"}) {
      if (std::string(f) != except) m.files().WriteAll(dir + "\\" + f, f);
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

// XP with the monitor and its port, the driver and the printer in place.
void InstallAll(Machine& m, XpDriver& d, bool printer = true) {
  PutMonitorDll(m, "orvmon.dll");
  m.registry().PutValue(kMonitorKey + "\\Ports\\ORVANEPORT", "Description", REG_SZ,
                        {'P', 'D', 'F', 0});
  ASSERT_TRUE(AddMonitor(m));
  d.PutFiles(m);
  ASSERT_TRUE(m.AddPrinterDriverA(nullptr, 6, &d.info));
  PRINTER_INFO_2A p = Printer();
  if (!printer) return;
  ASSERT_TRUE(m.ClosePrinter(m.AddPrinterA(nullptr, 2, &p)));
}

TEST(AddMonitor, ChecksInWindowsOrderOnXpAnd98) {
  struct Row {
    const char* name;
    WindowsVersion version;
    DWORD level;
    const char *env, *dll, *monitor;
    DWORD error;
  };
  const auto xp = WindowsVersion::kWinXp, w98 = WindowsVersion::kWin98;
  const Row rows[] = {
      {"level 1", xp, 1, nullptr, "orvmon.dll", "ORVANE Monitor", ERROR_INVALID_LEVEL},
      {"empty name", xp, 2, nullptr, "orvmon.dll", "", ERROR_INVALID_PARAMETER},
      {"foreign environment", xp, 2, "Windows 4.0", "orvmon.dll", "ORVANE Monitor",
       ERROR_INVALID_ENVIRONMENT},
      {"empty DLL name", xp, 2, nullptr, "", "ORVANE Monitor", ERROR_INVALID_PARAMETER},
      {"DLL missing", xp, 2, nullptr, "nosuch.dll", "ORVANE Monitor", ERROR_MOD_NOT_FOUND},
      {"no entry point", xp, 2, nullptr, "orvmona.dll", "ORVANE Monitor", ERROR_PROC_NOT_FOUND},
      {"success", xp, 2, "windows nt X86", "orvmon.dll", "ORVANE Monitor", 0},
      {"second add", xp, 2, nullptr, "orvmon.dll", "ORVANE Monitor",
       ERROR_PRINT_MONITOR_ALREADY_INSTALLED},
      {"98: DLL missing", w98, 2, nullptr, "nosuch.dll", "ORVANE Monitor", ERROR_INVALID_PARAMETER},
      {"98: NT environment", w98, 2, "Windows NT x86", "orvmon.dll", "ORVANE Monitor",
       ERROR_INVALID_ENVIRONMENT},
      {"98: success", w98, 2, "Windows 4.0", "orvmon.dll", "ORVANE Monitor", 0},
      {"98: second add", w98, 2, nullptr, "orvmon.dll", "ORVANE Monitor", ERROR_ALREADY_EXISTS},
  };
  std::optional<SimMachine> m;
  for (const Row& r : rows) {
    if (!m || (*m)->profile().version != r.version) {
      m.emplace(r.version);
      PutMonitorDll(**m, "orvmon.dll");
      PutMonitorDll(**m, "orvmona.dll", false);
    }
    const BOOL ok = AddMonitor(**m, r.env, r.dll, r.monitor, r.level);
    EXPECT_EQ(Error(**m, ok), r.error) << r.name;
    EXPECT_EQ((*m)->registry().KeyExists(kMonitorKey),
              r.error == 0 || r.error == ERROR_PRINT_MONITOR_ALREADY_INSTALLED ||
                  r.error == ERROR_ALREADY_EXISTS)
        << r.name;
  }
  m.emplace(xp);
  PutMonitorDll(**m, "orvmon.dll");
  ASSERT_TRUE(AddMonitor(**m));
  EXPECT_EQ(Value(**m, kMonitorKey, "Driver"), std::string("orvmon.dll\0", 11));
  std::vector<MonitorInfo1> monitors;
  DWORD needed = 0, returned = 0;
  ASSERT_TRUE((*m)->EnumMonitorsA(nullptr, 1, 4096, &needed, &returned, &monitors));
  EXPECT_EQ(monitors.size(), 2u);
  EXPECT_EQ(monitors.back().pName, "ORVANE Monitor");
  EXPECT_TRUE((*m)->DeleteMonitorA(nullptr, "bogus", "ORVANE Monitor")) << "XP ignores it";
  EXPECT_FALSE((*m)->DeleteMonitorA(nullptr, nullptr, "ORVANE Monitor"));
  EXPECT_EQ((*m)->GetLastError(), ERROR_UNKNOWN_PRINT_MONITOR);
}

TEST(AddMonitor, AKeyPreparedByAnInstallerSurvivesAFailureAndIsKept) {
  SimMachine m(WindowsVersion::kWinXp);
  m->registry().PutValue(kMonitorKey + "\\Ports\\ORVANEPORT", "Mode", REG_DWORD, {1, 0, 0, 0});
  EXPECT_FALSE(AddMonitor(*m));  // the DLL is not yet in the system folder
  EXPECT_TRUE(m->registry().GetValue(kMonitorKey + "\\Ports\\ORVANEPORT", "Mode"));
  PutMonitorDll(*m, "orvmon.dll");
  ASSERT_TRUE(AddMonitor(*m)) << "a key without a Driver value does not block";
  EXPECT_TRUE(m->registry().GetValue(kMonitorKey + "\\Ports\\ORVANEPORT", "Mode"));
}

// The DLL stays loaded (not deletable) until the spooler stops after the
// monitor is gone; another process's hold is not the spooler's.
TEST(MonitorDll, LoadedUntilTheSpoolerStopsAfterTheMonitorIsGone) {
  SimMachine m(WindowsVersion::kWinXp);
  PutMonitorDll(*m, "orvmon.dll");
  ASSERT_TRUE(AddMonitor(*m));
  m->files().HoldByOtherProcess("C:\\WINDOWS\\system32\\localspl.dll", FILE_SHARE_READ);
  auto restart = [&] {
    m->services().StopSpoolerNow(m->spooler());
    m->services().StartSpoolerNow(m->spooler());
  };
  const std::pair<const char*, std::function<void()>> steps[] = {
      {"loaded by AddMonitor", [] {}},
      {"after DeleteMonitor", [&] { m->DeleteMonitorA(nullptr, nullptr, "ORVANE Monitor"); }},
      {"re-added, restarted", [&] { AddMonitor(*m); restart(); }},
      {"deleted, restarted",
       [&] { m->DeleteMonitorA(nullptr, nullptr, "ORVANE Monitor"); restart(); }},
  };
  for (const auto& [name, step] : steps) {
    step();
    m->SetLastError(kPoison);
    const BOOL deleted = m->DeleteFileA("C:\\WINDOWS\\system32\\orvmon.dll");
    EXPECT_EQ(Error(*m, deleted), std::string(name) == "deleted, restarted" ? 0u : 5u) << name;
  }
  EXPECT_EQ(m->files().holds().size(), 1u);
}

// A user may read but not change; a stopped spooler answers 1722 to every
// call, after the checks winspool.drv makes on the client side.
TEST(SpoolerService, UsersMayOnlyReadAndAStoppedSpoolerAnswers1722) {
  SimMachine m(WindowsVersion::kWinXp);
  PutMonitorDll(*m, "orvmon.dll");
  XpDriver d(*m);
  d.PutFiles(*m);
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
    m->SetLastError(kPoison);
    EXPECT_EQ(Error(*m, calls[i].second()), calls[i].first ? 5u : 0u) << "user, call " << i;
  }
  EXPECT_TRUE(m->ClosePrinter(server));
  m->SetAdministrator(true);
  m->services().StopSpoolerNow(m->spooler());
  for (std::size_t i = 0; i < std::size(calls); ++i) {
    m->SetLastError(kPoison);
    EXPECT_EQ(Error(*m, calls[i].second()), RPC_S_SERVER_UNAVAILABLE) << "stopped, call " << i;
  }
  EXPECT_FALSE(m->registry().KeyExists(kMonitorKey));
  EXPECT_FALSE(AddMonitor(*m, nullptr, "orvmon.dll", "ORVANE Monitor", 1));
  EXPECT_EQ(m->GetLastError(), ERROR_INVALID_LEVEL) << "checked by the client";
  EXPECT_FALSE(m->ClosePrinter(kNullHandle));
  EXPECT_EQ(m->GetLastError(), ERROR_INVALID_HANDLE) << "checked by the client";
  m->services().StartSpoolerNow(m->spooler());
  EXPECT_TRUE(AddMonitor(*m)) << "running again";
}

TEST(PrinterDrivers, EnvironmentsLevelsVersionsAndFiles) {
  struct Row {
    const char* name;
    WindowsVersion version;
    const char* env;  // for GetPrinterDriverDirectoryA; null: AddPrinterDriverA
    DWORD level, cVersion;
    const char* missing;
    DWORD error;
  };
  const auto xp = WindowsVersion::kWinXp, nt4 = WindowsVersion::kNt4;
  const Row rows[] = {
      {"XP folder, Alpha", xp, "Windows NT Alpha", 1, 0, "", ERROR_INVALID_ENVIRONMENT},
      {"98 folder, NT", WindowsVersion::kWin98, "Windows NT x86", 1, 0, "",
       ERROR_INVALID_ENVIRONMENT},
      {"98 folder", WindowsVersion::kWin98, "Windows 4.0", 1, 0, "", 0},
      {"level 6 on NT 4", nt4, nullptr, 6, 2, "", ERROR_INVALID_LEVEL},
      {"version 3 on NT 4", nt4, nullptr, 3, 3, "", ERROR_INVALID_PARAMETER},
      {"version 4 on XP", xp, nullptr, 6, 4, "", ERROR_INVALID_PARAMETER},
      {"data file missing", xp, nullptr, 6, 3, "orvaneps5.PPD", ERROR_FILE_NOT_FOUND},
      {"dependent file missing", xp, nullptr, 6, 3, "pscript.ntf", ERROR_FILE_NOT_FOUND},
      {"version 2 on NT 4", nt4, nullptr, 3, 2, "", 0},
      {"version 2 on XP", xp, nullptr, 3, 2, "", 0},
  };
  for (const Row& r : rows) {
    SimMachine m(r.version);
    XpDriver d(*m);
    d.PutFiles(*m, r.missing);
    d.info.cVersion = r.cVersion;
    char dir[64] = "untouched";
    DWORD needed = 0;
    m->SetLastError(kPoison);
    const BOOL ok = r.env ? m->GetPrinterDriverDirectoryA(nullptr, r.env, 1, dir, &needed)
                          : m->AddPrinterDriverA(nullptr, r.level, &d.info);
    EXPECT_EQ(Error(*m, ok), r.error) << r.name;
    if (r.env) {
      EXPECT_STREQ(dir, r.error ? "untouched" : "C:\\WINDOWS\\SYSTEM") << r.name;
    } else {
      EXPECT_EQ(m->registry().KeyExists(kXpDrivers + "\\Version-" + std::to_string(r.cVersion) +
                                        "\\" + kDriver),
                r.error == 0)
          << r.name;
    }
  }
}

// The files go into the version folder; a level-3 upgrade replaces the entry,
// so the level-6 values go (the values themselves: tests/setup's registry
// differences of whole installations).
TEST(PrinterDrivers, RecordCCopiesIntoVersion3AndAnUpgradeReplacesIt) {
  SimMachine m(WindowsVersion::kWinXp);
  XpDriver d(*m);
  d.PutFiles(*m);
  ASSERT_TRUE(m->AddPrinterDriverA(nullptr, 6, &d.info));
  const std::string key = kXpDrivers + "\\Version-3\\" + kDriver;
  EXPECT_EQ(Value(*m, key, "Manufacturer"), std::string("Orvane Corporation\0", 19));
  EXPECT_EQ(m->files().List(d.dir + "\\3").size(), 7u);
  EXPECT_TRUE(m->files().Exists(d.dir + "\\3\\orvaneui5.DLL"));
  DRIVER_INFO_3A older;
  older.cVersion = 3;
  older.pName = kDriver;
  older.pDriverPath = d.info.pDriverPath;
  older.pDataFile = d.info.pDataFile;
  older.pConfigFile = d.info.pConfigFile;
  ASSERT_TRUE(m->AddPrinterDriverA(nullptr, 3, &older));
  EXPECT_FALSE(m->registry().GetValue(key, "Manufacturer"));
  EXPECT_EQ(Value(*m, key, "Help File"), std::string("\0", 1));
}

TEST(PrinterDrivers, RecordAOn98StaysInTheSystemFolderAndServesAPrinter) {
  SimMachine m(WindowsVersion::kWin98);
  DRIVER_INFO_3A a;  // bare names in the system folder
  a.cVersion = 2;
  a.pName = kDriver;
  a.pEnvironment = "Windows 4.0";
  a.pDriverPath = a.pConfigFile = "Pscript.drv";
  a.pDataFile = "orvdriver.SPD";
  a.pHelpFile = "Pscript.hlp";
  a.pDefaultDataType = "RAW";
  a.pDependentFiles = "msprint.cat\0PSCRIPT.DRV\0ORVDRIVER.SPD\0";
  m->SetLastError(kPoison);
  EXPECT_FALSE(m->AddPrinterDriverA(nullptr, 3, &a)) << "orvdriver.SPD not yet there";
  EXPECT_EQ(m->GetLastError(), ERROR_FILE_NOT_FOUND);
  DRIVER_INFO_6A six;
  six.pName = kDriver;
  EXPECT_FALSE(m->AddPrinterDriverA(nullptr, 6, &six)) << "98 knows levels 2 and 3";
  EXPECT_EQ(m->GetLastError(), ERROR_INVALID_LEVEL);
  const auto before = m->files().List("C:\\WINDOWS").size();
  m->files().WriteAll("C:\\WINDOWS\\SYSTEM\\orvdriver.SPD", "ppd");
  ASSERT_TRUE(m->AddPrinterDriverA(nullptr, 3, &a));
  EXPECT_EQ(m->files().List("C:\\WINDOWS").size(), before + 1) << "nothing copied";
  const std::string key = kPrint + "\\Environments\\Windows 4.0\\Drivers\\" + kDriver;
  EXPECT_EQ(Value(*m, key, "Version", REG_DWORD), std::string("\0\0\0\0", 4));
  EXPECT_EQ(Value(*m, key, "Dependent Files", REG_MULTI_SZ),
            std::string("msprint.cat\0PSCRIPT.DRV\0ORVDRIVER.SPD\0\0", 39));
  // 98 checks no rights: a handle opened without defaults deletes the printer.
  PRINTER_INFO_2A p = Printer("ORVANE", "LPT1:");
  ASSERT_TRUE(m->ClosePrinter(m->AddPrinterA(nullptr, 2, &p)));
  HANDLE h = kNullHandle;
  ASSERT_TRUE(m->OpenPrinterA("ORVANE", &h, nullptr));
  EXPECT_TRUE(m->DeletePrinter(h));
  EXPECT_TRUE(m->ClosePrinter(h));
  EXPECT_TRUE(m->DeletePrinterDriverA(nullptr, "Windows 4.0", kDriver));
  EXPECT_FALSE(m->registry().KeyExists(key));
}

// The installer's order on XP: monitor and port, driver, printer; the objects
// in use refuse deletion until the printer is gone.
TEST(Printers, DependencyOrderAndObjectsInUse) {
  SimMachine m(WindowsVersion::kWinXp);
  XpDriver d(*m);
  InstallAll(*m, d, false);
  const std::pair<PRINTER_INFO_2A, DWORD> rows[] = {
      {Printer("ORVANE", "NOPORT:"), ERROR_UNKNOWN_PORT},
      {Printer("ORVANE", "ORVANEPORT", "nosuch"), ERROR_UNKNOWN_PRINTPROCESSOR},
      {Printer("ORV,ANE"), ERROR_INVALID_PRINTER_NAME},
      {Printer("ORVANE", "orvaneport"), 0},  // ports compare without case
      {Printer(), ERROR_PRINTER_ALREADY_EXISTS},
  };
  for (const auto& [printer, error] : rows) {
    m->SetLastError(kPoison);
    HANDLE h = m->AddPrinterA(nullptr, 2, &printer);
    EXPECT_EQ(Error(*m, h != kNullHandle), error) << printer.pPortName << printer.pPrinterName;
    if (h != kNullHandle) m->ClosePrinter(h);
  }
  const std::string printer = kPrint + "\\Printers\\ORVANE";
  EXPECT_EQ(Value(*m, printer, "Port"), std::string("orvaneport\0", 11));
  EXPECT_EQ(Value(*m, printer, "Attributes", REG_DWORD), std::string(4, '\0'));
  EXPECT_FALSE(m->DeletePrinterDriverA(nullptr, nullptr, kDriver));
  EXPECT_EQ(m->GetLastError(), ERROR_PRINTER_DRIVER_IN_USE);
  EXPECT_FALSE(m->DeleteMonitorA(nullptr, nullptr, "ORVANE Monitor"));
  EXPECT_EQ(m->GetLastError(), ERROR_PRINT_MONITOR_IN_USE);
  PRINTER_DEFAULTSA all{nullptr, nullptr, PRINTER_ALL_ACCESS};
  HANDLE h = kNullHandle;
  ASSERT_TRUE(m->OpenPrinterA("orvane", &h, &all));
  ASSERT_TRUE(m->DeletePrinter(h));
  EXPECT_FALSE(m->DeletePrinter(h));
  EXPECT_EQ(m->GetLastError(), 1905u) << "ERROR_PRINTER_DELETED";
  EXPECT_TRUE(m->ClosePrinter(h));
  EXPECT_TRUE(m->DeletePrinterDriverA(nullptr, "Windows NT x86", kDriver));
  EXPECT_TRUE(m->files().Exists(d.dir + "\\3\\pscript5.dll")) << "the files stay";
  EXPECT_FALSE(m->DeletePrinterDriverA(nullptr, nullptr, kDriver));
  EXPECT_EQ(m->GetLastError(), ERROR_UNKNOWN_PRINTER_DRIVER);
  EXPECT_TRUE(m->DeleteMonitorA(nullptr, nullptr, "ORVANE Monitor"));
  EXPECT_TRUE(m->LeakReport().empty());
}

// A key the installer wrote is no printer, and AddPrinterA keeps its data;
// DeletePrinter takes the whole key.
TEST(Printers, AKeyWrittenByTheInstallerIsNoPrinterAndKeepsItsData) {
  SimMachine m(WindowsVersion::kWinXp);
  XpDriver d(*m);
  InstallAll(*m, d, false);
  const std::string printer = kPrint + "\\Printers\\ORVANE";
  m->registry().PutValue(printer + "\\PrinterDriverData", "PrinterData", REG_BINARY, {1, 2});
  HANDLE h = kNullHandle;
  m->SetLastError(kPoison);
  EXPECT_FALSE(m->OpenPrinterA("ORVANE", &h, nullptr));
  EXPECT_EQ(m->GetLastError(), ERROR_INVALID_PRINTER_NAME);
  PRINTER_INFO_2A p = Printer();
  h = m->AddPrinterA(nullptr, 2, &p);
  EXPECT_TRUE(m->registry().GetValue(printer + "\\PrinterDriverData", "PrinterData"));
  EXPECT_EQ(Value(*m, printer, "Printer Driver"), std::string(kDriver) + '\0');
  ASSERT_TRUE(m->DeletePrinter(h));
  EXPECT_FALSE(m->registry().KeyExists(printer));
  EXPECT_EQ(m->LeakReport(), (std::vector<std::string>{"1 printer handle(s) left open"}));
  EXPECT_TRUE(m->ClosePrinter(h));
}

TEST(Printers, HandlesAccessAndFaults) {
  SimMachine m(WindowsVersion::kWinXp);
  XpDriver d(*m);
  InstallAll(*m, d);
  PRINTER_DEFAULTSA all{nullptr, nullptr, PRINTER_ALL_ACCESS};
  HANDLE h = HANDLE{0x99};
  const struct {
    const char* name;
    HANDLE* out;
    const PRINTER_DEFAULTSA* defaults;
    bool admin;
    DWORD error;
  } rows[] = {
      {"", &h, nullptr, true, ERROR_INVALID_PRINTER_NAME},
      {"ORVANE", nullptr, nullptr, true, ERROR_INVALID_PARAMETER},
      {"ORVANE", &h, &all, false, ERROR_ACCESS_DENIED},
      {"ORVANE", &h, nullptr, false, 0},
  };
  for (const auto& r : rows) {
    m->SetAdministrator(r.admin);
    m->SetLastError(kPoison);
    const BOOL ok = m->OpenPrinterA(r.name, r.out, r.defaults);
    EXPECT_EQ(Error(*m, ok), r.error) << r.name << r.admin;
    if (!ok) continue;
    EXPECT_FALSE(m->DeletePrinter(h)) << "a handle for use only";
    EXPECT_EQ(m->GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_TRUE(m->ClosePrinter(h));
    EXPECT_FALSE(m->ClosePrinter(h)) << "closed twice";
    EXPECT_EQ(m->GetLastError(), ERROR_INVALID_HANDLE);
  }
  m->SetAdministrator(true);
  m->faults().Add({"DeletePrinter", "ORVANE", ERROR_ACCESS_DENIED, FaultMode::kOnce});
  ASSERT_TRUE(m->OpenPrinterA("ORVANE", &h, &all));
  EXPECT_FALSE(m->DeletePrinter(h));
  EXPECT_TRUE(m->spooler().PrinterExists("ORVANE"));
  // A restart of the spooler invalidates the handles it gave out.
  m->services().StopSpoolerNow(m->spooler());
  m->services().StartSpoolerNow(m->spooler());
  EXPECT_FALSE(m->DeletePrinter(h));
  EXPECT_EQ(m->GetLastError(), ERROR_INVALID_HANDLE);
  EXPECT_FALSE(m->ClosePrinter(h)) << "stale, and gone";
  EXPECT_EQ(m->spooler().OpenHandleCount(), 0u);
}

// The "ask the size" protocol of every listing: 122 and the size needed for a
// buffer too small (entries untouched), then success; a foreign level 1801.
TEST(Listings, BufferProtocolOfTheSpoolersListings) {
  SimMachine m(WindowsVersion::kWinXp);
  XpDriver d(*m);
  InstallAll(*m, d);
  using List = std::function<BOOL(DWORD level, DWORD size, DWORD*, DWORD*, std::size_t*)>;
  auto listing = [&](auto call, auto entry) -> List {
    return [&m, call, entry](DWORD level, DWORD size, DWORD* need, DWORD* got, std::size_t* n) {
      std::vector<decltype(entry)> e(1);
      const BOOL ok = call(*m, level, size, need, got, &e);
      *n = e.size();
      return ok;
    };
  };
  const struct {
    const char* name;
    DWORD level, refused;
    List list;
  } listings[] = {
      {"ports", 2, 3, listing([](Machine& x, DWORD l, DWORD s, DWORD* n, DWORD* r, auto* e) {
         return x.EnumPortsA(nullptr, l, s, n, r, e); }, PortInfo2{})},
      {"monitors", 1, 3, listing([](Machine& x, DWORD l, DWORD s, DWORD* n, DWORD* r, auto* e) {
         return x.EnumMonitorsA(nullptr, l, s, n, r, e); }, MonitorInfo1{})},
      {"printers", 2, 1, listing([](Machine& x, DWORD l, DWORD s, DWORD* n, DWORD* r, auto* e) {
         return x.EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, l, s, n, r, e); }, PrinterInfo2{})},
      {"drivers", 3, 2, listing([](Machine& x, DWORD l, DWORD s, DWORD* n, DWORD* r, auto* e) {
         return x.EnumPrinterDriversA(nullptr, nullptr, l, s, n, r, e); }, DriverInfo3{})},
  };
  for (const auto& [name, level, refused, list] : listings) {
    DWORD needed = kPoison, returned = kPoison;
    std::size_t count = 0;
    EXPECT_FALSE(list(level, 0, &needed, &returned, &count)) << name;
    ASSERT_GT(needed, 0u) << name;
    const DWORD size = needed;
    m->SetLastError(kPoison);
    EXPECT_FALSE(list(level, size - 1, &needed, &returned, &count)) << name;
    EXPECT_EQ(m->GetLastError(), ERROR_INSUFFICIENT_BUFFER) << name;
    EXPECT_EQ(needed, size) << name;
    EXPECT_EQ(returned, 0u) << name;
    EXPECT_EQ(count, 1u) << name << ": entries untouched";
    m->SetLastError(kPoison);
    EXPECT_TRUE(list(level, size, &needed, &returned, &count)) << name;
    EXPECT_EQ(m->GetLastError(), kPoison) << name;
    EXPECT_EQ(returned, count) << name;
    EXPECT_FALSE(list(refused, 4096, &needed, &returned, &count)) << name;
    EXPECT_EQ(m->GetLastError(), ERROR_INVALID_LEVEL) << name;
  }
  std::vector<DriverInfo3> drivers;
  DWORD needed = 0, returned = 0;
  ASSERT_TRUE(m->EnumPrinterDriversA(nullptr, nullptr, 3, 4096, &needed, &returned, &drivers));
  EXPECT_EQ(drivers.front().pDataFile, d.dir + "\\3\\orvaneps5.ppd") << "the version folder";
  std::vector<PortInfo2> ports;
  ASSERT_TRUE(m->EnumPortsA(nullptr, 2, 4096, &needed, &returned, &ports));
  EXPECT_EQ(ports.front().pPortName, "COM1:") << "local ports first";
  EXPECT_EQ(ports.back().pDescription, "PDF");
}

}  // namespace
}  // namespace orvane::winsim
