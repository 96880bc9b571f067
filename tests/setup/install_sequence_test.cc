// setup without arguments on each Windows, as a user and an administrator see
// it up to the driver: the log, standard output, pauses and other events, the
// files in the system and driver folders, the monitor and the driver. The
// steps after the driver (printer, data, completion) are theirs to assert;
// here only what comes before them is, as the head of each record.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "setup/scenario.h"

namespace orvane {
namespace {

using setup_test::FileText;
using setup_test::Joined;
using setup_test::Scenario;
using winsim::WindowsVersion;

constexpr char kStamp[] = "07-04-03: 09:05";
constexpr char kDriveDir[] = "C:\\orvane\\res\\drivedir\\";
constexpr char kPrint[] = "HKLM\\SYSTEM\\CurrentControlSet\\Control\\Print\\";

std::vector<std::string> Head(std::vector<std::string> lines, std::size_t count) {
  lines.resize(std::min(lines.size(), count));
  return lines;
}

std::vector<std::string> Stamped(const std::vector<std::string>& texts) {
  std::vector<std::string> lines;
  for (const std::string& text : texts) lines.push_back(kStamp + text);
  return lines;
}

TEST(InstallSequence, EachWindowsTakesItsFamilysPathUpToTheDriver) {
  const std::string ntFiles = "Pscript.dll Orvaneui.dll Pscript.hlp ovps.PPD ovfonts.tbl";
  const std::string v3Files =
      " orvaneps5.PPD pscript5.dll ps5ui.dll orvane.INI orvaneui5.DLL pscript.ntf";
  struct Row {
    WindowsVersion version;
    std::string system, drivers;  // folders
    std::string monitorDll, companion;
    std::string driverFiles;       // what lands in the driver folder
    std::vector<std::string> log;  // without time stamps
    std::string out;
    std::vector<std::string> journal;
    std::string driverKey;  // "" when no driver may be installed
  };
  const Row rows[] = {
      {WindowsVersion::kWin98,
       "C:\\WINDOWS\\SYSTEM",
       "C:\\WINDOWS\\SYSTEM",
       "orvmon95.dll",
       "orvmona95.dll",
       "orvdriver.SPD ovps.PPD ovfonts.tbl",
       {"is_winnt = FALSE", "is_win4 = TRUE",
        "Printer Driver Directory: C:\\WINDOWS\\SYSTEM"},
       "Adding printer driver\n\nDriver directory: C:\\WINDOWS\\SYSTEM\n\n",
       {"sleep\t1000", "sleep\t1000"},
       "Environments\\Windows 4.0\\Drivers\\ORVANE Printer Driver"},
      {WindowsVersion::kNt4,
       "C:\\WINNT\\system32",
       "C:\\WINNT\\system32\\spool\\drivers\\w32x86",
       "orvmon.dll",
       "orvmona.dll",
       ntFiles,
       {"is_winnt = TRUE", "is_win4 = TRUE",
        "Printer Driver Directory: C:\\WINNT\\system32\\spool\\drivers\\w32x86"},
       "Initializing Spooler\n\nAdding printer driver\n\n",
       {"profileflush\tC:\\\\WINNT\\\\orvane.ini", "sleep\t3000", "sleep\t1000"},
       "Environments\\Windows NT x86\\Drivers\\Version-2\\ORVANE Printer Driver"},
      {WindowsVersion::kWin2000,
       "C:\\WINNT\\system32",
       "C:\\WINNT\\system32\\spool\\drivers\\w32x86",
       "orvmon.dll",
       "orvmona.dll",
       ntFiles + v3Files,
       {"is_winnt = TRUE", "is_win4 = TRUE",
        "Printer Driver Directory: C:\\WINNT\\system32\\spool\\drivers\\w32x86"},
       "Initializing Spooler\n\nAdding printer driver\n\n",
       {"profileflush\tC:\\\\WINNT\\\\orvane.ini", "sleep\t3000", "sleep\t1000"},
       "Environments\\Windows NT x86\\Drivers\\Version-3\\ORVANE Printer Driver"},
      {WindowsVersion::kWinXp,
       "C:\\WINDOWS\\system32",
       "C:\\WINDOWS\\system32\\spool\\drivers\\w32x86",
       "orvmon.dll",
       "orvmona.dll",
       ntFiles + v3Files,
       {"is_winnt = TRUE", "is_win4 = TRUE",
        "Printer Driver Directory: C:\\WINDOWS\\system32\\spool\\drivers\\w32x86"},
       "Initializing Spooler\n\nAdding printer driver\n\n",
       {"profileflush\tC:\\\\WINDOWS\\\\orvane.ini", "sleep\t3000", "sleep\t1000"},
       "Environments\\Windows NT x86\\Drivers\\Version-3\\ORVANE Printer Driver"},
      // NT 3.51: the NT path with record B, at a level its spooler predates.
      {WindowsVersion::kNt351,
       "C:\\WINNT35\\system32",
       "C:\\WINNT35\\system32\\spool\\drivers\\w32x86",
       "orvmon.dll",
       "orvmona.dll",
       ntFiles,
       {"is_winnt = TRUE", "is_win4 = FALSE",
        "Printer Driver Directory: C:\\WINNT35\\system32\\spool\\drivers\\w32x86",
        "AddPrinterDriver: 124"},
       "Initializing Spooler\n\nAdding printer driver\n\n",
       {"profileflush\tC:\\\\WINNT35\\\\orvane.ini", "sleep\t3000", "sleep\t1000",
        "sleep\t1000"},
       ""},
      // Neither flag: the 95/98/ME monitor DLLs, but the NT path and environment.
      {WindowsVersion::kWin32s,
       "C:\\WINDOWS\\SYSTEM",
       "C:\\WINDOWS\\SYSTEM",
       "orvmon95.dll",
       "orvmona95.dll",
       ntFiles,
       {"is_winnt = FALSE", "is_win4 = FALSE",
        "Printer Driver Directory: C:\\WINDOWS\\SYSTEM", "AddMonitor: 1805",
        "AddPrinterDriver: 1805"},
       "Initializing Spooler\n\nAdding printer driver\n\n",
       {"profileflush\tC:\\\\WINDOWS\\\\orvane.ini", "sleep\t3000", "sleep\t1000",
        "sleep\t1000", "sleep\t1000"},
       ""},
  };
  for (const Row& r : rows) {
    const std::string row = winsim::Profile(r.version).display_name;
    Scenario machine(r.version);
    EXPECT_EQ(machine.Run(), 0) << row;

    EXPECT_EQ(Joined(Head(machine.LogLines(), r.log.size())), Joined(Stamped(r.log)))
        << row;
    EXPECT_EQ(machine->standard_output().substr(0, r.out.size()), r.out) << row;
    EXPECT_EQ(Joined(Head(machine->journal(), r.journal.size())), Joined(r.journal))
        << row;

    for (const std::string& dll : {r.monitorDll, r.companion}) {
      EXPECT_EQ(FileText(*machine, r.system + "\\" + dll),
                FileText(*machine, kDriveDir + dll))
          << row << ": " << dll;
    }
    // Every product file in the driver folder afterwards, a whole copy, in the
    // order of the product's list (which is the order of the copies).
    std::string copied;
    for (const char* const* file = kProductFiles; *file; ++file) {
      std::string name = *file;
      if (name.rfind("res\\drivedir\\", 0) != 0) continue;
      name = name.substr(13);
      if (name == r.monitorDll || name == r.companion) continue;
      const std::string copy = FileText(*machine, r.drivers + "\\" + name);
      // On 95/98/ME the driver folder is the system folder, with Windows' own
      // PostScript files in it.
      if (copy == "<missing>" || copy.rfind("Windows stand-in", 0) == 0) continue;
      EXPECT_EQ(copy, FileText(*machine, kDriveDir + name)) << row << ": " << name;
      copied += (copied.empty() ? "" : " ") + name;
    }
    EXPECT_EQ(copied, r.driverFiles) << row;

    auto monitor =
        machine.Value(std::string(kPrint) + "Monitors\\ORVANE Monitor", "Driver");
    if (r.version == WindowsVersion::kWin32s) {
      EXPECT_FALSE(monitor) << row;
    } else {
      ASSERT_TRUE(monitor) << row;
      EXPECT_EQ(monitor->data, setup_test::SzBytes(r.monitorDll)) << row;
    }
    if (!r.driverKey.empty()) {
      EXPECT_TRUE(machine.Value(kPrint + r.driverKey, "Driver")) << row;
    }
    EXPECT_EQ(Joined(machine->LeakReport()), "") << row;
  }
}

// The early end of the context: nothing but the one line and its empty line.
TEST(InstallSequence, NoSystemFolderEndsBeforeAnyStep) {
  for (WindowsVersion version : {WindowsVersion::kWin98, WindowsVersion::kWinXp}) {
    Scenario machine(version);
    machine->faults().Add({"GetSystemDirectoryA", "", 8, winsim::FaultMode::kAlways});
    EXPECT_EQ(machine.Run(), 0);
    EXPECT_EQ(Joined(machine.LogLines()),
              Joined({std::string(kStamp) + "GetSystemDirectory failed", ""}));
    EXPECT_EQ(machine->standard_output(), "");
    EXPECT_EQ(Joined(machine->journal()), "");
    EXPECT_EQ(
        FileText(*machine, std::string(winsim::Profile(version).system_dir) +
                               (version == WindowsVersion::kWinXp ? "\\orvmon.dll"
                                                                  : "\\orvmon95.dll")),
        "<missing>");
    EXPECT_EQ(FileText(*machine, "C:\\orvane\\res\\orvane.ini"), "<missing>");
    EXPECT_EQ(Joined(machine->LeakReport()), "");
  }
}

}  // namespace
}  // namespace orvane
