#include "tools/campaign/fault_table.h"

namespace orvane::campaign {
namespace {

// Subjects a file call can be limited to: the log, the product's sources, its
// destinations in the system and driver folders, the pages and the settings.
const std::vector<const char*> kFileSubjects = {
    "",        "setup.log",  "orvmon",  "orvmona",   "\\res\\drivedir\\",
    "ovfonts", "ovprndata",  "ovdevmd", "w32x86",    "\\system",
    "readme",  "rpcblocked", "Pscript", "orvaneps5", "orvane.ini"};

// Registry subjects: a call's subject is the key's full path, and for value
// calls the value's name after it.
const std::vector<const char*> kRegistrySubjects = {
    "",          "Software\\Orvane", "ORVANE Monitor",    "ORVANEPORT",
    "Printers",  "ORVANE",           "PrinterDriverData", "Default DevMode",
    "Uninstall", "IniFileMapping",   "Session Manager",   "AutoCad",
    "Drivers",   "Version-3"};

// The keys the installer deletes, and their parents.
const std::vector<const char*> kDeletedKeys = {
    "", "ORVANE", "Printers", "Monitors", "Uninstall", "IniFileMapping", "Drivers"};

// Spooler calls name the monitor, the driver or the printer.
const std::vector<const char*> kMonitorSubjects = {"", "ORVANE Monitor"};
const std::vector<const char*> kDriverSubjects = {"", "ORVANE Printer Driver"};
const std::vector<const char*> kPrinterSubjects = {"", "ORVANE"};

// The codes: those Windows gives for the call's usual failures, and some that
// only a damaged or busy machine gives (2 file not found, 3 path not found,
// 5 access denied, 6 invalid handle, 8 not enough memory, 29 write fault,
// 30 read fault, 32 sharing violation, 33 lock violation, 38 end of file,
// 87 invalid parameter, 112 disk full, 122 buffer too small, 126 module not
// found, 127 procedure not found, 183 already exists, 193 bad image,
// 234 more data, 1009 registry corrupt, 1018 key deleted, 1052-1062 service
// states, 1460 timeout, 1722 RPC server unavailable, 1796 unknown port,
// 1797 unknown driver, 1801 invalid printer name, 1802 printer exists,
// 1805 invalid environment, 1905 printer deleted, 3000-3008 monitor and
// driver states).
const std::vector<CallFaults> kCalls = {
    {"RegOpenKeyExA", {2, 5, 1009, 1018}, {}, kRegistrySubjects, {}, false},
    {"RegCreateKeyA", {5, 1009, 1018, 112}, {}, kRegistrySubjects, {}, false},
    // Not 2: that is the answer for a value that is not there, never a
    // failure of one that is (the starting states leave values out for real).
    {"RegQueryValueExA",
     {5, 234, 1009, 1018},
     {},
     {"", "Software\\Orvane", "Session Manager"},
     {},
     false},
    {"RegSetValueExA", {5, 1009, 1018, 112}, {}, kRegistrySubjects, {}, false},
    {"RegDeleteKeyA", {2, 5, 1018}, {}, kDeletedKeys, {}, true},
    {"SHDeleteKeyA", {2, 5, 1018}, {}, kDeletedKeys, {}, true},
    {"CreateFileA", {2, 3, 5, 32, 112, 80}, {183, 32, 2}, kFileSubjects, {}, false},
    {"ReadFile", {5, 23, 30, 33, 38}, {38, 5}, kFileSubjects, {}, false},
    {"WriteFile", {5, 29, 33, 112}, {112, 5}, kFileSubjects, {}, false},
    {"SetFilePointer", {6, 87, 131}, {}, kFileSubjects, {}, false},
    {"CloseHandle", {6, 29, 112}, {}, kFileSubjects, {}, false},
    {"DeleteFileA", {2, 5, 32}, {2, 5}, {"", "orvmon", "\\system"}, {}, false},
    {"MoveFileA", {2, 5, 32, 183}, {183}, {"", "rpcblocked"}, 1722, false},
    {"GetFileAttributesExA", {2, 3, 5, 32}, {}, {"", "orvmon", "Pscript.drv"}, {}, false},
    {"HeapAlloc", {8}, {}, {""}, {}, false},
    {"GetVersionExA", {87, 122}, {}, {"", "156", "148"}, {}, false},
    {"GetSystemDirectoryA", {122, 8}, {}, {""}, {}, false},
    {"GetWindowsDirectoryA", {122, 8}, {}, {""}, 126, false},
    {"GetModuleFileNameA", {122, 8}, {}, {"", "setup.exe"}, {}, false},
    {"CreateProcessA",
     {2, 3, 5, 193, 1450},
     {2, 183},
     {"", "rundll32", "readme", "rpcblocked"},
     {},
     false},
    {"GetPrivateProfileStringA", {2, 5, 32}, {}, {"", "orvane.ini"}, {}, true},
    {"WritePrivateProfileStringA", {5, 32, 112}, {}, {"", "orvane.ini"}, {}, true},
    {"OpenSCManagerA", {5, 1722, 1115}, {}, {""}, {}, true},
    {"OpenServiceA", {5, 1060}, {}, {"", "Spooler"}, {}, true},
    {"ControlService", {5, 1052, 1061, 1062}, {}, {"", "Spooler"}, {}, true},
    {"StartServiceA", {5, 1053, 1056, 1058}, {}, {"", "Spooler"}, {}, true},
    {"SendMessageA", {1460, 5}, {1460}, {"", "Environment"}, 126, false},
    {"GetPrinterDriverDirectoryA", {122, 1722, 1805}, {}, {""}, {}, false},
    {"EnumMonitorsA", {122, 1722}, {}, {""}, {}, false},
    {"EnumPortsA", {122, 1722}, {}, {""}, {}, false},
    {"AddMonitorA", {5, 87, 126, 127, 1722, 3006}, {3006, 183, 1722}, kMonitorSubjects, {}, false},
    {"DeleteMonitorA", {5, 1722, 3000, 3008}, {3000, 1722}, kMonitorSubjects, {}, true},
    {"AddPrinterDriverA", {2, 5, 87, 126, 1722, 1797}, {126, 1722, 2}, kDriverSubjects, {}, false},
    {"DeletePrinterDriverA", {5, 1722, 1797, 3001}, {1797, 1722}, kDriverSubjects, {}, true},
    {"AddPrinterA", {5, 1722, 1796, 1797, 1802}, {1802, 1722}, kPrinterSubjects, {}, false},
    {"OpenPrinterA", {5, 1722, 1801}, {1801, 5}, kPrinterSubjects, {}, true},
    {"DeletePrinter", {5, 6, 1722, 1905}, {1905, 5}, kPrinterSubjects, {}, true},
    {"ClosePrinter", {6, 1722}, {}, kPrinterSubjects, {}, true},
};

}  // namespace

std::span<const CallFaults> FaultCalls() { return kCalls; }

std::string PointName(const std::string& call, bool stale) {
  return stale ? call + " (stale)" : call;
}

std::string PointName(const winsim::Fault& fault) {
  return PointName(fault.call, fault.mode == winsim::FaultMode::kStale);
}

std::vector<std::string> AllFaultPoints() {
  std::vector<std::string> points;
  for (const CallFaults& c : kCalls) {
    points.push_back(PointName(c.call, false));
    if (!c.stale_codes.empty()) points.push_back(PointName(c.call, true));
  }
  return points;
}

std::vector<winsim::Fault> DrawFaults(Rng& rng, bool removalRun) {
  // The points are drawn alike, so that a stale value is as likely as a
  // failure wherever the call has both; a removal run mostly draws from the
  // calls a removal makes.
  std::vector<std::pair<const CallFaults*, bool>> points, removalPoints;
  for (const CallFaults& c : kCalls) {
    for (bool stale : {false, true}) {
      if (stale && c.stale_codes.empty()) continue;
      points.emplace_back(&c, stale);
      if (c.removal) removalPoints.emplace_back(&c, stale);
    }
  }
  std::vector<winsim::Fault> faults;
  const std::uint64_t count = 1 + rng.Below(3);
  for (std::uint64_t i = 0; i < count; ++i) {
    const auto [c, stale] = rng.Pick(removalRun && rng.Percent(70) ? removalPoints : points);
    winsim::Fault fault;
    fault.call = c->call;
    fault.match = rng.Pick(c->matches);
    if (stale) {
      fault.mode = winsim::FaultMode::kStale;
      fault.code = rng.Pick(c->stale_codes);
    } else {
      fault.mode = rng.Percent(30) ? winsim::FaultMode::kAlways : winsim::FaultMode::kOnce;
      fault.code = rng.Pick(c->codes);
    }
    if (c->after_driver_failure) {
      faults.push_back(
          {"AddPrinterDriverA", "", *c->after_driver_failure, winsim::FaultMode::kOnce});
    }
    faults.push_back(std::move(fault));
  }
  return faults;
}

std::string Describe(const winsim::Fault& fault) {
  std::string text =
      fault.call + " " + std::to_string(fault.code) + " " + winsim::FaultModeName(fault.mode);
  if (!fault.match.empty()) text += " ~" + fault.match;
  return text;
}

}  // namespace orvane::campaign
