// The service manager (Wine's checks no rights), the Spooler's stop in virtual
// time, the restart of the machine and the window broadcast.
#include <gtest/gtest.h>

#include "sim_fixture.h"

namespace orvane::winsim {
namespace {

using namespace orvane::win;
using namespace testing;

constexpr DWORD kStartStop = SERVICE_START | SERVICE_STOP;

SC_HANDLE OpenSpooler(Machine& m, DWORD access = kStartStop) {
  SC_HANDLE manager = m.OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
  SC_HANDLE service = m.OpenServiceA(manager, "Spooler", access);
  m.CloseServiceHandle(manager);
  return service;
}

// OpenSCManagerA, then OpenServiceA("Spooler"), then QueryServiceStatus on
// it: the machine and database, the name, the rights of a user who is no
// administrator, the status record [Wine test service.c: test_open_scm,
// test_open_svc, test_query_svc]. Windows 95/98/ME export the service calls
// from advapi32 as stubs that fail with 120 whatever they are given.
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
  const auto xp = WindowsVersion::kWinXp, nt4 = WindowsVersion::kNt4, w98 = WindowsVersion::kWin98;
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
      {"98: manager", w98, true, kManager, nullptr, nullptr, SC_MANAGER_CONNECT, 120},
      {"98: service", w98, true, kService, nullptr, "Spooler", kStartStop, 120},
      {"98: query", w98, true, kQuery, nullptr, "record", SERVICE_QUERY_STATUS, 120},
  };
  for (const Row& r : rows) {
    SimMachine m(r.version);
    m->SetAdministrator(r.administrator);
    SC_HANDLE h = kNullServiceHandle;
    SERVICE_STATUS status{};
    if (r.step == kManager) {
      const auto open = [&] { return (h = m->OpenSCManagerA(r.machine, r.text, r.access)); };
      EXPECT_EQ(ErrorOf(*m, open), r.error) << r.name;
    } else if (r.step == kService) {
      SC_HANDLE manager = m->OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT);
      const auto open = [&] { return (h = m->OpenServiceA(manager, r.text, r.access)); };
      EXPECT_EQ(ErrorOf(*m, open), r.error) << r.name;
      m->CloseServiceHandle(manager);
    } else {
      h = r.access ? OpenSpooler(*m, r.access) : kNullServiceHandle;
      const auto query = [&] { return m->QueryServiceStatus(h, r.text ? &status : nullptr); };
      EXPECT_EQ(ErrorOf(*m, query), r.error) << r.name;
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
    const DWORD error = ErrorOf(*m, [&] {
      return row.act == kStart ? m->StartServiceA(service, 0, nullptr)
                               : m->ControlService(service, row.act, &status);
    });
    EXPECT_EQ(error, row.error) << row.name;
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
}

TEST(Services, HandlesDoOnlyWhatTheirRightsAllow) {
  const std::pair<DWORD, StepRow> rows[] = {
      {SERVICE_START | SERVICE_QUERY_STATUS,
       {"stop without its right", 0, kStop, 5, 0, S::kRunning}},
      {SERVICE_STOP, {"start without its right", 0, kStart, 5, 0, S::kRunning}},
      {kStartStop, {"interrogate without its right", 0, kAsk, 5, 0, S::kRunning}},
  };
  SimMachine m(WindowsVersion::kWin2000);
  for (const auto& [access, step] : rows) {
    SC_HANDLE service = OpenSpooler(*m, access);
    RunSteps(m, service, std::span(&step, 1));
    m->CloseServiceHandle(service);
  }
  SC_HANDLE manager = m->OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
  SC_HANDLE service = m->OpenServiceA(manager, "Spooler", kStartStop);
  SC_HANDLE closed = m->OpenServiceA(manager, "Spooler", kStartStop);
  ASSERT_TRUE(m->CloseServiceHandle(closed));
  const StepRow invalid[] = {{"stop", 0, kStop, 6, 0, S::kRunning},
                             {"start", 0, kStart, 6, 0, S::kRunning}};
  for (SC_HANDLE handle : {kNullServiceHandle, closed, manager, SC_HANDLE{0x1000}}) {
    RunSteps(m, handle, invalid);
  }
  SimMachine w98(WindowsVersion::kWin98);  // the stubs of 95/98/ME
  const StepRow stubs[] = {{"98: stop", 0, kStop, 120, 0, S::kRunning},
                           {"98: start", 0, kStart, 120, 0, S::kRunning}};
  RunSteps(w98, kNullServiceHandle, stubs);
  const auto serviceForManager = [&] { return m->OpenServiceA(service, "Spooler", kStartStop); };
  EXPECT_EQ(ErrorOf(*m, serviceForManager), 6u);
  EXPECT_FALSE(m->CloseServiceHandle(closed));
  EXPECT_EQ(m->LeakReport(), std::vector<std::string>{"2 service handle(s) left open"});
  m->CloseServiceHandle(service);
  m->CloseServiceHandle(manager);
}

// A restart lets go of every file another process held or had loaded (the
// spooler's start afresh shows in tests/setup's removals on 95/98/ME).
TEST(Reboot, LetsGoOfFilesHeldOrLoaded) {
  SimMachine m(WindowsVersion::kWinXp);
  for (const char* f : {"C:\\held.log", "C:\\loaded.dll"}) m->files().WriteAll(f, f);
  m->files().HoldByOtherProcess("C:\\held.log", 0);
  m->files().MarkInUse("C:\\loaded.dll");
  m->Reboot();
  for (const char* f : {"C:\\held.log", "C:\\loaded.dll"}) EXPECT_TRUE(m->DeleteFileA(f)) << f;
}

// A window that does not answer a broadcast costs the timeout in virtual time,
// which is no pause of the program's.
TEST(Broadcast, AHungWindowCostsTheTimeoutInVirtualTime) {
  SimMachine m(WindowsVersion::kWinXp);
  m->faults().Add({"SendMessageA", "Environment", 1460, FaultMode::kOnce});
  const auto area = reinterpret_cast<LPARAM>("Environment");
  const std::int64_t before = m->now_ms();
  for (DWORD error : {1460u, kPoison}) {
    m->SetLastError(kPoison);
    EXPECT_EQ(m->SendMessageA(HWND_BROADCAST, WM_SETTINGCHANGE, 0, area), 0);
    EXPECT_EQ(m->GetLastError(), error);
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
