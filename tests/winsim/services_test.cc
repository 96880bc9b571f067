// The service manager (Wine's checks no rights), the Spooler's stop in virtual
// time, the window broadcast and the restart of the machine.
#include <gtest/gtest.h>

#include <functional>

#include "sim_fixture.h"
#include "winsim/machine_store.h"

namespace orvane::winsim {
namespace {

using namespace orvane::win;
using testing::SimMachine;

constexpr DWORD kPoison = 0xDEADBEEF;
constexpr DWORD kStartStop = SERVICE_START | SERVICE_STOP;

SC_HANDLE OpenSpooler(Machine& m, DWORD access = kStartStop) {
  SC_HANDLE manager = m.OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
  SC_HANDLE service = m.OpenServiceA(manager, "Spooler", access);
  m.CloseServiceHandle(manager);
  return service;
}

// The last call's error; 0 for a success that left the value alone.
DWORD Error(Machine& m, bool ok) {
  return ok && m.GetLastError() == kPoison ? 0 : m.GetLastError();
}

TEST(Services, Windows9xHasOnlyStubs) {
  SimMachine m(WindowsVersion::kWin98);
  SERVICE_STATUS status;
  const SC_HANDLE none = kNullServiceHandle;
  const std::function<bool()> calls[] = {
      [&] { return m->OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT) != none; },
      [&] { return m->OpenServiceA(none, "Spooler", kStartStop) != none; },
      [&] { return m->ControlService(none, SERVICE_CONTROL_STOP, &status) != FALSE; },
      [&] { return m->StartServiceA(none, 0, nullptr) != FALSE; },
      [&] { return m->QueryServiceStatus(none, &status) != FALSE; },
  };
  for (const auto& call : calls) {
    m->SetLastError(kPoison);
    EXPECT_EQ(Error(*m, call()), 120u);
  }
}

// OpenSCManagerA, then OpenServiceA("Spooler"), then QueryServiceStatus on
// it: the machine and database, the name, the rights of a user who is no
// administrator, the status record [Wine test service.c: test_open_scm,
// test_open_svc, test_query_svc].
TEST(Services, OpeningChecksNamesThenRights) {
  enum Step { kManager, kService, kQuery };
  struct Row {
    const char* name;
    WindowsVersion version;
    bool administrator;
    Step step;
    const char *machine, *text;  // the database or the service name
    DWORD access;
    DWORD error;
  };
  const auto xp = WindowsVersion::kWinXp, nt4 = WindowsVersion::kNt4;
  const Row rows[] = {
      {"user, all access", xp, false, kManager, nullptr, nullptr, SC_MANAGER_ALL_ACCESS, 5},
      {"user, create service", xp, false, kManager, nullptr, nullptr, 0x2, 5},
      {"user, connect", xp, false, kManager, nullptr, nullptr, SC_MANAGER_CONNECT, 0},
      {"user, generic read", xp, false, kManager, nullptr, nullptr, GENERIC_READ, 0},
      {"user, nothing asked", xp, false, kManager, nullptr, nullptr, 0, 0},
      {"empty machine name", xp, true, kManager, "", "ServicesActive", 0, 0},
      {"database in any case", xp, true, kManager, nullptr, "servicesactive", 0, 0},
      {"failed database", xp, true, kManager, nullptr, "ServicesFailed", 0, 1065},
      {"unknown database", xp, true, kManager, nullptr, "DoesNotExist", 0, 123},
      {"another machine", xp, true, kManager, "\\\\OTHER", nullptr, 0, 1722},
      {"service name in any case", nt4, true, kService, nullptr, "SPOOLER", SERVICE_ALL_ACCESS, 0},
      {"user, start and stop", xp, false, kService, nullptr, "Spooler", kStartStop, 5},
      {"user, query status", xp, false, kService, nullptr, "Spooler", SERVICE_QUERY_STATUS, 0},
      {"display name", xp, true, kService, nullptr, "Print Spooler", kStartStop, 1060},
      {"unknown before rights", xp, false, kService, nullptr, "NoSuchService", kStartStop, 1060},
      {"empty name", xp, true, kService, nullptr, "", kStartStop, 123},
      {"null name, XP", xp, true, kService, nullptr, nullptr, kStartStop, 487},
      {"null name, NT 4", nt4, true, kService, nullptr, nullptr, kStartStop, 87},
      {"query: null record, XP", xp, true, kQuery, nullptr, nullptr, SERVICE_START, 487},
      {"query: null record, NT 4", nt4, true, kQuery, nullptr, nullptr, SERVICE_START, 87},
      {"query: no right", xp, true, kQuery, nullptr, "record", SERVICE_START, 5},
      {"query", xp, true, kQuery, nullptr, "record", SERVICE_QUERY_STATUS, 0},
      {"query: null handle", xp, true, kQuery, nullptr, nullptr, 0, ERROR_INVALID_HANDLE},
  };
  for (const Row& r : rows) {
    SimMachine m(r.version);
    m->SetAdministrator(r.administrator);
    SC_HANDLE h = kNullServiceHandle;
    SERVICE_STATUS status{};
    m->SetLastError(kPoison);
    if (r.step == kManager) {
      h = m->OpenSCManagerA(r.machine, r.text, r.access);
      EXPECT_EQ(Error(*m, h != kNullServiceHandle), r.error) << r.name;
    } else if (r.step == kService) {
      SC_HANDLE manager = m->OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT);
      m->SetLastError(kPoison);
      h = m->OpenServiceA(manager, r.text, r.access);
      EXPECT_EQ(Error(*m, h != kNullServiceHandle), r.error) << r.name;
      m->CloseServiceHandle(manager);
    } else {
      h = r.access ? OpenSpooler(*m, r.access) : kNullServiceHandle;
      m->SetLastError(kPoison);
      const BOOL ok = m->QueryServiceStatus(h, r.text ? &status : nullptr);
      EXPECT_EQ(Error(*m, ok), r.error) << r.name;
      EXPECT_EQ(status.dwCurrentState, r.error ? 0 : SERVICE_RUNNING) << r.name;
    }
    if (h != kNullServiceHandle) m->CloseServiceHandle(h);
    EXPECT_TRUE(m->LeakReport().empty()) << r.name;
  }
}

// One step on one Spooler handle: wait, then a control (kStart: StartServiceA),
// then the error, the status record's state (0: left alone) and the state.
constexpr DWORD kStart = 0;
constexpr DWORD kStop = SERVICE_CONTROL_STOP;
constexpr DWORD kAsk = 4;  // SERVICE_CONTROL_INTERROGATE
using S = ServiceState;

struct StepRow {
  const char* name;
  DWORD sleep_before, act, error, status_state;
  ServiceState after;
};

void RunSteps(SimMachine& m, SC_HANDLE service, std::span<const StepRow> steps) {
  for (const StepRow& row : steps) {
    m->Sleep(row.sleep_before);
    SERVICE_STATUS status;
    status.dwCurrentState = kPoison;
    m->SetLastError(kPoison);
    BOOL ok = row.act == kStart ? m->StartServiceA(service, 0, nullptr)
                                : m->ControlService(service, row.act, &status);
    EXPECT_EQ(Error(*m, ok), row.error) << row.name;
    EXPECT_EQ(status.dwCurrentState, row.status_state ? row.status_state : kPoison) << row.name;
    EXPECT_EQ(m->services().SpoolerState(m->now_ms()), row.after) << row.name;
    EXPECT_EQ(m->services().SpoolerRunning(m->now_ms()), row.after == S::kRunning) << row.name;
  }
}

TEST(Services, TheSpoolerStopsInVirtualTimeAndStartsAtOnce) {
  const StepRow steps[] = {
      {"interrogate", 0, kAsk, 0, SERVICE_RUNNING, S::kRunning},
      {"pause is not accepted", 0, 2, 1052, SERVICE_RUNNING, S::kRunning},
      {"shutdown cannot be sent", 0, 5, 87, 0, S::kRunning},
      {"stop", 0, kStop, 0, SERVICE_STOP_PENDING, S::kStopPending},
      {"stop while stopping", 0, kStop, 1061, SERVICE_STOP_PENDING, S::kStopPending},
      {"start while stopping", 0, kStart, 1056, 0, S::kStopPending},
      {"stop after the pause", 500, kStop, 1062, SERVICE_STOPPED, S::kStopped},
      {"start a stopped spooler", 0, kStart, 0, 0, S::kRunning},
      {"start a running spooler", 0, kStart, 1056, 0, S::kRunning},
      {"stop once more", 0, kStop, 0, SERVICE_STOP_PENDING, S::kStopPending},
      {"just before it ends", 199, kAsk, 1061, SERVICE_STOP_PENDING, S::kStopPending},
      {"when it ends", 1, kAsk, 1062, SERVICE_STOPPED, S::kStopped},
  };
  SimMachine m(WindowsVersion::kWinXp);
  SC_HANDLE service = OpenSpooler(*m, SERVICE_ALL_ACCESS);
  RunSteps(m, service, steps);
  EXPECT_TRUE(m->CloseServiceHandle(service));
  // A slow stop (NT 4) outlasts the installer's pause of 500 ms.
  const StepRow slow[] = {
      {"slow stop", 0, kStop, 0, SERVICE_STOP_PENDING, S::kStopPending},
      {"start after 500 ms", 500, kStart, 1056, 0, S::kStopPending},
      {"the stop still ends", 2500, kStop, 1062, SERVICE_STOPPED, S::kStopped},
  };
  SimMachine nt4(WindowsVersion::kNt4);
  nt4->services().SetSpoolerStopMs(3000);
  service = OpenSpooler(*nt4, SERVICE_ALL_ACCESS);
  RunSteps(nt4, service, slow);
  nt4->CloseServiceHandle(service);
}

TEST(Services, HandlesDoOnlyWhatTheirRightsAllow) {
  const std::pair<DWORD, StepRow> rows[] = {
      {SERVICE_START | SERVICE_QUERY_STATUS,
       {"stop without its right", 0, kStop, 5, 0, S::kRunning}},
      {SERVICE_STOP, {"start without its right", 0, kStart, 5, 0, S::kRunning}},
      {kStartStop, {"interrogate without its right", 0, kAsk, 5, 0, S::kRunning}},
  };
  for (const auto& [access, step] : rows) {
    SimMachine m(WindowsVersion::kWin2000);
    SC_HANDLE service = OpenSpooler(*m, access);
    RunSteps(m, service, std::span(&step, 1));
    m->CloseServiceHandle(service);
  }
  SimMachine m(WindowsVersion::kWinXp);
  SC_HANDLE manager = m->OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
  SC_HANDLE service = m->OpenServiceA(manager, "Spooler", kStartStop);
  SC_HANDLE closed = m->OpenServiceA(manager, "Spooler", kStartStop);
  ASSERT_TRUE(m->CloseServiceHandle(closed));
  const StepRow invalid[] = {{"stop", 0, kStop, 6, 0, S::kRunning},
                             {"start", 0, kStart, 6, 0, S::kRunning}};
  for (SC_HANDLE handle : {kNullServiceHandle, closed, manager, SC_HANDLE{0x1000}}) {
    RunSteps(m, handle, invalid);
  }
  m->SetLastError(kPoison);
  EXPECT_EQ(m->OpenServiceA(service, "Spooler", kStartStop), kNullServiceHandle);
  EXPECT_EQ(m->GetLastError(), 6u) << "a service for a manager";
  EXPECT_FALSE(m->CloseServiceHandle(closed));
  EXPECT_EQ(m->LeakReport(), std::vector<std::string>{"2 service handle(s) left open"});
  m->CloseServiceHandle(service);
  m->CloseServiceHandle(manager);
}

TEST(Services, AStopInProgressSurvivesSaveAndLoad) {
  testing::TempDir dir;
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
  for (int run = 0; run < 2; ++run) {  // the first run finds 1000 ms to go
    MachineFolder folder(dir.path(), std::chrono::seconds(1));
    auto m = folder.Load();
    EXPECT_EQ(m->services().spooler_stop_ms(), 1500) << run;
    EXPECT_EQ(m->services().SpoolerState(m->now_ms() + 999),
              run == 0 ? S::kStopPending : S::kStopped) << run;
    EXPECT_EQ(m->services().SpoolerState(m->now_ms() + 1000), S::kStopped) << run;
    m->Sleep(1000);
    folder.Save(*m);
  }
}

// A restart releases files, starts the spooler and carries out the pending
// replacements: PendingFileRenameOperations on NT ("!" replaces, an empty
// target deletes), wininit.ini's [rename] on 98.
TEST(Reboot, ReleasesFilesRestartsTheSpoolerAndReplacesFiles) {
  SimMachine m(WindowsVersion::kWinXp);
  FileSystem& files = m->files();
  const std::string sys = m->profile().system_dir;
  for (const char* f : {"orvmon.dll", "orvmon.new", "kept.dll", "kept.new", "gone.tmp"}) {
    files.WriteAll(sys + "\\" + f, f);
  }
  files.WriteAll("C:\\held.log", "x");
  files.MarkInUse(sys + "\\orvmon.dll");
  files.HoldByOtherProcess("C:\\held.log", 0);
  std::string ops;
  for (const char* name : {"orvmon.new", "!orvmon.dll", "kept.new", "kept.dll", "gone.tmp"}) {
    const bool bang = *name == '!';
    ops += std::string(bang ? "!" : "") + "\\??\\" + sys + "\\" + (name + bang) + '\0';
  }
  ops += std::string(2, '\0');
  const std::string session = "HKLM\\SYSTEM\\CurrentControlSet\\Control\\Session Manager";
  m->registry().PutValue(session, "PendingFileRenameOperations", REG_MULTI_SZ,
                         std::vector<BYTE>(ops.begin(), ops.end()));
  m->services().StopSpoolerNow(m->spooler());
  m->Reboot();
  EXPECT_TRUE(m->services().SpoolerRunning(m->now_ms()));
  EXPECT_TRUE(m->DeleteFileA("C:\\held.log")) << "no longer held";
  auto text = [&](const std::string& path) {
    auto bytes = files.ReadAll(path);
    return bytes ? std::string(bytes->begin(), bytes->end()) : "(missing)";
  };
  EXPECT_EQ(text(sys + "\\orvmon.dll"), "orvmon.new");
  EXPECT_EQ(text(sys + "\\orvmon.new"), "(missing)");
  EXPECT_EQ(text(sys + "\\kept.dll"), "kept.dll") << "a rename without ! does not replace";
  EXPECT_EQ(text(sys + "\\gone.tmp"), "(missing)");
  EXPECT_FALSE(m->registry().GetValue(session, "PendingFileRenameOperations"));
  EXPECT_EQ(m.Events("reboot").size(), 1u);

  SimMachine w98(WindowsVersion::kWin98);
  w98->files().WriteAll("C:\\WINDOWS\\SYSTEM\\orvmon.new", "new");
  w98->files().WriteAll("C:\\WINDOWS\\SYSTEM\\stale.tmp", "x");
  w98->files().WriteAll("C:\\WINDOWS\\wininit.ini",
                        "[Other]\r\nC:\\x=C:\\y\r\n[rename]\r\n"
                        "NUL=C:\\WINDOWS\\SYSTEM\\stale.tmp\r\n"
                        "C:\\WINDOWS\\SYSTEM\\orvmon.dll=C:\\WINDOWS\\SYSTEM\\orvmon.new\r\n");
  w98->Reboot();
  EXPECT_EQ(w98->files().ReadAll("C:\\WINDOWS\\SYSTEM\\orvmon.dll"),
            (std::vector<BYTE>{'n', 'e', 'w'}));
  for (const char* gone : {"SYSTEM\\orvmon.new", "SYSTEM\\stale.tmp", "wininit.ini"}) {
    EXPECT_FALSE(w98->files().Exists(std::string("C:\\WINDOWS\\") + gone)) << gone;
  }
  EXPECT_TRUE(w98->files().Exists("C:\\WINDOWS\\WININIT.BAK"));
}

// A window that does not answer a broadcast costs the timeout in virtual time,
// which is no pause of the program's.
TEST(Broadcast, AHungWindowCostsTheTimeoutInVirtualTime) {
  SimMachine m(WindowsVersion::kWinXp);
  m->faults().Add({"SendMessageA", "Environment", 1460, FaultMode::kOnce});
  const auto area = reinterpret_cast<LPARAM>("Environment");
  const std::int64_t before = m->now_ms();
  for (DWORD error : {1460u, 0u}) {
    m->SetLastError(kPoison);
    EXPECT_EQ(m->SendMessageA(HWND_BROADCAST, WM_SETTINGCHANGE, 0, area), 0);
    EXPECT_EQ(Error(*m, error == 0), error);
    EXPECT_EQ(m->now_ms() - before, 5000);
  }
  EXPECT_TRUE(m.Events("sleep").empty());
  const auto sent = m.Events("sendmessage");
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(sent[0], (std::vector<std::string>{"sendmessage", "0xffff", "0x1a", "0",
                                               "Environment", "hung"}));
  EXPECT_EQ(sent[1].size(), 5u) << "every window answered";
}

}  // namespace
}  // namespace orvane::winsim
