// What the part checks share: where an installation keeps its registrations
// (below HKEY_LOCAL_MACHINE), registry values as setup writes them, and the
// parts of the installation question that live in installation_data.cc.
#pragma once

#include <string>
#include <vector>

#include "check/reader.h"
#include "check/report.h"
#include "check/windows_facts.h"
#include "install/product.h"

namespace orvane::check {

inline std::string PrinterKey() {
  return std::string(product::kPrintersKey) + "\\" + product::kPrinterName;
}
inline std::string MonitorKey() {
  return std::string(product::kMonitorsKey) + "\\" + product::kMonitorName;
}
inline std::string PortKey() { return MonitorKey() + "\\Ports\\" + product::kPortName; }
inline constexpr char kEntryKey[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Orvane";
// The driver's keys for the family: the flat one of "Windows 4.0", or the one
// of each version of "Windows NT x86".
std::vector<std::string> DriverKeys(const WindowsFacts& facts);

// A REG_SZ value's text up to its NUL; "" for none.
std::string TextOf(const std::optional<Value>& value);
// A settings key as the installer reads it; kAbsent when there is none.
inline constexpr char kAbsent[] = "<absent>";
std::string Setting(Platform& platform, const WindowsFacts& facts, const char* key);

// A part whose listing failed: the spooler does not answer (1722 while it is
// stopped), so only its registry key tells whether it is there.
std::string Silent(win::DWORD error);

Part MakePart(const char* id, bool registration);
void SetPart(Part* part, Status status, std::string detail, Action action = Action::kNone);

std::vector<win::BYTE> Sz(const std::string& text);  // with its NUL
std::vector<win::BYTE> Dword(win::DWORD value);      // 4 bytes, little-endian

struct ExpectedValue {
  const char* name;
  win::DWORD type;
  std::optional<std::vector<win::BYTE>> data;  // nullopt: the type alone is known
};

// The values of a key that are missing, and those of another type or content.
struct ValueFindings {
  std::vector<std::string> missing, differing;
  bool all_missing(std::size_t count) const { return missing.size() == count; }
  bool none() const { return missing.empty() && differing.empty(); }
  std::string Describe() const;  // "missing a, b; not as setup writes them: c"
};
ValueFindings CompareValues(Platform& platform, const std::string& key,
                            const std::vector<ExpectedValue>& expected);

// The installation question's parts of data and settings (installation_data.cc).
Part PrinterDataPart(Platform& platform, const WindowsFacts& facts);
Part UninstallEntryPart(Platform& platform, const WindowsFacts& facts);
Part InstalledSettingsPart(Platform& platform, const WindowsFacts& facts);

}  // namespace orvane::check
