// The service manager, the window broadcast and the restart of the machine,
// through the Platform interface, stated as Windows answers.
#include <gtest/gtest.h>

#include <functional>

#include "sim_fixture.h"
#include "winsim/machine_store.h"

namespace orvane::winsim {
namespace {

using namespace orvane::win;
using testing::SimMachine;
using testing::TempDir;

constexpr DWORD kPoison = 0xDEADBEEF;
constexpr DWORD kStartStop = SERVICE_START | SERVICE_STOP;
constexpr DWORD SC_MANAGER_CREATE_SERVICE = 0x2;
constexpr DWORD SERVICE_CONTROL_PAUSE = 2;
constexpr DWORD SERVICE_CONTROL_INTERROGATE = 4;
constexpr DWORD SERVICE_CONTROL_SHUTDOWN = 5;

// Opens the Spooler as an administrator with the rights the installer asks for.
SC_HANDLE OpenSpooler(Machine& m, DWORD access = kStartStop) {
  SC_HANDLE manager = m.OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
  SC_HANDLE service = m.OpenServiceA(manager, "Spooler", access);
  m.CloseServiceHandle(manager);
  return service;
}

TEST(Services, Windows9xHasOnlyStubs) {
  for (WindowsVersion version :
       {WindowsVersion::kWin95, WindowsVersion::kWin98, WindowsVersion::kWinMe}) {
    SimMachine m(version);
    SERVICE_STATUS status;
    const std::function<bool()> calls[] = {
        [&] {
          return m->OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT) !=
                 kNullServiceHandle;
        },
        [&] {
          return m->OpenServiceA(kNullServiceHandle, "Spooler", kStartStop) !=
                 kNullServiceHandle;
        },
        [&] {
          return m->ControlService(kNullServiceHandle, SERVICE_CONTROL_STOP, &status) !=
                 FALSE;
        },
        [&] { return m->StartServiceA(kNullServiceHandle, 0, nullptr) != FALSE; },
        [&] { return m->QueryServiceStatus(kNullServiceHandle, &status) != FALSE; },
    };
    for (std::size_t i = 0; i < std::size(calls); ++i) {
      m->SetLastError(kPoison);
      EXPECT_FALSE(calls[i]()) << Profile(version).name << " call " << i;
      EXPECT_EQ(m->GetLastError(), 120u) << Profile(version).name << " call " << i;
    }
  }
}

struct ManagerRow {
  const char* name;
  bool administrator;
  const char* machine;
  const char* database;
  DWORD access;
  DWORD error;  // 0: opens
};

TEST(Services, OpeningTheManagerChecksMachineDatabaseAndRights) {
  const ManagerRow rows[] = {
      {"administrator, all access", true, nullptr, nullptr, SC_MANAGER_ALL_ACCESS, 0},
      {"user, all access", false, nullptr, nullptr, SC_MANAGER_ALL_ACCESS, 5},
      {"user, create service", false, nullptr, nullptr, SC_MANAGER_CREATE_SERVICE, 5},
      {"user, connect", false, nullptr, nullptr, SC_MANAGER_CONNECT, 0},
      {"user, generic read", false, nullptr, nullptr, GENERIC_READ, 0},
      {"user, nothing asked (connect implied)", false, nullptr, nullptr, 0, 0},
      {"empty machine name is this one", true, "", "ServicesActive", 0, 0},
      {"active database in any case", true, nullptr, "servicesactive", 0, 0},
      {"failed database", true, nullptr, "ServicesFailed", 0, 1065},
      {"unknown database", true, nullptr, "DoesNotExist", 0, 123},
      {"another machine", true, "\\\\OTHER", nullptr, 0, 1722},
  };
  for (const ManagerRow& row : rows) {
    SimMachine m(WindowsVersion::kWinXp);
    m->SetAdministrator(row.administrator);
    m->SetLastError(kPoison);
    SC_HANDLE h = m->OpenSCManagerA(row.machine, row.database, row.access);
    EXPECT_EQ(h != kNullServiceHandle, row.error == 0) << row.name;
    EXPECT_EQ(m->GetLastError(), row.error) << row.name;
    if (h != kNullServiceHandle) {
      EXPECT_TRUE(m->CloseServiceHandle(h)) << row.name;
    }
    EXPECT_TRUE(m->LeakReport().empty()) << row.name;
  }
}

struct ServiceRow {
  const char* name;
  WindowsVersion version;
  bool administrator;
  const char* service;
  DWORD access;
  DWORD error;  // 0: opens
};

TEST(Services, OpeningTheSpoolerChecksNameAndRights) {
  const auto xp = WindowsVersion::kWinXp;
  const ServiceRow rows[] = {
      {"administrator, start and stop", xp, true, "Spooler", kStartStop, 0},
      {"name in any case", WindowsVersion::kNt4, true, "SPOOLER", SERVICE_ALL_ACCESS, 0},
      {"user, start and stop", xp, false, "Spooler", kStartStop, 5},
      {"user, generic read", xp, false, "Spooler", GENERIC_READ, 0},
      {"user, query status", xp, false, "Spooler", SERVICE_QUERY_STATUS, 0},
      {"display name", xp, true, "Print Spooler", kStartStop, 1060},
      {"unknown service", xp, true, "NoSuchService", kStartStop, 1060},
      {"unknown before rights", xp, false, "NoSuchService", kStartStop, 1060},
      {"empty name", xp, true, "", kStartStop, 123},
      {"null name, XP", xp, true, nullptr, kStartStop, 487},
      {"null name, NT 4", WindowsVersion::kNt4, true, nullptr, kStartStop, 87},
  };
  for (const ServiceRow& row : rows) {
    SimMachine m(row.version);
    m->SetAdministrator(row.administrator);
    SC_HANDLE manager = m->OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT);
    ASSERT_NE(manager, kNullServiceHandle) << row.name;
    m->SetLastError(kPoison);
    SC_HANDLE h = m->OpenServiceA(manager, row.service, row.access);
    EXPECT_EQ(h != kNullServiceHandle, row.error == 0) << row.name;
    EXPECT_EQ(m->GetLastError(), row.error ? row.error : kPoison) << row.name;
    if (h != kNullServiceHandle) m->CloseServiceHandle(h);
    m->CloseServiceHandle(manager);
  }
}

// Wine's test_query_svc: the handle first, then the record, then the right.
TEST(Services, QueryServiceStatusChecksHandleRecordThenRight) {
  const struct {
    const char* name;
    WindowsVersion version;
    DWORD access;  // 0: a null handle
    bool record;
    DWORD error;  // 0: answers
  } rows[] = {
      {"null handle and record", WindowsVersion::kWinXp, 0, false, ERROR_INVALID_HANDLE},
      {"null record, XP", WindowsVersion::kWinXp, SERVICE_START, false, 487},
      {"null record, NT 4", WindowsVersion::kNt4, SERVICE_START, false, 87},
      {"no query right", WindowsVersion::kWinXp, SERVICE_START, true, ERROR_ACCESS_DENIED},
      {"query right", WindowsVersion::kWinXp, SERVICE_QUERY_STATUS, true, 0},
  };
  for (const auto& row : rows) {
    SimMachine m(row.version);
    SC_HANDLE service = row.access ? OpenSpooler(*m, row.access) : kNullServiceHandle;
    SERVICE_STATUS status;
    status.dwCurrentState = kPoison;
    m->SetLastError(kPoison);
    EXPECT_EQ(m->QueryServiceStatus(service, row.record ? &status : nullptr), row.error == 0)
        << row.name;
    EXPECT_EQ(m->GetLastError(), row.error ? row.error : kPoison) << row.name;
    EXPECT_EQ(status.dwCurrentState, row.error ? kPoison : SERVICE_RUNNING) << row.name;
    if (service != kNullServiceHandle) m->CloseServiceHandle(service);
  }
}

// One step on one Spooler handle: wait, then send a control (or kStart: call
// StartServiceA), then look at the result, the status record and the state.
constexpr DWORD kStart = 0;
constexpr DWORD kStop = SERVICE_CONTROL_STOP;

struct StepRow {
  const char* name;
  DWORD sleep_before;
  DWORD act;
  DWORD error;         // 0: succeeds
  DWORD status_state;  // 0: the status record is left alone
  ServiceState after;
};

void RunSteps(SimMachine& m, SC_HANDLE service, std::span<const StepRow> steps) {
  for (const StepRow& row : steps) {
    if (row.sleep_before) m->Sleep(row.sleep_before);
    SERVICE_STATUS status;
    status.dwCurrentState = kPoison;
    m->SetLastError(kPoison);
    BOOL ok = row.act == kStart ? m->StartServiceA(service, 0, nullptr)
                                : m->ControlService(service, row.act, &status);
    EXPECT_EQ(ok != FALSE, row.error == 0) << row.name;
    EXPECT_EQ(m->GetLastError(), row.error ? row.error : kPoison) << row.name;
    EXPECT_EQ(status.dwCurrentState, row.status_state ? row.status_state : kPoison)
        << row.name;
    EXPECT_EQ(m->services().SpoolerState(m->now_ms()), row.after) << row.name;
    EXPECT_EQ(m->services().SpoolerRunning(m->now_ms()),
              row.after == ServiceState::kRunning)
        << row.name;
  }
}

TEST(Services, TheSpoolerStopsInVirtualTimeAndStartsAtOnce) {
  using S = ServiceState;
  constexpr DWORD kInterrogate = SERVICE_CONTROL_INTERROGATE;
  const StepRow steps[] = {
      {"interrogate", 0, kInterrogate, 0, SERVICE_RUNNING, S::kRunning},
      {"pause is not accepted", 0, SERVICE_CONTROL_PAUSE, 1052, SERVICE_RUNNING,
       S::kRunning},
      {"shutdown cannot be sent", 0, SERVICE_CONTROL_SHUTDOWN, 87, 0, S::kRunning},
      {"stop", 0, kStop, 0, SERVICE_STOP_PENDING, S::kStopPending},
      {"stop while stopping", 0, kStop, 1061, SERVICE_STOP_PENDING, S::kStopPending},
      {"start while stopping", 0, kStart, 1056, 0, S::kStopPending},
      {"stop after the pause", 500, kStop, 1062, SERVICE_STOPPED, S::kStopped},
      {"start a stopped spooler", 0, kStart, 0, 0, S::kRunning},
      {"start a running spooler", 0, kStart, 1056, 0, S::kRunning},
      {"stop once more", 0, kStop, 0, SERVICE_STOP_PENDING, S::kStopPending},
      {"just before it ends", 199, kInterrogate, 1061, SERVICE_STOP_PENDING,
       S::kStopPending},
      {"when it ends", 1, kInterrogate, 1062, SERVICE_STOPPED, S::kStopped},
  };
  SimMachine m(WindowsVersion::kWinXp);
  SC_HANDLE service = OpenSpooler(*m, SERVICE_ALL_ACCESS);
  ASSERT_NE(service, kNullServiceHandle);
  RunSteps(m, service, steps);
  EXPECT_TRUE(m->CloseServiceHandle(service));
  EXPECT_TRUE(m->LeakReport().empty());
}

TEST(Services, ASlowStopOutlastsTheInstallersPause) {
  const StepRow steps[] = {
      {"stop", 0, kStop, 0, SERVICE_STOP_PENDING, ServiceState::kStopPending},
      {"start after 500 ms", 500, kStart, 1056, 0, ServiceState::kStopPending},
      {"the stop still ends", 2500, kStop, 1062, SERVICE_STOPPED, ServiceState::kStopped},
  };
  SimMachine m(WindowsVersion::kNt4);
  m->services().SetSpoolerStopMs(3000);
  SC_HANDLE service = OpenSpooler(*m, SERVICE_ALL_ACCESS);
  RunSteps(m, service, steps);
  m->Sleep(60000);
  EXPECT_FALSE(m->services().SpoolerRunning(m->now_ms())) << "stopped until started";
  m->CloseServiceHandle(service);
}

TEST(Services, AHandleDoesOnlyWhatItsRightsAllow) {
  constexpr ServiceState kRunning = ServiceState::kRunning;
  const struct {
    DWORD access;
    StepRow step;
  } rows[] = {
      {SERVICE_START | SERVICE_QUERY_STATUS,
       {"stop without SERVICE_STOP", 0, kStop, 5, 0, kRunning}},
      {SERVICE_STOP, {"start without SERVICE_START", 0, kStart, 5, 0, kRunning}},
      {kStartStop,
       {"interrogate without its right", 0, SERVICE_CONTROL_INTERROGATE, 5, 0, kRunning}},
  };
  for (const auto& row : rows) {
    SimMachine m(WindowsVersion::kWin2000);
    SC_HANDLE service = OpenSpooler(*m, row.access);
    ASSERT_NE(service, kNullServiceHandle) << row.step.name;
    RunSteps(m, service, std::span(&row.step, 1));
    m->CloseServiceHandle(service);
  }
}

TEST(Services, NullClosedAndForeignHandlesAreInvalid) {
  SimMachine m(WindowsVersion::kWinXp);
  SC_HANDLE manager = m->OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
  SC_HANDLE service = m->OpenServiceA(manager, "Spooler", kStartStop);
  SC_HANDLE closed = m->OpenServiceA(manager, "Spooler", kStartStop);
  ASSERT_TRUE(m->CloseServiceHandle(closed));
  const StepRow stop = {"", 0, kStop, ERROR_INVALID_HANDLE, 0, ServiceState::kRunning};
  const StepRow start = {"", 0, kStart, ERROR_INVALID_HANDLE, 0, ServiceState::kRunning};
  for (SC_HANDLE handle : {kNullServiceHandle, closed, manager, SC_HANDLE{0x1000}}) {
    SCOPED_TRACE(static_cast<std::uintptr_t>(handle));
    RunSteps(m, handle, std::span(&stop, 1));
    RunSteps(m, handle, std::span(&start, 1));
  }
  m->SetLastError(kPoison);
  EXPECT_EQ(m->OpenServiceA(service, "Spooler", kStartStop), kNullServiceHandle);
  EXPECT_EQ(m->GetLastError(), ERROR_INVALID_HANDLE) << "a service for a manager";
  EXPECT_FALSE(m->CloseServiceHandle(closed));
  EXPECT_EQ(m->GetLastError(), ERROR_INVALID_HANDLE) << "closed twice";
  EXPECT_EQ(m->LeakReport(), std::vector<std::string>{"2 service handle(s) left open"});
  m->CloseServiceHandle(service);
  m->CloseServiceHandle(manager);
  EXPECT_TRUE(m->LeakReport().empty());
}

TEST(Services, InjectedFailuresComeFirst) {
  // The installer's restart, with one of its calls failing; the codes are
  // those a test would inject, not ones the model gives itself.
  const struct {
    const char* call;
    DWORD code;
    std::vector<DWORD> errors;  // after each call of the restart
    bool running;               // afterwards
  } rows[] = {
      {"OpenSCManagerA", 5, {5, 6, 6, 6}, true},
      {"OpenServiceA", 1058, {0, 1058, 6, 6}, true},
      {"ControlService", 1051, {0, 0, 1051, 1056}, true},
      {"StartServiceA", 1053, {0, 0, 0, 1053}, false},
  };
  for (const auto& row : rows) {
    SimMachine m(WindowsVersion::kWinXp);
    m->faults().Add({row.call, "", row.code, FaultMode::kOnce});
    std::vector<DWORD> errors;
    SC_HANDLE manager = m->OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    errors.push_back(m->GetLastError());
    SC_HANDLE service = m->OpenServiceA(manager, "Spooler", kStartStop);
    errors.push_back(m->GetLastError());
    SERVICE_STATUS status;
    m->ControlService(service, SERVICE_CONTROL_STOP, &status);
    errors.push_back(m->GetLastError());
    m->Sleep(500);
    m->StartServiceA(service, 0, nullptr);
    errors.push_back(m->GetLastError());
    EXPECT_EQ(errors, row.errors) << row.call;
    EXPECT_EQ(m->faults().faults()[0].fired, 1) << row.call;
    EXPECT_EQ(m->services().SpoolerRunning(m->now_ms()), row.running) << row.call;
    m->CloseServiceHandle(service);
    m->CloseServiceHandle(manager);
  }
}

TEST(Services, StateAndStopTimeSurviveSaveAndLoad) {
  TempDir dir;
  {
    MachineFolder folder(dir.path(), std::chrono::seconds(1), true);
    Machine m(WindowsVersion::kWinXp, folder.drive_c());
    m.services().SetSpoolerStopMs(1500);
    SC_HANDLE service = OpenSpooler(m);
    SERVICE_STATUS status;
    ASSERT_TRUE(m.ControlService(service, SERVICE_CONTROL_STOP, &status));
    m.Sleep(500);
    m.CloseServiceHandle(service);
    folder.Save(m);
  }
  for (int run = 0; run < 2; ++run) {
    MachineFolder folder(dir.path(), std::chrono::seconds(1));
    auto m = folder.Load();
    EXPECT_EQ(m->services().spooler_stop_ms(), 1500) << run;
    std::int64_t now = m->now_ms();
    // The first run finds the stop with 1000 ms to go, and lets them pass.
    EXPECT_EQ(m->services().SpoolerState(now + 999),
              run == 0 ? ServiceState::kStopPending : ServiceState::kStopped)
        << run;
    EXPECT_EQ(m->services().SpoolerState(now + 1000), ServiceState::kStopped) << run;
    m->Sleep(1000);
    folder.Save(*m);
  }
}

TEST(Reboot, ReleasesFilesRestartsTheSpoolerAndReplacesFiles) {
  SimMachine m(WindowsVersion::kWinXp);
  FileSystem& files = m->files();
  const std::string system = m->profile().system_dir;
  files.WriteAll(system + "\\orvmon.dll", "old");
  files.WriteAll(system + "\\orvmon.new", "new");
  files.WriteAll(system + "\\kept.dll", "kept");
  files.WriteAll(system + "\\kept.new", "not taken");
  files.WriteAll(system + "\\gone.tmp", "x");
  files.WriteAll("C:\\held.log", "x");
  files.MarkInUse(system + "\\orvmon.dll");
  files.HoldByOtherProcess("C:\\held.log", 0);
  // Source and destination in turn: "!" replaces, an empty one deletes.
  std::string ops;
  for (const char* name :
       {"orvmon.new", "!orvmon.dll", "kept.new", "kept.dll", "gone.tmp"}) {
    bool bang = *name == '!';
    ops += std::string(bang ? "!" : "") + "\\??\\" + system + "\\" + (name + bang) + '\0';
  }
  ops += std::string(2, '\0');
  const std::string session = "HKLM\\SYSTEM\\CurrentControlSet\\Control\\Session Manager";
  m->registry().PutValue(session, "PendingFileRenameOperations", REG_MULTI_SZ,
                         std::vector<BYTE>(ops.begin(), ops.end()));
  m->services().StopSpoolerNow(m->spooler());

  m->Reboot();
  EXPECT_TRUE(m->services().SpoolerRunning(m->now_ms()));
  EXPECT_TRUE(files.holds().empty());
  EXPECT_TRUE(m->DeleteFileA("C:\\held.log")) << "no longer held";
  auto text = [&](const std::string& path) {
    auto bytes = files.ReadAll(path);
    return bytes ? std::string(bytes->begin(), bytes->end()) : "(missing)";
  };
  EXPECT_EQ(text(system + "\\orvmon.dll"), "new");
  EXPECT_EQ(text(system + "\\orvmon.new"), "(missing)");
  EXPECT_EQ(text(system + "\\kept.dll"), "kept") << "a rename without ! does not replace";
  EXPECT_EQ(text(system + "\\gone.tmp"), "(missing)");
  EXPECT_FALSE(m->registry().GetValue(session, "PendingFileRenameOperations"));
  EXPECT_EQ(m.Events("reboot").size(), 1u);
}

TEST(Reboot, Windows98TakesItsReplacementsFromWininit) {
  SimMachine m(WindowsVersion::kWin98);
  FileSystem& files = m->files();
  files.WriteAll("C:\\WINDOWS\\SYSTEM\\orvmon.dll", "old");
  files.WriteAll("C:\\WINDOWS\\SYSTEM\\orvmon.new", "new");
  files.WriteAll("C:\\WINDOWS\\SYSTEM\\stale.tmp", "x");
  files.MarkInUse("C:\\WINDOWS\\SYSTEM\\orvmon.dll");
  files.WriteAll("C:\\WINDOWS\\wininit.ini",
                 "[Other]\r\nC:\\x=C:\\y\r\n[rename]\r\n"
                 "NUL=C:\\WINDOWS\\SYSTEM\\stale.tmp\r\n"
                 "C:\\WINDOWS\\SYSTEM\\orvmon.dll=C:\\WINDOWS\\SYSTEM\\orvmon.new\r\n");
  m->Reboot();
  auto dll = files.ReadAll("C:\\WINDOWS\\SYSTEM\\orvmon.dll");
  ASSERT_TRUE(dll);
  EXPECT_EQ(std::string(dll->begin(), dll->end()), "new");
  EXPECT_FALSE(files.Exists("C:\\WINDOWS\\SYSTEM\\orvmon.new"));
  EXPECT_FALSE(files.Exists("C:\\WINDOWS\\SYSTEM\\stale.tmp"));
  EXPECT_FALSE(files.Exists("C:\\WINDOWS\\wininit.ini"));
  EXPECT_TRUE(files.Exists("C:\\WINDOWS\\WININIT.BAK"));
  EXPECT_TRUE(m->services().SpoolerRunning(m->now_ms()));
}

TEST(Broadcast, AHungWindowCostsTheTimeoutInVirtualTime) {
  SimMachine m(WindowsVersion::kWinXp);
  m->faults().Add({"SendMessageA", "Environment", 1460, FaultMode::kOnce});
  const char* area = "Environment";
  const auto lParam = reinterpret_cast<LPARAM>(area);
  std::int64_t before = m->now_ms();

  m->SetLastError(kPoison);
  EXPECT_EQ(m->SendMessageA(HWND_BROADCAST, WM_SETTINGCHANGE, 0, lParam), 0);
  EXPECT_EQ(m->GetLastError(), 1460u);
  EXPECT_EQ(m->now_ms() - before, 5000);
  EXPECT_TRUE(m.Events("sleep").empty()) << "the wait is no pause of the program's";

  m->SetLastError(kPoison);
  EXPECT_EQ(m->SendMessageA(HWND_BROADCAST, WM_SETTINGCHANGE, 0, lParam), 0);
  EXPECT_EQ(m->GetLastError(), kPoison) << "every window answers this time";
  EXPECT_EQ(m->now_ms() - before, 5000);

  auto sent = m.Events("sendmessage");
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(sent[0], (std::vector<std::string>{"sendmessage", "0xffff", "0x1a", "0",
                                               "Environment", "hung"}));
  EXPECT_EQ(sent[1], (std::vector<std::string>{"sendmessage", "0xffff", "0x1a", "0",
                                               "Environment"}));
}

}  // namespace
}  // namespace orvane::winsim
