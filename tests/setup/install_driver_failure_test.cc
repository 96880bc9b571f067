// A refused driver: the log line, the remembered RPC failure, and on the NT
// path for error 126 the search-path repair, the broadcast and one retry of
// the same call; and the repair itself, which keeps the machine's own entries.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "install/install_context.h"
#include "setup/scenario.h"
#include "system/driver_failure.h"
#include "system/search_path.h"

namespace orvane {
namespace {

using setup_test::Events;
using setup_test::Joined;
using setup_test::Scenario;
using setup_test::SzBytes;
using winsim::Fault;
using winsim::FaultMode;
using winsim::WindowsVersion;

constexpr char kEnvironmentKey[] =
    "HKLM\\SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment";
constexpr char kDrivers[] =
    "HKLM\\SYSTEM\\CurrentControlSet\\Control\\Print\\Environments\\Windows NT "
    "x86\\Drivers\\";
constexpr char kBroadcast[] = "sendmessage\t0xffff\t0x1a\t0\tEnvironment";
constexpr char kMessage126[] =
    "msgbox\tsetup\t0\t1\tSetup has returned error 126. Please contact "
    "support@orvane.com to "
    "resolve this error. We apologize for the inconvenience.";

// The journal from the first driver-related event on: the monitor's pauses
// and the earlier steps are other tests' business.
std::vector<std::string> JournalAfterMonitor(const winsim::Machine& machine,
                                             std::size_t skip) {
  const auto& all = machine.journal();
  return std::vector<std::string>(all.begin() + std::min(skip, all.size()), all.end());
}

TEST(HandleDriverFailure, EachCodeOnEachPathThroughSetup) {
  const std::string xpPath =
      "C:\\WINDOWS\\system32;C:\\WINDOWS;C:\\WINDOWS\\system32\\wbem";
  const std::string xpOld =
      "%SystemRoot%\\system32;%SystemRoot%;%SystemRoot%\\System32\\Wbem";
  struct Row {
    const char* row;
    WindowsVersion version;
    std::vector<Fault> faults;
    std::string logLine;               // the one line about the driver
    std::vector<std::string> journal;  // after the monitor's (and 98's) pauses
    std::string path;                  // "Path" afterwards
    std::string installedAs;           // the driver key's version, "" for none
  };
  const Row rows[] = {
      {"1722 on XP: remembered, nothing else",
       WindowsVersion::kWinXp,
       {{"AddPrinterDriverA", "", 1722, FaultMode::kOnce}},
       "AddPrinterDriver: 1722",
       {"sleep\t1000"},
       xpOld,
       ""},
      {"126 on 98: only the line and the pause",
       WindowsVersion::kWin98,
       {{"AddPrinterDriverA", "", 126, FaultMode::kOnce}},
       "AddPrinterDriver: 126",
       {"sleep\t1000"},
       "",
       ""},
      {"126 on XP, the retry succeeds",
       WindowsVersion::kWinXp,
       {{"AddPrinterDriverA", "", 126, FaultMode::kOnce}},
       "AddPrinterDriver: 126",
       {kBroadcast, "sleep\t1000"},
       xpPath,
       "Version-3"},
      {"126 on XP, the retry meets 126 again",
       WindowsVersion::kWinXp,
       {{"AddPrinterDriverA", "", 126, FaultMode::kAlways}},
       "AddPrinterDriver: 126",
       {kBroadcast, kMessage126, "sleep\t1000"},
       xpPath,
       ""},
      {"126 on XP, a window hangs: the retry still comes",
       WindowsVersion::kWinXp,
       {{"AddPrinterDriverA", "", 126, FaultMode::kOnce},
        {"SendMessageA", "Environment", 1460, FaultMode::kOnce}},
       "AddPrinterDriver: 126",
       {std::string(kBroadcast) + "\thung", "sleep\t1000"},
       xpPath,
       "Version-3"},
      {"126 on NT 4: the level-3 call again",
       WindowsVersion::kNt4,
       {{"AddPrinterDriverA", "", 126, FaultMode::kOnce}},
       "AddPrinterDriver: 126",
       {kBroadcast, "sleep\t1000"},
       "C:\\WINNT\\system32;C:\\WINNT;C:\\WINNT\\system32\\wbem",
       "Version-2"},
      {"another code on XP: no repair, no retry",
       WindowsVersion::kWinXp,
       {{"AddPrinterDriverA", "", 1797, FaultMode::kOnce}},
       "AddPrinterDriver: 1797",
       {"sleep\t1000"},
       xpOld,
       ""},
      // Neither flag set: the NT path, though this Windows has no environment
      // key to repair; the broadcast and the retry follow, and the retry's
      // 1805 shows nothing.
      {"126 with neither flag set",
       WindowsVersion::kWin32s,
       {{"AddPrinterDriverA", "", 126, FaultMode::kOnce}},
       "AddPrinterDriver: 126",
       {kBroadcast, "sleep\t1000"},
       "",
       ""},
  };
  for (const Row& r : rows) {
    Scenario machine(r.version);
    for (const Fault& fault : r.faults) machine->faults().Add(fault);
    machine.Run();
    // 98: AddMonitor's pause and the driver folder's; NT: the flush and the
    // monitor's pauses; Win32s also the AddMonitor refusal's second pause.
    const std::size_t before = r.version == WindowsVersion::kWin98    ? 2
                               : r.version == WindowsVersion::kWin32s ? 4
                                                                      : 3;
    std::vector<std::string> journal = JournalAfterMonitor(*machine, before);
    journal.resize(std::min(journal.size(), r.journal.size()));
    EXPECT_EQ(Joined(journal), Joined(r.journal)) << r.row << "\n"
                                                  << Joined(machine->journal());
    // One line for the failure, whatever the retry did.
    std::vector<std::string> driverLines;
    for (const std::string& line : machine.LogLines()) {
      if (line.find("AddPrinterDriver") != std::string::npos) driverLines.push_back(line);
    }
    EXPECT_EQ(Joined(driverLines), Joined({"07-04-03: 09:05" + r.logLine})) << r.row;
    auto path = machine.Value(kEnvironmentKey, "Path");
    if (r.path.empty()) {
      EXPECT_FALSE(path) << r.row;  // 95/98/ME and Win32s keep no such value
    } else {
      ASSERT_TRUE(path) << r.row;
      EXPECT_EQ(path->data, SzBytes(r.path)) << r.row;
    }
    EXPECT_EQ(machine->spooler().DriverInstalled("ORVANE Printer Driver"),
              !r.installedAs.empty())
        << r.row;
    if (!r.installedAs.empty()) {
      EXPECT_TRUE(machine.Value(
          std::string(kDrivers) + r.installedAs + "\\ORVANE Printer Driver", "Driver"))
          << r.row;
    }
    EXPECT_EQ(Joined(machine->LeakReport()), "") << r.row;
  }
}

TEST(HandleDriverFailure, RemembersOnlyTheRpcFailure) {
  for (win::DWORD code : {1722u, 126u, 5u}) {
    Scenario machine(WindowsVersion::kWin98);
    InstallContext context;
    context.is_win4 = 1;  // the 95/98/ME path: no repair, no retry
    machine->SetLastError(code);
    HandleDriverFailure(*machine, context, DriverCall{});
    EXPECT_EQ(context.rpc_unavailable, code == 1722u ? 1 : 0) << code;
    EXPECT_EQ(Joined(machine->journal()), "sleep\t1000\n") << code;
  }
}

TEST(RepairSearchPath, KeepsTheMachinesOwnEntriesAndTheValueType) {
  const std::string three =
      "C:\\WINDOWS\\system32;C:\\WINDOWS;C:\\WINDOWS\\system32\\wbem";
  std::string longOld;
  for (int i = 0; longOld.size() < 6000; ++i)
    longOld += "C:\\Tools\\Suite" + std::to_string(i) + ";";
  longOld.pop_back();
  struct Row {
    const char* row;
    std::optional<win::DWORD> type;  // the old value's type; none: no value
    std::string old;
    std::string now;
    win::DWORD nowType;
  };
  const Row rows[] = {
      {"Windows' own, expandable", win::REG_EXPAND_SZ,
       "%SystemRoot%\\system32;%SystemRoot%;%SystemRoot%\\System32\\Wbem", three,
       win::REG_EXPAND_SZ},
      {"own entries, expandable: kept unexpanded, in order", win::REG_EXPAND_SZ,
       "%SystemRoot%\\system32;C:\\Tools;%ProgramFiles%\\Acme;%WINDIR%\\SYSTEM32\\;c:"
       "\\windows",
       three + ";C:\\Tools;%ProgramFiles%\\Acme", win::REG_EXPAND_SZ},
      {"own entries, plain", win::REG_SZ, "D:\\bin;C:\\WINDOWS\\System32\\Wbem;;E:\\x",
       three + ";D:\\bin;E:\\x", win::REG_SZ},
      {"look-alikes stay", win::REG_SZ,
       "C:\\WINDOWS\\system32\\drivers;C:\\WINDOWS2;C:\\WINDOWS\\system32\\wbem\\x",
       three +
           ";C:\\WINDOWS\\system32\\drivers;C:\\WINDOWS2;C:\\WINDOWS\\system32\\wbem\\x",
       win::REG_SZ},
      {"variables of the environment block", win::REG_EXPAND_SZ,
       "%OrvaneSys%;%Nope%\\bin;%TEMP%", three + ";%Nope%\\bin;%TEMP%",
       win::REG_EXPAND_SZ},
      {"a long value survives whole", win::REG_SZ, longOld, three + ";" + longOld,
       win::REG_SZ},
      {"no value yet", std::nullopt, "", three, win::REG_SZ},
  };
  for (const Row& r : rows) {
    Scenario machine(WindowsVersion::kWinXp);
    std::vector<std::string> environment = machine->environment();
    environment.push_back("ORVANESYS=C:\\WINDOWS\\system32");
    machine->SetEnvironment(environment);
    machine->registry().RemoveValue(kEnvironmentKey, "Path");
    if (r.type)
      machine->registry().PutValue(kEnvironmentKey, "Path", *r.type, SzBytes(r.old));
    RepairSearchPath(*machine);
    auto path = machine.Value(kEnvironmentKey, "Path");
    ASSERT_TRUE(path) << r.row;
    EXPECT_EQ(std::string(path->data.begin(), path->data.end()), r.now + '\0') << r.row;
    EXPECT_EQ(path->type, r.nowType) << r.row;
    EXPECT_EQ(Joined(machine->journal()), Joined({kBroadcast})) << r.row;
    EXPECT_EQ(Joined(machine->LeakReport()), "") << r.row;
  }
}

TEST(RepairSearchPath, LeavesThePathWhenItCannotBeRepairedAndBroadcastsAnyway) {
  const std::string old = "%SystemRoot%\\system32;D:\\bin";
  struct Row {
    const char* row;
    Fault fault;
  };
  const Row rows[] = {
      {"key does not open",
       {"RegOpenKeyExA", "Session Manager\\Environment", 5, FaultMode::kOnce}},
      {"no Windows folder", {"GetWindowsDirectoryA", "", 8, FaultMode::kOnce}},
      {"old value unreadable",
       {"RegQueryValueExA", "Environment\\Path", 5, FaultMode::kAlways}},
  };
  for (const Row& r : rows) {
    Scenario machine(WindowsVersion::kWinXp);
    machine->registry().PutValue(kEnvironmentKey, "Path", win::REG_EXPAND_SZ,
                                 SzBytes(old));
    machine->faults().Add(r.fault);
    RepairSearchPath(*machine);
    auto path = machine.Value(kEnvironmentKey, "Path");
    ASSERT_TRUE(path) << r.row;
    EXPECT_EQ(path->data, SzBytes(old)) << r.row;
    EXPECT_EQ(Events(*machine, "sendmessage").size(), 1u) << r.row;
    EXPECT_EQ(Joined(machine->LeakReport()), "") << r.row;
  }
}

}  // namespace
}  // namespace orvane
