#include "check/reader.h"

#include <cctype>

#include "platform/file.h"
#include "platform/scoped_key.h"

namespace orvane::check {
namespace {

constexpr int kListingAttempts = 3;

// Closes a service or manager handle when it goes out of scope.
class ScopedService {
 public:
  ScopedService(Platform& platform, win::SC_HANDLE handle) : platform_(platform), handle_(handle) {}
  ~ScopedService() {
    if (handle_ != win::kNullServiceHandle) platform_.CloseServiceHandle(handle_);
  }
  ScopedService(const ScopedService&) = delete;
  ScopedService& operator=(const ScopedService&) = delete;
  win::SC_HANDLE get() const { return handle_; }

 private:
  Platform& platform_;
  win::SC_HANDLE handle_;
};

// `list(bufferSize, &needed, &returned, &entries)` is one call of the listing.
template <typename Entry, typename List>
Listing<Entry> Collect(Platform& platform, List list) {
  Listing<Entry> listing;
  win::DWORD size = 0;
  for (int attempt = 0; attempt < kListingAttempts; ++attempt) {
    win::DWORD needed = 0;
    win::DWORD returned = 0;
    if (list(size, &needed, &returned, &listing.entries)) {
      listing.error = 0;
      if (listing.entries.size() > returned) listing.entries.resize(returned);
      return listing;
    }
    listing.error = platform.GetLastError();
    if (listing.error != win::ERROR_INSUFFICIENT_BUFFER || needed <= size) break;
    size = needed;
  }
  listing.entries.clear();
  return listing;
}

}  // namespace

std::optional<Value> ReadValue(Platform& platform, const std::string& key, const char* name) {
  ScopedKey opened(platform);
  if (platform.RegOpenKeyExA(win::HKEY_LOCAL_MACHINE, key.c_str(), 0, win::KEY_READ,
                             opened.Receive()) != win::ERROR_SUCCESS) {
    return std::nullopt;
  }
  Value value;
  win::DWORD size = 0;
  if (platform.RegQueryValueExA(opened.get(), name, &value.type, {}, &size) != win::ERROR_SUCCESS) {
    return std::nullopt;
  }
  // The value may grow between asking its size and reading it.
  for (int attempt = 0; attempt < kListingAttempts; ++attempt) {
    value.data.assign(size, 0);
    win::DWORD read = size;
    const win::LONG status =
        platform.RegQueryValueExA(opened.get(), name, &value.type, value.data, &read);
    if (status == win::ERROR_SUCCESS) {
      value.data.resize(std::min(read, size));
      return value;
    }
    if (status != win::ERROR_MORE_DATA || read <= size) break;
    size = read;
  }
  return std::nullopt;
}

bool KeyExists(Platform& platform, const std::string& key) {
  ScopedKey opened(platform);
  return platform.RegOpenKeyExA(win::HKEY_LOCAL_MACHINE, key.c_str(), 0, win::KEY_READ,
                                opened.Receive()) == win::ERROR_SUCCESS;
}

bool FileExists(Platform& platform, const std::string& path) {
  const win::DWORD attributes = platform.GetFileAttributesA(path.c_str());
  return attributes != win::INVALID_FILE_ATTRIBUTES &&
         (attributes & win::FILE_ATTRIBUTE_DIRECTORY) == 0;
}

std::optional<std::vector<win::BYTE>> ReadWholeFile(Platform& platform, const std::string& path) {
  File file(platform);
  if (!file.Open(path.c_str(), File::modeRead | File::shareDenyNone | File::typeBinary)) {
    return std::nullopt;
  }
  try {
    std::vector<win::BYTE> bytes(file.GetLength());
    std::size_t read = 0;
    while (read < bytes.size()) {
      const win::UINT count = file.Read(std::span(bytes).subspan(read));
      if (count == 0) break;
      read += count;
    }
    bytes.resize(read);
    return bytes;
  } catch (const FileException&) {
    return std::nullopt;
  }
}

Listing<win::MonitorInfo1> ListMonitors(Platform& platform) {
  return Collect<win::MonitorInfo1>(
      platform, [&](auto size, auto needed, auto returned, auto entries) {
        return platform.EnumMonitorsA(nullptr, 1, size, needed, returned, entries);
      });
}

Listing<win::PortInfo2> ListPorts(Platform& platform) {
  return Collect<win::PortInfo2>(
      platform, [&](auto size, auto needed, auto returned, auto entries) {
        return platform.EnumPortsA(nullptr, 2, size, needed, returned, entries);
      });
}

Listing<win::DriverInfo3> ListDrivers(Platform& platform, const char* environment) {
  return Collect<win::DriverInfo3>(platform, [&](auto size, auto needed, auto returned,
                                                 auto entries) {
    return platform.EnumPrinterDriversA(nullptr, environment, 3, size, needed, returned, entries);
  });
}

Listing<win::PrinterInfo2> ListPrinters(Platform& platform) {
  return Collect<win::PrinterInfo2>(
      platform, [&](auto size, auto needed, auto returned, auto entries) {
        return platform.EnumPrintersA(win::PRINTER_ENUM_LOCAL, nullptr, 2, size, needed, returned,
                                      entries);
      });
}

ServiceState QuerySpooler(Platform& platform) {
  ServiceState answer;
  ScopedService manager(platform,
                        platform.OpenSCManagerA(nullptr, nullptr, win::SC_MANAGER_CONNECT));
  if (manager.get() == win::kNullServiceHandle) {
    answer.error = platform.GetLastError();
    return answer;
  }
  ScopedService spooler(platform,
                        platform.OpenServiceA(manager.get(), "Spooler", win::SERVICE_QUERY_STATUS));
  if (spooler.get() == win::kNullServiceHandle) {
    answer.error = platform.GetLastError();
    return answer;
  }
  win::SERVICE_STATUS status;
  if (!platform.QueryServiceStatus(spooler.get(), &status)) {
    answer.error = platform.GetLastError();
    return answer;
  }
  answer.state = status.dwCurrentState;
  return answer;
}

std::string NameList(const std::vector<std::string>& names, std::size_t shown) {
  std::string text;
  for (std::size_t i = 0; i < names.size() && i < shown; ++i) {
    text += (i == 0 ? "" : ", ") + names[i];
  }
  if (names.size() > shown) text += " and " + std::to_string(names.size() - shown) + " more";
  return text;
}

bool SameText(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

}  // namespace orvane::check
