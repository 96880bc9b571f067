// Read-only questions about the machine, asked through the Platform as a
// program without administrative rights may ask them: keys opened with
// KEY_READ, files opened for reading and shared, the spooler's listings and
// the Spooler service's status. Nothing here writes, creates or starts
// anything, and every handle is closed before a function returns.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace orvane::check {

struct Value {
  win::DWORD type = 0;
  std::vector<win::BYTE> data;
};

// A value of a key below HKEY_LOCAL_MACHINE; nullopt when the key does not
// open or the value cannot be read.
std::optional<Value> ReadValue(Platform& platform, const std::string& key, const char* name);
bool KeyExists(Platform& platform, const std::string& key);

// A file (not a folder) at `path`.
bool FileExists(Platform& platform, const std::string& path);
// The whole file; nullopt when it cannot be opened or read.
std::optional<std::vector<win::BYTE>> ReadWholeFile(Platform& platform, const std::string& path);

// A spooler listing: the entries, or the code that the last call failed with.
template <typename Entry>
struct Listing {
  win::DWORD error = 0;
  std::vector<Entry> entries;
};
// Each asks for the size first, then lists into a buffer of that size (again,
// a few times, when the listing grows in between).
Listing<win::MonitorInfo1> ListMonitors(Platform& platform);
Listing<win::PortInfo2> ListPorts(Platform& platform);
Listing<win::DriverInfo3> ListDrivers(Platform& platform, const char* environment);
Listing<win::PrinterInfo2> ListPrinters(Platform& platform);

// The Spooler service's dwCurrentState (SERVICE_RUNNING ...), or the code of
// the call that failed: OpenSCManagerA, OpenServiceA (SERVICE_QUERY_STATUS) or
// QueryServiceStatus.
struct ServiceState {
  win::DWORD error = 0;
  win::DWORD state = 0;
};
ServiceState QuerySpooler(Platform& platform);

// "a, b and 2 more" of the first `shown` names.
std::string NameList(const std::vector<std::string>& names, std::size_t shown = 3);
bool SameText(const std::string& a, const std::string& b);  // without regard to case

}  // namespace orvane::check
