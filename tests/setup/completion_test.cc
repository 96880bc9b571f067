// The end of an installation as the user meets it: the page that opens (or
// not), the RPC warning, the companion-product warning, the "Quiet" switch,
// and the Add/Remove Programs entry.
#include "system/completion.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "install/product.h"
#include "setup/scenario.h"
#include "system/uninstall_entry.h"

namespace orvane {
namespace {

using setup_test::Events;
using setup_test::FileText;
using setup_test::Joined;
using setup_test::Scenario;
using setup_test::SzBytes;
using setup_test::TestMachine;
using winsim::Fault;
using winsim::FaultMode;
using winsim::WindowsVersion;

using EventList = std::vector<std::vector<std::string>>;

constexpr char kSettings[] = "C:\\orvane\\res\\orvane.ini";
constexpr char kMarker[] = "C:\\orvane\\res\\drivedir\\rpcblocked.tmp";
constexpr char kRpcPage[] = "C:\\orvane\\res\\drivedir\\rpcblocked.html";
constexpr char kCompanionReadme[] = "C:\\orvane\\res\\utilities\\readme.html";
constexpr char kEntryKey[] =
    "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Orvane";
constexpr char kRpcMessage[] =
    "Setup has determined that you need to manually configure ORVANE due to the settings "
    "of your Remote Procedure Call service. Instructions will follow.";

// The page opened with this Windows' own rundll32.exe.
std::vector<std::string> PageLaunch(WindowsVersion version, const std::string& page) {
  return setup_test::Rundll32Event(winsim::Profile(version).rundll32,
                                   "rundll32.exe url.dll,FileProtocolHandler " + page);
}

std::vector<std::string> Box(const std::string& text) {
  return {"setup", "0", "1", text};
}

std::string CompanionMessage() {
  return std::string(
             "Setup has detected you have an old version of Quorrix that is incompatible "
             "with the latest version of orvane. The latest version of Quorrix is "
             "available free at ") +
         product::kVendorUrl + ". Please upgrade.";
}

void SetQuiet(winsim::Machine& machine, const char* value) {
  machine.files().WriteAll(kSettings, std::string("[Parameters]\r\nQuiet=") + value + "\r\n");
}

std::string Quiet(winsim::Machine& machine) {
  char buffer[80];
  machine.GetPrivateProfileStringA("Parameters", "Quiet", "<absent>", buffer, kSettings);
  return buffer;
}

// Message boxes and started programs, in the order they happened.
EventList UserEvents(const winsim::Machine& machine) {
  EventList events;
  for (const std::string& line : machine.journal()) {
    std::vector<std::string> fields = setup_test::JournalFields(line);
    if (!fields.empty() && (fields[0] == "msgbox" || fields[0] == "process")) {
      events.push_back(std::move(fields));
    }
  }
  return events;
}

std::vector<std::string> Tagged(const char* kind, std::vector<std::string> fields) {
  fields.insert(fields.begin(), kind);
  return fields;
}

TEST(Completion, QuietSuppressesThePageOfOneRunAndIsResetToZero) {
  struct Row {
    WindowsVersion version;
    const char* quiet;  // null: no settings file
    bool opens;
    bool noFolder = false;  // the Windows folder cannot be had
  };
  const Row rows[] = {
      {WindowsVersion::kWin98, nullptr, true},
      {WindowsVersion::kNt4, "1", false},
      {WindowsVersion::kWinXp, "0", true},
      {WindowsVersion::kWinXp, "", true},
      {WindowsVersion::kWinXp, "yes", true},
      {WindowsVersion::kWin98, "0x10", true},  // the number ends at the x
      {WindowsVersion::kWinXp, " \t-2", false},
      {WindowsVersion::kWin98, "1 and more", false},
      // Beyond 32 bits: still not 0 (a wrapping conversion would make it 0).
      {WindowsVersion::kNt4, "4294967296", false},
      // No folder for rundll32.exe: no page, and no other rundll32.exe instead.
      {WindowsVersion::kWin98, nullptr, false, true},
  };
  for (const Row& r : rows) {
    const std::string row = std::string(winsim::Profile(r.version).name) + " Quiet=" +
                            (r.quiet ? r.quiet : "<absent>");
    Scenario s(r.version);
    if (r.quiet) SetQuiet(*s, r.quiet);
    if (r.noFolder) s->faults().Add({"GetWindowsDirectoryA", "", 8, FaultMode::kAlways});
    EXPECT_EQ(s.Run(), 0) << row;
    EXPECT_EQ(Events(*s, "process"),
              r.opens ? EventList{PageLaunch(r.version, "c:\\orvane\\readme.html")}
                      : EventList{})
        << row;
    EXPECT_EQ(Quiet(*s), "0") << row;
    EXPECT_EQ(s.Value(kEntryKey, "DisplayName")->data, SzBytes("Orvane")) << row;
    EXPECT_EQ(Events(*s, "msgbox"), EventList{}) << row;
  }
}

TEST(Completion, RpcUnavailableWarnsMovesTheHelpPageAndWritesNoEntry) {
  struct Row {
    const char* row;
    WindowsVersion version;
    bool marker;          // rpcblocked.tmp ships
    bool pageExists;      // rpcblocked.html is there from an earlier run
    const char* quiet;
    const char* tmpAfter;   // rpcblocked.tmp's content afterwards
    const char* pageAfter;  // rpcblocked.html's content afterwards
  };
  constexpr char kShipped[] = "Orvane stand-in: res\\drivedir\\rpcblocked.tmp\r\n";
  constexpr char kOld[] = "page of an earlier run";
  const Row rows[] = {
      {"first time", WindowsVersion::kWinXp, true, false, nullptr, "<missing>", kShipped},
      {"first time, 98", WindowsVersion::kWin98, true, false, nullptr, "<missing>",
       kShipped},
      {"marker gone", WindowsVersion::kNt4, false, false, nullptr, "<missing>",
       "<missing>"},
      {"moved before", WindowsVersion::kWinXp, false, true, nullptr, "<missing>", kOld},
      {"both there", WindowsVersion::kWinXp, true, true, nullptr, kShipped, kOld},
      {"quiet", WindowsVersion::kNt4, true, false, "1", "<missing>", kShipped},
  };
  for (const Row& r : rows) {
    Scenario s(r.version);
    if (!r.marker) s->files().Remove(kMarker);
    if (r.pageExists) s->files().WriteAll(kRpcPage, kOld);
    if (r.quiet) SetQuiet(*s, r.quiet);
    s->faults().Add(Fault{"AddPrinterDriverA", "", win::RPC_S_SERVER_UNAVAILABLE});
    EXPECT_EQ(s.Run(), 0) << r.row;
    EventList expected = {Tagged("msgbox", Box(kRpcMessage))};
    if (!r.quiet) {
      expected.push_back(
          Tagged("process", PageLaunch(r.version, "c:\\orvane\\res\\drivedir\\rpcblocked.html")));
    }
    EXPECT_EQ(UserEvents(*s), expected) << r.row;
    EXPECT_EQ(FileText(*s, kMarker), r.tmpAfter) << r.row;
    EXPECT_EQ(FileText(*s, kRpcPage), r.pageAfter) << r.row;
    EXPECT_FALSE(s->registry().KeyExists(kEntryKey)) << r.row;
    EXPECT_EQ(Quiet(*s), "0") << r.row;
    EXPECT_EQ(Joined(s->LeakReport()), "") << r.row;
  }
}

TEST(Completion, CompanionReadmeOlderThanFourPointFourIsReported) {
  using namespace std::string_literals;
  struct Row {
    const char* row;
    WindowsVersion version;
    std::string readme;  // "": no companion readme
    bool warns;
  };
  const Row rows[] = {
      {"no companion", WindowsVersion::kWinXp, "", false},
      {"no marker", WindowsVersion::kWin98, "<html>Quorrix 4.3</html>", false},
      {"mixed case, 4.3", WindowsVersion::kNt4, "<p>This Is VERSION 4.3 of Quorrix</p>",
       true},
      {"4.4", WindowsVersion::kWinXp, "this is version 4.4", false},
      // 4.40009 is not below 4.4f; 4.3999 + 0.0001 is, in double precision.
      {"4.39999", WindowsVersion::kWin98, "this is version 4.39999\r\n", false},
      {"4.3999", WindowsVersion::kNt4, "this is version 4.3999", true},
      {"the letter v", WindowsVersion::kWinXp, "this is version v4.5", true},
      {"line break for the blank", WindowsVersion::kWinXp, "this is version\r\n4.3", false},
      {"white space before the number", WindowsVersion::kWin98,
       "this is version \r\n\t4.5", false},
      {"negative", WindowsVersion::kWinXp, "THIS IS VERSION -5", true},
      {"exponent", WindowsVersion::kNt4, "this is version 5e-1", true},
      {"the runtime's d exponent", WindowsVersion::kWinXp, "this is version 4D1", false},
      {"first marker counts", WindowsVersion::kWinXp,
       "this is version 5.0; this is version 4.0", false},
      {"text ends at a NUL", WindowsVersion::kWinXp, "Quorrix\0this is version 4.3"s,
       false},
  };
  for (const Row& r : rows) {
    Scenario s(r.version);
    if (!r.readme.empty()) s->files().WriteAll(kCompanionReadme, r.readme);
    EXPECT_EQ(s.Run(), 0) << r.row;
    EXPECT_EQ(Events(*s, "msgbox"), r.warns ? EventList{Box(CompanionMessage())}
                                            : EventList{})
        << r.row;
    EXPECT_EQ(Joined(s->LeakReport()), "") << r.row;
  }
}

TEST(Completion, CompanionCheckRunsAfterThePageAndWithQuietSet) {
  for (const char* quiet : {"0", "1"}) {
    Scenario s(WindowsVersion::kWinXp);
    SetQuiet(*s, quiet);
    s->files().WriteAll(kCompanionReadme, "this is version 4.2");
    EXPECT_EQ(s.Run(), 0) << quiet;
    EventList expected;
    if (quiet[0] == '0') {
      expected.push_back(
          Tagged("process", PageLaunch(WindowsVersion::kWinXp, "c:\\orvane\\readme.html")));
    }
    expected.push_back(Tagged("msgbox", Box(CompanionMessage())));
    EXPECT_EQ(UserEvents(*s), expected) << quiet;
  }
}

TEST(CheckCompanionVersion, UnreadableReadmeIsTakenAsAbsent) {
  struct Row {
    const char* call;
    win::DWORD code;
  };
  for (const Row& r : {Row{"CreateFileA", win::ERROR_SHARING_VIOLATION},
                       Row{"SetFilePointer", win::ERROR_INVALID_HANDLE},
                       Row{"HeapAlloc", 8}, Row{"ReadFile", win::ERROR_READ_FAULT}}) {
    TestMachine machine;
    machine->files().WriteAll(kCompanionReadme, "this is version 1.0");
    // HeapAlloc's subject is the size: the readme's length plus the NUL.
    machine->faults().Add(
        Fault{r.call, std::string(r.call) == "HeapAlloc" ? "20" : "utilities", r.code});
    CheckCompanionVersion(*machine, 4.4f);
    EXPECT_EQ(Joined(machine->journal()), "") << r.call;
    EXPECT_EQ(Joined(machine->LeakReport()), "") << r.call;
  }
}

TEST(UninstallEntry, WriteCreatesOrRefreshesTheEntryValueByValue) {
  struct Row {
    const char* row;
    const char* root;       // HKLM\Software\Orvane "Path", null for none
    bool earlierEntry;      // an entry with another root and a value of its own
    const char* command;    // "UninstallString" afterwards
  };
  const Row rows[] = {
      {"first", nullptr, false, "c:\\orvane\\setup.exe uninstall"},
      {"other root", "C:\\Program Files\\", true,
       "C:\\Program Files\\orvane\\setup.exe uninstall"},
  };
  for (const Row& r : rows) {
    TestMachine machine(WindowsVersion::kWin98);
    if (r.root) {
      machine->registry().PutValue("HKLM\\Software\\Orvane", "Path", win::REG_SZ,
                                   SzBytes(r.root));
    }
    if (r.earlierEntry) {
      machine->registry().PutValue(kEntryKey, "UninstallString", win::REG_SZ,
                                   SzBytes("c:\\orvane\\setup.exe uninstall"));
      machine->registry().PutValue(kEntryKey, "Publisher", win::REG_SZ, SzBytes("Orvane"));
    }
    EXPECT_EQ(WriteUninstallEntry(*machine), win::TRUE) << r.row;
    std::vector<std::string> values;
    for (const winsim::RegValue& v : machine->registry().Values(kEntryKey)) {
      values.push_back(v.name + "=" + std::to_string(v.type) + ":" +
                       std::string(v.data.begin(), v.data.end()));
    }
    // Sorted: the order of values in a key is not part of the entry.
    std::sort(values.begin(), values.end());
    const std::string nul(1, '\0');
    std::vector<std::string> expected = {"DisplayName=1:Orvane" + nul,
                                         std::string("UninstallString=1:") + r.command + nul};
    if (r.earlierEntry) expected.insert(expected.begin() + 1, "Publisher=1:Orvane" + nul);
    EXPECT_EQ(values, expected) << r.row;
    EXPECT_EQ(Joined(machine->journal()), "") << r.row;
    EXPECT_EQ(Joined(machine->LeakReport()), "") << r.row;
  }
}

TEST(UninstallEntry, WriteLeavesTheRegistryAloneWhenTheKeyCannotBeHad) {
  TestMachine machine;
  machine->faults().Add(Fault{"RegOpenKeyExA", "Uninstall\\Orvane", 5});
  machine->faults().Add(Fault{"RegCreateKeyA", "Uninstall\\Orvane", 5});
  EXPECT_EQ(WriteUninstallEntry(*machine), win::TRUE);
  EXPECT_FALSE(machine->registry().KeyExists(kEntryKey));
  EXPECT_EQ(Joined(machine->LeakReport()), "");
}

TEST(UninstallEntry, DeleteRemovesTheEntryAndAlwaysNotifiesTheShell) {
  struct Row {
    const char* row;
    WindowsVersion version;
    bool entry;
    bool parentOpens;
    bool remains;
  };
  const Row rows[] = {
      {"entry, NT", WindowsVersion::kWinXp, true, true, false},
      {"entry, 98", WindowsVersion::kWin98, true, true, false},
      {"no entry", WindowsVersion::kNt4, false, true, false},
      {"parent refused", WindowsVersion::kWinXp, true, false, true},
  };
  for (const Row& r : rows) {
    TestMachine machine(r.version);
    machine->registry().PutKey(
        "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Other");
    if (r.entry) machine->registry().PutValue(kEntryKey, "DisplayName", 1, SzBytes("Orvane"));
    if (!r.parentOpens) {
      machine->faults().Add(Fault{"RegOpenKeyExA", "CurrentVersion\\Uninstall", 5});
    }
    EXPECT_EQ(DeleteUninstallEntry(*machine), win::TRUE) << r.row;
    EXPECT_EQ(machine->registry().KeyExists(kEntryKey), r.remains) << r.row;
    EXPECT_TRUE(machine->registry().KeyExists(
        "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Other"))
        << r.row;
    EXPECT_EQ(Events(*machine, "shchangenotify"), (EventList{{"0x1a", "0", "null", "null"}}))
        << r.row;
    EXPECT_EQ(Joined(machine->LeakReport()), "") << r.row;
  }
}

}  // namespace
}  // namespace orvane
