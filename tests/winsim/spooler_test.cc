// The simulated print spooler through the Platform interface: what each call
// checks, in Windows' order, the code it answers, and the registry and files
// it leaves. The last-error value is poisoned before each call.
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

std::optional<std::string> SzValue(const Machine& m, const std::string& key,
                                   const char* name, DWORD type = REG_SZ) {
  auto v = m.registry().GetValue(key, name);
  if (!v || v->type != type) return std::nullopt;
  return std::string(v->data.begin(), v->data.end());
}

// Writes a monitor DLL stand-in into the system folder.
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

// The monitor with its port, as the installer sets them up.
void InstallMonitorWithPort(Machine& m) {
  PutMonitorDll(m, "orvmon.dll");
  m.registry().PutValue(kMonitorKey + "\\Ports\\ORVANEPORT", "Description", REG_SZ,
                        {'P', 'D', 'F', 0});
  ASSERT_TRUE(AddMonitor(m));
}

// Record C of the installer: a version-3 driver at level 6, full paths into
// the driver folder, dependent files by name.
struct XpDriver {
  std::string dir;
  std::string driver, data, config, help;
  DRIVER_INFO_6A info;
  explicit XpDriver(Machine& m) : dir(m.profile().driver_dir) {
    driver = dir + "\\pscript5.dll";
    data = dir + "\\orvaneps5.ppd";
    config = dir + "\\ps5ui.dll";
    help = dir + "\\Pscript.hlp";
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
    info.pszMfgName = "Orvane Corporation";
    info.pszOEMUrl = "http://www.orvane.example";
    info.pszProvider = "Orvane Corporation";
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

TEST(AddMonitor, LadderOfChecksThenSuccessOnXp) {
  SimMachine m(WindowsVersion::kWinXp);
  PutMonitorDll(*m, "orvmon.dll");
  PutMonitorDll(*m, "orvmona.dll", false);
  struct Row {
    const char* label;
    DWORD level;
    const char* env;
    const char* dll;
    const char* name;
    bool admin;
    DWORD expected;  // 0: success
  };
  const Row rows[] = {
      {"level 1", 1, nullptr, "orvmon.dll", "ORVANE Monitor", true, ERROR_INVALID_LEVEL},
      {"empty name", 2, nullptr, "orvmon.dll", "", true, ERROR_INVALID_PARAMETER},
      {"foreign environment", 2, "Windows 4.0", "orvmon.dll", "ORVANE Monitor", true,
       ERROR_INVALID_ENVIRONMENT},
      {"empty DLL name", 2, nullptr, "", "ORVANE Monitor", true, ERROR_INVALID_PARAMETER},
      {"DLL missing", 2, nullptr, "nosuch.dll", "ORVANE Monitor", true,
       ERROR_MOD_NOT_FOUND},
      {"no entry point", 2, nullptr, "orvmona.dll", "ORVANE Monitor", true,
       ERROR_PROC_NOT_FOUND},
      {"success", 2, "windows nt X86", "orvmon.dll", "ORVANE Monitor", true, 0},
      {"second add", 2, nullptr, "orvmon.dll", "ORVANE Monitor", true,
       ERROR_PRINT_MONITOR_ALREADY_INSTALLED},
  };
  for (const Row& row : rows) {
    m->SetAdministrator(row.admin);
    BOOL ok = AddMonitor(*m, row.env, row.dll, row.name, row.level);
    EXPECT_EQ(ok != FALSE, row.expected == 0) << row.label;
    EXPECT_EQ(m->GetLastError(), row.expected) << row.label;
    bool installed =
        row.expected == 0 || row.expected == ERROR_PRINT_MONITOR_ALREADY_INSTALLED;
    EXPECT_EQ(m->registry().KeyExists(kMonitorKey), installed) << row.label;
  }
  EXPECT_EQ(SzValue(*m, kMonitorKey, "Driver"), std::string("orvmon.dll\0", 11));

  DWORD needed = 0, returned = 0;
  std::vector<MonitorInfo1> monitors;
  ASSERT_TRUE(m->EnumMonitorsA(nullptr, 1, 4096, &needed, &returned, &monitors));
  std::vector<std::string> names;
  for (const auto& e : monitors) names.push_back(e.pName);
  EXPECT_EQ(names, (std::vector<std::string>{"Local Port", "ORVANE Monitor"}));

  m->SetLastError(kPoison);
  EXPECT_TRUE(m->DeleteMonitorA(nullptr, "bogus environment", "ORVANE Monitor"))
      << "XP ignores the environment for the local server";
  EXPECT_EQ(m->GetLastError(), kPoison);
  EXPECT_FALSE(m->registry().KeyExists(kMonitorKey));
  EXPECT_FALSE(m->DeleteMonitorA(nullptr, nullptr, "ORVANE Monitor"));
  EXPECT_EQ(m->GetLastError(), ERROR_UNKNOWN_PRINT_MONITOR);
}

TEST(AddMonitor, Windows98AnswersWithItsOwnCodes) {
  SimMachine m(WindowsVersion::kWin98);
  PutMonitorDll(*m, "orvmon95.dll");
  EXPECT_FALSE(AddMonitor(*m, nullptr, "nosuch.dll"));
  EXPECT_EQ(m->GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_FALSE(AddMonitor(*m, "Windows NT x86", "orvmon95.dll"));
  EXPECT_EQ(m->GetLastError(), ERROR_INVALID_ENVIRONMENT);
  EXPECT_TRUE(AddMonitor(*m, "Windows 4.0", "orvmon95.dll"));
  EXPECT_FALSE(AddMonitor(*m, nullptr, "orvmon95.dll"));
  EXPECT_EQ(m->GetLastError(), ERROR_ALREADY_EXISTS);
  EXPECT_FALSE(m->DeleteMonitorA(nullptr, "Windows 4.0", "No Such Monitor"));
  EXPECT_EQ(m->GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST(AddMonitor, KeyPreparedByAnInstallerSurvivesAFailureAndIsKept) {
  SimMachine m(WindowsVersion::kWinXp);
  m->registry().PutValue(kMonitorKey + "\\Ports\\ORVANEPORT", "Mode", REG_DWORD,
                         {1, 0, 0, 0});
  m->registry().PutValue(kMonitorKey, "Own", REG_SZ, {'x', 0});
  EXPECT_FALSE(AddMonitor(*m));  // orvmon.dll not yet in the system folder
  EXPECT_EQ(m->GetLastError(), ERROR_MOD_NOT_FOUND);
  EXPECT_TRUE(m->registry().GetValue(kMonitorKey + "\\Ports\\ORVANEPORT", "Mode"));
  EXPECT_TRUE(m->registry().GetValue(kMonitorKey, "Own"));
  EXPECT_FALSE(m->registry().GetValue(kMonitorKey, "Driver"));

  PutMonitorDll(*m, "orvmon.dll");
  ASSERT_TRUE(AddMonitor(*m)) << "a key without a Driver value does not block";
  EXPECT_TRUE(m->registry().GetValue(kMonitorKey, "Own"));
  EXPECT_TRUE(m->registry().GetValue(kMonitorKey + "\\Ports\\ORVANEPORT", "Mode"));
}

TEST(MonitorDll, LoadedUntilTheSpoolerStopsAfterTheMonitorIsGone) {
  SimMachine m(WindowsVersion::kWinXp);
  const std::string dll = "C:\\WINDOWS\\system32\\orvmon.dll";
  PutMonitorDll(*m, "orvmon.dll");
  ASSERT_TRUE(AddMonitor(*m));
  m->files().HoldByOtherProcess("C:\\WINDOWS\\system32\\localspl.dll", FILE_SHARE_READ);
  struct Step {
    const char* label;
    std::function<void()> action;
    bool deletable;
  };
  const Step steps[] = {
      {"loaded by AddMonitor", [] {}, false},
      {"still loaded after DeleteMonitor",
       [&] { ASSERT_TRUE(m->DeleteMonitorA(nullptr, nullptr, "ORVANE Monitor")); },
       false},
      {"re-registered and the spooler restarted",
       [&] {
         ASSERT_TRUE(AddMonitor(*m));
         m->services().StopSpoolerNow(m->spooler());
         m->services().StartSpoolerNow(m->spooler());
       },
       false},
      {"deleted, then the spooler stopped",
       [&] {
         ASSERT_TRUE(m->DeleteMonitorA(nullptr, nullptr, "ORVANE Monitor"));
         m->services().StopSpoolerNow(m->spooler());
         m->services().StartSpoolerNow(m->spooler());
       },
       true},
  };
  for (const Step& step : steps) {
    step.action();
    m->SetLastError(kPoison);
    BOOL deleted = m->DeleteFileA(dll.c_str());
    EXPECT_EQ(deleted != FALSE, step.deletable) << step.label;
    EXPECT_EQ(m->GetLastError(), step.deletable ? kPoison : ERROR_ACCESS_DENIED)
        << step.label;
  }
  EXPECT_EQ(m->files().holds().size(), 1u)
      << "another process's hold is not the spooler's";
}

// A spooler call as a program makes it: true when it succeeded.
struct CallRow {
  const char* label;
  std::function<BOOL()> call;
  bool changes;  // changes the spooler's state: administrators only
};

// Every spooler call the installer makes, each with arguments that would
// succeed on a running spooler for an administrator (the driver's files are in
// place); the buffers they fill live here.
struct EverySpoolerCall {
  EverySpoolerCall(Machine& m, XpDriver& d) {
    rows = {
        {"GetPrinterDriverDirectoryA",
         [&] { return m.GetPrinterDriverDirectoryA(nullptr, nullptr, 1, dir, &needed); },
         false},
        {"EnumMonitorsA",
         [&] { return m.EnumMonitorsA(nullptr, 1, 4096, &needed, &returned, nullptr); },
         false},
        {"EnumPortsA",
         [&] { return m.EnumPortsA(nullptr, 2, 4096, &needed, &returned, nullptr); },
         false},
        {"OpenPrinterA of the server",
         [&] { return m.OpenPrinterA(nullptr, &server, nullptr); }, false},
        {"AddMonitorA", [&] { return m.AddMonitorA(nullptr, 2, &monitor); }, true},
        {"DeleteMonitorA",
         [&] { return m.DeleteMonitorA(nullptr, nullptr, "Local Port"); }, true},
        {"AddPrinterDriverA", [&] { return m.AddPrinterDriverA(nullptr, 6, &d.info); },
         true},
        {"DeletePrinterDriverA",
         [&] { return m.DeletePrinterDriverA(nullptr, nullptr, "Any Driver"); }, true},
        {"AddPrinterA",
         [&] { return BOOL{m.AddPrinterA(nullptr, 2, &printer) != kNullHandle}; }, true},
    };
  }
  MONITOR_INFO_2A monitor{"ORVANE Monitor", nullptr, "orvmon.dll"};
  PRINTER_INFO_2A printer = Printer("ORVANE", "LPT1:");
  char dir[256] = {};
  DWORD needed = 0, returned = 0;
  HANDLE server = kNullHandle;
  std::vector<CallRow> rows;
};

// A user may read but not change; a stopped spooler answers 1722 to every
// call, after the checks that winspool.drv makes on the client side.
TEST(SpoolerService, UsersMayOnlyReadAndAStoppedSpoolerAnswers1722) {
  SimMachine m(WindowsVersion::kWinXp);
  PutMonitorDll(*m, "orvmon.dll");
  XpDriver d(*m);
  d.PutFiles(*m);
  EverySpoolerCall calls(*m, d);
  m->SetAdministrator(false);
  for (const CallRow& row : calls.rows) {
    m->SetLastError(kPoison);
    EXPECT_EQ(row.call() != FALSE, !row.changes) << "user: " << row.label;
    EXPECT_EQ(m->GetLastError(), row.changes ? ERROR_ACCESS_DENIED : kPoison)
        << "user: " << row.label;
  }
  EXPECT_TRUE(m->ClosePrinter(calls.server));

  m->SetAdministrator(true);
  m->services().StopSpoolerNow(m->spooler());
  for (const CallRow& row : calls.rows) {
    m->SetLastError(kPoison);
    EXPECT_FALSE(row.call()) << "stopped: " << row.label;
    EXPECT_EQ(m->GetLastError(), RPC_S_SERVER_UNAVAILABLE) << "stopped: " << row.label;
  }
  EXPECT_FALSE(m->ClosePrinter(HANDLE{0x1234}));
  EXPECT_EQ(m->GetLastError(), RPC_S_SERVER_UNAVAILABLE) << "unknown handle";
  EXPECT_FALSE(m->registry().KeyExists(kMonitorKey)) << "nothing changed";
  EXPECT_FALSE(m->spooler().DriverInstalled(kDriver));
  EXPECT_FALSE(AddMonitor(*m, nullptr, "orvmon.dll", "ORVANE Monitor", 1));
  EXPECT_EQ(m->GetLastError(), ERROR_INVALID_LEVEL) << "checked by the client";
  EXPECT_FALSE(m->ClosePrinter(kNullHandle));
  EXPECT_EQ(m->GetLastError(), ERROR_INVALID_HANDLE) << "checked by the client";

  m->services().StartSpoolerNow(m->spooler());
  EXPECT_TRUE(AddMonitor(*m)) << "running again";
}

TEST(GetPrinterDriverDirectory, EachWindowsKnowsItsEnvironments) {
  struct Row {
    WindowsVersion version;
    const char* env;
    DWORD error;
    const char* dir;
  };
  const Row rows[] = {
      {WindowsVersion::kWinXp, "", 0, "C:\\WINDOWS\\system32\\spool\\drivers\\w32x86"},
      {WindowsVersion::kWinXp, "Windows NT Alpha", ERROR_INVALID_ENVIRONMENT, ""},
      {WindowsVersion::kWin98, "Windows 4.0", 0, "C:\\WINDOWS\\SYSTEM"},
      {WindowsVersion::kWin98, "Windows NT x86", ERROR_INVALID_ENVIRONMENT, ""},
  };
  for (const Row& row : rows) {
    SimMachine m(row.version);
    std::string label = std::string(Profile(row.version).name) + " '" + row.env + "'";
    char buffer[256] = "untouched";
    DWORD needed = kPoison;
    m->SetLastError(kPoison);
    BOOL ok = m->GetPrinterDriverDirectoryA(nullptr, row.env, 1, buffer, &needed);
    EXPECT_EQ(ok != FALSE, row.error == 0) << label;
    EXPECT_EQ(m->GetLastError(), row.error ? row.error : kPoison) << label;
    EXPECT_STREQ(buffer, row.error ? "untouched" : row.dir) << label;
  }
}

TEST(AddPrinterDriver, LevelsVersionsAndFilesOnEachWindows) {
  struct Row {
    const char* label;
    WindowsVersion version;
    DWORD level;
    DWORD cVersion;
    const char* missing;  // a file not put in place
    DWORD error;
  };
  const Row rows[] = {
      {"level 6 on NT 4", WindowsVersion::kNt4, 6, 2, "", ERROR_INVALID_LEVEL},
      {"version 3 on NT 4", WindowsVersion::kNt4, 3, 3, "", ERROR_INVALID_PARAMETER},
      {"version 4 on XP", WindowsVersion::kWinXp, 6, 4, "", ERROR_INVALID_PARAMETER},
      {"data file missing", WindowsVersion::kWinXp, 6, 3, "orvaneps5.PPD",
       ERROR_FILE_NOT_FOUND},
      {"dependent file missing", WindowsVersion::kWinXp, 6, 3, "pscript.ntf",
       ERROR_FILE_NOT_FOUND},
      {"version 2 on NT 4", WindowsVersion::kNt4, 3, 2, "", 0},
      {"version 2 on XP", WindowsVersion::kWinXp, 3, 2, "", 0},
  };
  for (const Row& row : rows) {
    SimMachine m(row.version);
    XpDriver d(*m);
    d.PutFiles(*m, row.missing);
    d.info.cVersion = row.cVersion;
    m->SetLastError(kPoison);
    BOOL ok = m->AddPrinterDriverA(nullptr, row.level, &d.info);
    EXPECT_EQ(ok != FALSE, row.error == 0) << row.label;
    EXPECT_EQ(m->GetLastError(), row.error ? row.error : kPoison) << row.label;
    std::string key =
        kXpDrivers + "\\Version-" + std::to_string(row.cVersion) + "\\" + kDriver;
    EXPECT_EQ(m->registry().KeyExists(key), row.error == 0) << row.label;
    EXPECT_EQ(m->spooler().DriverInstalled(kDriver), row.error == 0) << row.label;
  }
}

TEST(AddPrinterDriver, RecordCOnXpWritesItsValuesAndCopiesIntoVersion3) {
  SimMachine m(WindowsVersion::kWinXp);
  XpDriver d(*m);
  d.PutFiles(*m);
  ASSERT_TRUE(m->AddPrinterDriverA(nullptr, 6, &d.info));
  const std::string key = kXpDrivers + "\\Version-3\\" + kDriver;
  struct Value {
    const char* name;
    DWORD type;
    std::string data;
  };
  const Value values[] = {
      {"Version", REG_DWORD, std::string("\3\0\0\0", 4)},
      {"Driver", REG_SZ, std::string("pscript5.dll\0", 13)},
      {"Data File", REG_SZ, std::string("orvaneps5.ppd\0", 14)},
      {"Configuration File", REG_SZ, std::string("ps5ui.dll\0", 10)},
      {"Help File", REG_SZ, std::string("Pscript.hlp\0", 12)},
      {"Dependent Files", REG_MULTI_SZ,
       std::string("orvaneps5.ppd\0orvane.INI\0orvaneui5.DLL\0pscript.ntf\0\0", 52)},
      {"Monitor", REG_SZ, std::string("\0", 1)},
      {"Datatype", REG_SZ, std::string("RAW\0", 4)},
      {"Previous Names", REG_MULTI_SZ, std::string("\0", 1)},
      {"Manufacturer", REG_SZ, std::string("Orvane Corporation\0", 19)},
      {"OEM Url", REG_SZ, std::string("http://www.orvane.example\0", 26)},
      {"HardwareID", REG_SZ, std::string("\0", 1)},
      {"Provider", REG_SZ, std::string("Orvane Corporation\0", 19)},
      {"DriverVersion", REG_BINARY, std::string("\5\0\4\0\3\0\2\1", 8)},
  };
  for (const Value& v : values) {
    EXPECT_EQ(SzValue(*m, key, v.name, v.type), v.data) << v.name;
  }
  std::vector<std::string> copied = m->files().List(d.dir + "\\3");
  EXPECT_EQ(copied.size(), 7u);
  for (const char* f : {"pscript5.dll", "orvaneps5.ppd", "ps5ui.dll", "Pscript.hlp",
                        "orvane.INI", "orvaneui5.DLL", "pscript.ntf"}) {
    EXPECT_TRUE(m->files().Exists(d.dir + "\\3\\" + f)) << f;
  }

  // An upgrade at level 3 replaces the entry: the level-6 values go.
  DRIVER_INFO_3A older;
  older.cVersion = 3;
  older.pName = kDriver;
  older.pDriverPath = d.info.pDriverPath;
  older.pDataFile = d.info.pDataFile;
  older.pConfigFile = d.info.pConfigFile;
  ASSERT_TRUE(m->AddPrinterDriverA(nullptr, 3, &older));
  EXPECT_FALSE(m->registry().GetValue(key, "Manufacturer"));
  EXPECT_EQ(SzValue(*m, key, "Help File"), std::string("\0", 1));
}

TEST(AddPrinterDriver, RecordAOn98StaysInTheSystemFolderAndServesAPrinter) {
  SimMachine m(WindowsVersion::kWin98);
  // Record A of the installer: bare names in the system folder.
  DRIVER_INFO_3A a;
  a.cVersion = 2;
  a.pName = kDriver;
  a.pEnvironment = "Windows 4.0";
  a.pDriverPath = "Pscript.drv";
  a.pDataFile = "orvdriver.SPD";
  a.pConfigFile = "Pscript.drv";
  a.pHelpFile = "Pscript.hlp";
  a.pDefaultDataType = "RAW";
  a.pDependentFiles =
      "msprint.cat\0LWNT_470.SPD\0PSCRIPT.DRV\0PSCRIPT.HLP\0PSCRIPT.INI\0TESTPS.TXT\0"
      "APPLE380.SPD\0FONTS.MFM\0ICONLIB.DLL\0PSMON.DLL\0ORVDRIVER.SPD\0";
  m->SetLastError(kPoison);
  EXPECT_FALSE(m->AddPrinterDriverA(nullptr, 3, &a)) << "orvdriver.SPD not yet copied";
  EXPECT_EQ(m->GetLastError(), ERROR_FILE_NOT_FOUND);
  DRIVER_INFO_6A six;
  six.pName = kDriver;
  EXPECT_FALSE(m->AddPrinterDriverA(nullptr, 6, &six)) << "98 knows levels 2 and 3";
  EXPECT_EQ(m->GetLastError(), ERROR_INVALID_LEVEL);

  auto before = m->files().List("C:\\WINDOWS");
  m->files().WriteAll("C:\\WINDOWS\\SYSTEM\\orvdriver.SPD", "ppd");
  ASSERT_TRUE(m->AddPrinterDriverA(nullptr, 3, &a));
  EXPECT_EQ(m->files().List("C:\\WINDOWS").size(), before.size() + 1) << "nothing copied";
  const std::string key = kPrint + "\\Environments\\Windows 4.0\\Drivers\\" + kDriver;
  EXPECT_EQ(SzValue(*m, key, "Version", REG_DWORD), std::string("\0\0\0\0", 4));
  EXPECT_EQ(SzValue(*m, key, "Data File"), std::string("orvdriver.SPD\0", 14));
  auto deps = SzValue(*m, key, "Dependent Files", REG_MULTI_SZ);
  ASSERT_TRUE(deps);
  EXPECT_EQ(std::count(deps->begin(), deps->end(), '\0'), 12)
      << "eleven names and the end";

  // 98 checks no rights: a handle opened without defaults deletes the printer.
  PRINTER_INFO_2A p = Printer("ORVANE", "LPT1:");
  p.Attributes = PRINTER_ATTRIBUTE_LOCAL;
  ASSERT_TRUE(m->ClosePrinter(m->AddPrinterA(nullptr, 2, &p)));
  HANDLE h = kNullHandle;
  ASSERT_TRUE(m->OpenPrinterA("ORVANE", &h, nullptr));
  EXPECT_TRUE(m->DeletePrinter(h));
  EXPECT_TRUE(m->ClosePrinter(h));
  EXPECT_TRUE(m->DeletePrinterDriverA(nullptr, "Windows 4.0", kDriver));
  EXPECT_FALSE(m->registry().KeyExists(key));
}

// The installer's order on XP: monitor and port, driver, printer; then the
// objects in use refuse deletion until the printer is gone.
TEST(Printers, DependencyOrderAndObjectsInUse) {
  SimMachine m(WindowsVersion::kWinXp);
  InstallMonitorWithPort(*m);
  XpDriver d(*m);
  d.PutFiles(*m);
  struct Row {
    const char* label;
    PRINTER_INFO_2A printer;
    std::function<void()> before;
    DWORD error;
  };
  const Row rows[] = {
      {"driver not installed", Printer(), [] {}, ERROR_UNKNOWN_PRINTER_DRIVER},
      {"unknown port", Printer("ORVANE", "NOPORT:"),
       [&] { ASSERT_TRUE(m->AddPrinterDriverA(nullptr, 6, &d.info)); },
       ERROR_UNKNOWN_PORT},
      {"unknown print processor", Printer("ORVANE", "ORVANEPORT", "nosuch"), [] {},
       ERROR_UNKNOWN_PRINTPROCESSOR},
      {"comma in the name", Printer("ORV,ANE"), [] {}, ERROR_INVALID_PRINTER_NAME},
      {"success, ports compared without case", Printer("ORVANE", "orvaneport"), [] {}, 0},
      {"second add", Printer(), [] {}, ERROR_PRINTER_ALREADY_EXISTS},
  };
  for (const Row& row : rows) {
    row.before();
    m->SetLastError(kPoison);
    HANDLE h = m->AddPrinterA(nullptr, 2, &row.printer);
    EXPECT_EQ(h != kNullHandle, row.error == 0) << row.label;
    EXPECT_EQ(m->GetLastError(), row.error ? row.error : kPoison) << row.label;
    if (h != kNullHandle) {
      EXPECT_TRUE(m->ClosePrinter(h)) << row.label;
    }
  }
  const std::string printer = kPrint + "\\Printers\\ORVANE";
  EXPECT_EQ(SzValue(*m, printer, "Datatype"), std::string("RAW\0", 4));
  EXPECT_EQ(SzValue(*m, printer, "Port"), std::string("orvaneport\0", 11));
  EXPECT_EQ(SzValue(*m, printer, "Attributes", REG_DWORD), std::string(4, '\0'));

  m->SetLastError(kPoison);
  EXPECT_FALSE(m->DeletePrinterDriverA(nullptr, nullptr, kDriver));
  EXPECT_EQ(m->GetLastError(), ERROR_PRINTER_DRIVER_IN_USE);
  EXPECT_FALSE(m->DeleteMonitorA(nullptr, nullptr, "ORVANE Monitor"));
  EXPECT_EQ(m->GetLastError(), ERROR_PRINT_MONITOR_IN_USE);

  PRINTER_DEFAULTSA all{nullptr, nullptr, PRINTER_ALL_ACCESS};
  HANDLE h = kNullHandle;
  ASSERT_TRUE(m->OpenPrinterA("orvane", &h, &all));
  ASSERT_TRUE(m->DeletePrinter(h));
  EXPECT_FALSE(m->registry().KeyExists(printer));
  EXPECT_FALSE(m->DeletePrinter(h));
  EXPECT_EQ(m->GetLastError(), 1905u) << "ERROR_PRINTER_DELETED";
  EXPECT_TRUE(m->ClosePrinter(h));

  EXPECT_TRUE(m->DeletePrinterDriverA(nullptr, "Windows NT x86", kDriver));
  EXPECT_FALSE(m->registry().KeyExists(kXpDrivers + "\\Version-3\\" + kDriver));
  EXPECT_TRUE(m->files().Exists(d.dir + "\\3\\pscript5.dll")) << "the files stay";
  EXPECT_FALSE(m->DeletePrinterDriverA(nullptr, nullptr, kDriver));
  EXPECT_EQ(m->GetLastError(), ERROR_UNKNOWN_PRINTER_DRIVER);
  EXPECT_TRUE(m->DeleteMonitorA(nullptr, nullptr, "ORVANE Monitor"));
  EXPECT_TRUE(m->LeakReport().empty());
}

TEST(Printers, KeyWrittenByTheInstallerIsNoPrinterAndKeepsItsData) {
  SimMachine m(WindowsVersion::kWinXp);
  InstallMonitorWithPort(*m);
  XpDriver d(*m);
  d.PutFiles(*m);
  ASSERT_TRUE(m->AddPrinterDriverA(nullptr, 6, &d.info));
  const std::string printer = kPrint + "\\Printers\\ORVANE";
  m->registry().PutValue(printer + "\\PrinterDriverData", "PrinterData", REG_BINARY,
                         {1, 2});
  m->registry().PutValue(printer, "Default DevMode", REG_BINARY, {3, 4});

  HANDLE h = kNullHandle;
  m->SetLastError(kPoison);
  EXPECT_FALSE(m->OpenPrinterA("ORVANE", &h, nullptr));
  EXPECT_EQ(m->GetLastError(), ERROR_INVALID_PRINTER_NAME);
  PRINTER_INFO_2A p = Printer();
  h = m->AddPrinterA(nullptr, 2, &p);
  ASSERT_NE(h, kNullHandle);
  EXPECT_TRUE(m->registry().GetValue(printer + "\\PrinterDriverData", "PrinterData"));
  EXPECT_TRUE(m->registry().GetValue(printer, "Default DevMode"));
  EXPECT_EQ(SzValue(*m, printer, "Printer Driver"), std::string(kDriver) + '\0');

  // Deleting the printer takes its whole key, the installer's data too.
  ASSERT_TRUE(m->DeletePrinter(h));
  EXPECT_FALSE(m->registry().KeyExists(printer));
  EXPECT_EQ(m->LeakReport(), (std::vector<std::string>{"1 printer handle(s) left open"}));
  EXPECT_TRUE(m->ClosePrinter(h));
}

TEST(Printers, HandlesAccessAndFaults) {
  SimMachine m(WindowsVersion::kWinXp);
  InstallMonitorWithPort(*m);
  XpDriver d(*m);
  d.PutFiles(*m);
  ASSERT_TRUE(m->AddPrinterDriverA(nullptr, 6, &d.info));
  PRINTER_INFO_2A p = Printer();
  ASSERT_TRUE(m->ClosePrinter(m->AddPrinterA(nullptr, 2, &p)));

  PRINTER_DEFAULTSA all{nullptr, nullptr, PRINTER_ALL_ACCESS};
  HANDLE h = HANDLE{0x99};
  struct Row {
    const char* label;
    const char* name;
    HANDLE* out;
    const PRINTER_DEFAULTSA* defaults;
    bool admin;
    DWORD error;
  };
  const Row rows[] = {
      {"null out-pointer", "ORVANE", nullptr, nullptr, true, ERROR_INVALID_PARAMETER},
      {"empty name", "", &h, nullptr, true, ERROR_INVALID_PRINTER_NAME},
      {"user asks all access", "ORVANE", &h, &all, false, ERROR_ACCESS_DENIED},
      {"user asks to use", "ORVANE", &h, nullptr, false, 0},
  };
  for (const Row& row : rows) {
    m->SetAdministrator(row.admin);
    m->SetLastError(kPoison);
    BOOL ok = m->OpenPrinterA(row.name, row.out, row.defaults);
    EXPECT_EQ(ok != FALSE, row.error == 0) << row.label;
    EXPECT_EQ(m->GetLastError(), row.error ? row.error : kPoison) << row.label;
    if (ok) {
      EXPECT_FALSE(m->DeletePrinter(h)) << row.label << ": a handle for use only";
      EXPECT_EQ(m->GetLastError(), ERROR_ACCESS_DENIED) << row.label;
      EXPECT_TRUE(m->ClosePrinter(h)) << row.label;
      EXPECT_FALSE(m->ClosePrinter(h)) << row.label << ": closed twice";
      EXPECT_EQ(m->GetLastError(), ERROR_INVALID_HANDLE) << row.label;
    }
  }
  m->SetAdministrator(true);

  // A printer that cannot be deleted.
  m->faults().Add({"DeletePrinter", "ORVANE", ERROR_ACCESS_DENIED, FaultMode::kOnce});
  ASSERT_TRUE(m->OpenPrinterA("ORVANE", &h, &all));
  EXPECT_FALSE(m->DeletePrinter(h));
  EXPECT_EQ(m->GetLastError(), ERROR_ACCESS_DENIED);
  EXPECT_TRUE(m->spooler().PrinterExists("ORVANE"));
  // A restart of the spooler invalidates the handles it gave out.
  m->services().StopSpoolerNow(m->spooler());
  m->services().StartSpoolerNow(m->spooler());
  EXPECT_FALSE(m->DeletePrinter(h));
  EXPECT_EQ(m->GetLastError(), ERROR_INVALID_HANDLE);
  EXPECT_FALSE(m->ClosePrinter(h));
  EXPECT_EQ(m->spooler().OpenHandleCount(), 0u);
}

// The "ask the size" protocol, for every listing.
TEST(Listings, BufferProtocolOfTheSpoolersListings) {
  SimMachine m(WindowsVersion::kWinXp);
  InstallMonitorWithPort(*m);
  XpDriver driver(*m);
  driver.PutFiles(*m);
  ASSERT_TRUE(m->AddPrinterDriverA(nullptr, 6, &driver.info));
  for (const char* name : {"ORVANE", "ORVANE 2"}) {
    PRINTER_INFO_2A printer = Printer(name);
    ASSERT_TRUE(m->ClosePrinter(m->AddPrinterA(nullptr, 2, &printer))) << name;
  }
  // Lists at `level` into a buffer of `size` bytes; *count is the size of
  // the entry vector afterwards (one placeholder entry on the way in).
  using Enum = std::function<BOOL(DWORD level, DWORD size, DWORD*, DWORD*, std::size_t*)>;
  struct Listing {
    const char* label;
    DWORD level;
    DWORD refused_level;
    std::size_t entries;  // at least
    Enum list;
  };
  const Listing listings[] = {
      {"EnumPortsA level 2", 2, 3, 2,
       [&](DWORD level, DWORD size, DWORD* needed, DWORD* returned, std::size_t* count) {
         std::vector<PortInfo2> e(1);
         BOOL ok = m->EnumPortsA(nullptr, level, size, needed, returned, &e);
         *count = e.size();
         if (ok) {
           EXPECT_EQ(e.front().pPortName, "COM1:") << "local ports first";
           EXPECT_EQ(e.back().pDescription, "PDF") << e.back().pPortName;
         }
         return ok;
       }},
      {"EnumMonitorsA level 1", 1, 3, 2,
       [&](DWORD level, DWORD size, DWORD* needed, DWORD* returned, std::size_t* count) {
         std::vector<MonitorInfo1> e(1);
         BOOL ok = m->EnumMonitorsA(nullptr, level, size, needed, returned, &e);
         *count = e.size();
         return ok;
       }},
      {"EnumPrintersA level 2", 2, 1, 2,
       [&](DWORD level, DWORD size, DWORD* needed, DWORD* returned, std::size_t* count) {
         std::vector<PrinterInfo2> e(1);
         BOOL ok = m->EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, level, size, needed,
                                    returned, &e);
         *count = e.size();
         if (ok) {
           EXPECT_EQ(e.front().pPortName, "ORVANEPORT");
           EXPECT_EQ(e.front().pDriverName, kDriver);
         }
         return ok;
       }},
      {"EnumPrinterDriversA level 3", 3, 2, 1,
       [&](DWORD level, DWORD size, DWORD* needed, DWORD* returned, std::size_t* count) {
         std::vector<DriverInfo3> e(1);
         BOOL ok = m->EnumPrinterDriversA(nullptr, nullptr, level, size, needed, returned, &e);
         *count = e.size();
         if (ok) {
           // The files where the spooler keeps them: its version folder.
           EXPECT_EQ(e.front().pDataFile, driver.dir + "\\3\\orvaneps5.ppd");
           EXPECT_EQ(e.front().pDependentFiles.back(), driver.dir + "\\3\\pscript.ntf");
         }
         return ok;
       }},
  };
  for (const auto& [label, level, refused, entries, list] : listings) {
    DWORD needed = kPoison, returned = kPoison;
    std::size_t count = 0;
    m->SetLastError(kPoison);
    EXPECT_FALSE(list(level, 0, &needed, &returned, &count)) << label;
    EXPECT_EQ(m->GetLastError(), ERROR_INSUFFICIENT_BUFFER) << label;
    EXPECT_EQ(returned, 0u) << label;
    ASSERT_GT(needed, 0u) << label;
    const DWORD size = needed;

    needed = returned = kPoison;
    EXPECT_FALSE(list(level, size - 1, &needed, &returned, &count)) << label;
    EXPECT_EQ(m->GetLastError(), ERROR_INSUFFICIENT_BUFFER) << label;
    EXPECT_EQ(needed, size) << label;
    EXPECT_EQ(returned, 0u) << label;
    EXPECT_EQ(count, 1u) << label << ": entries untouched";

    m->SetLastError(kPoison);
    EXPECT_TRUE(list(level, size, &needed, &returned, &count)) << label;
    EXPECT_EQ(m->GetLastError(), kPoison) << label;
    EXPECT_EQ(returned, count) << label;
    EXPECT_GE(count, entries) << label;

    EXPECT_FALSE(list(refused, 4096, &needed, &returned, &count)) << label << ": level "
                                                                   << refused;
    EXPECT_EQ(m->GetLastError(), ERROR_INVALID_LEVEL) << label;
  }
}

}  // namespace
}  // namespace orvane::winsim
