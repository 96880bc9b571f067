#include "system/search_path.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <span>
#include <string_view>
#include <vector>

#include "install/product.h"
#include "platform/scoped_key.h"

namespace orvane {
namespace {

constexpr char kPathValue[] = "Path";
constexpr std::size_t kWindowsDirBuffer = 512;
// A "Path" that grows between the size query and the read is asked for again,
// a few times at most.
constexpr int kReadAttempts = 4;

bool EqualNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

// The value of `name` in an environment block, compared without regard to
// case as Windows compares variable names. Entries such as "=C:=C:\" (names
// that begin with '=') are the shell's and never match.
const char* LookUp(const char* environment, std::string_view name) {
  if (!environment) return nullptr;
  for (const char* entry = environment; *entry; entry += std::strlen(entry) + 1) {
    const char* equals = std::strchr(entry + 1, '=');
    if (equals && EqualNoCase(std::string_view(entry, equals - entry), name)) {
      return equals + 1;
    }
  }
  return nullptr;
}

// One pass over `text`, as ExpandEnvironmentStrings makes it.
std::string Expand(const std::string& text, const std::string& windows_dir,
                   const char* environment) {
  std::string out;
  std::size_t pos = 0;
  while (pos < text.size()) {
    const std::size_t open = text.find('%', pos);
    const std::size_t close = open == std::string::npos ? open : text.find('%', open + 1);
    if (close == std::string::npos) {
      out.append(text, pos, std::string::npos);
      break;
    }
    out.append(text, pos, open - pos);
    const std::string_view name(text.data() + open + 1, close - open - 1);
    if (EqualNoCase(name, "SystemRoot") || EqualNoCase(name, "windir")) {
      out += windows_dir;
    } else if (const char* value = name.empty() ? nullptr : LookUp(environment, name)) {
      out += value;
    } else {
      out.append(text, open, close - open + 1);  // unknown: left as written
    }
    pos = close + 1;
  }
  return out;
}

std::string WithoutTrailingBackslashes(std::string path) {
  while (path.size() > 1 && path.back() == '\\') path.pop_back();
  return path;
}

std::vector<std::string> Split(const std::string& text) {
  std::vector<std::string> entries;
  std::size_t start = 0;
  while (true) {
    const std::size_t semicolon = text.find(';', start);
    entries.push_back(text.substr(start, semicolon - start));
    if (semicolon == std::string::npos) break;
    start = semicolon + 1;
  }
  return entries;
}

// The old value: 0 with its text and type, ERROR_FILE_NOT_FOUND when there is
// none, or the status that kept it from being read.
win::LONG ReadOldPath(Platform& platform, win::HKEY key, std::string* text,
                      win::DWORD* type) {
  std::vector<win::BYTE> data(1024);
  for (int attempt = 0; attempt < kReadAttempts; ++attempt) {
    win::DWORD size = static_cast<win::DWORD>(data.size());
    const win::LONG status =
        platform.RegQueryValueExA(key, kPathValue, type, data, &size);
    if (status == static_cast<win::LONG>(win::ERROR_MORE_DATA)) {
      data.resize(size);
      continue;
    }
    if (status != 0) return status;
    const std::size_t length = std::min<std::size_t>(size, data.size());
    const auto* chars = reinterpret_cast<const char*>(data.data());
    *text = std::string(chars, strnlen(chars, length));
    return 0;
  }
  return static_cast<win::LONG>(win::ERROR_MORE_DATA);
}

}  // namespace

std::string BuildSearchPath(const std::string& windows_dir, const std::string& old_path,
                            const char* environment) {
  const std::string repaired[] = {windows_dir + "\\system32", windows_dir,
                                  windows_dir + "\\system32\\wbem"};
  std::string path = repaired[0] + ";" + repaired[1] + ";" + repaired[2];
  for (const std::string& entry : Split(old_path)) {
    if (entry.empty()) continue;
    const std::string expanded =
        WithoutTrailingBackslashes(Expand(entry, windows_dir, environment));
    bool names_repaired = false;
    for (const std::string& folder : repaired) {
      if (EqualNoCase(expanded, folder)) names_repaired = true;
    }
    if (!names_repaired) path += ";" + entry;
  }
  return path;
}

void RepairSearchPath(Platform& platform) {
  ScopedKey key(platform);
  if (platform.RegOpenKeyExA(win::HKEY_LOCAL_MACHINE, product::kEnvironmentKey, 0,
                             win::KEY_ALL_ACCESS, key.Receive()) == 0) {
    char windows_dir[kWindowsDirBuffer] = {};
    const win::UINT length = platform.GetWindowsDirectoryA(windows_dir);
    if (length != 0 && length < sizeof windows_dir) {
      std::string old_path;
      win::DWORD old_type = win::REG_NONE;
      const win::LONG status = ReadOldPath(platform, key.get(), &old_path, &old_type);
      if (status == 0 || status == static_cast<win::LONG>(win::ERROR_FILE_NOT_FOUND)) {
        const bool string_value =
            status == 0 && (old_type == win::REG_SZ || old_type == win::REG_EXPAND_SZ);
        const std::string path =
            BuildSearchPath(windows_dir, string_value ? old_path : std::string(),
                            platform.GetEnvironmentStrings());
        const win::DWORD type = string_value && old_type == win::REG_EXPAND_SZ
                                    ? win::REG_EXPAND_SZ
                                    : win::REG_SZ;
        platform.RegSetValueExA(
            key.get(), kPathValue, 0, type,
            std::span(reinterpret_cast<const win::BYTE*>(path.c_str()), path.size() + 1));
      }
    }
    key.Close();
  }
  // Running programs (Explorer, the spooler's own children) reread their
  // environment on this message.
  platform.SendMessageA(win::HWND_BROADCAST, win::WM_SETTINGCHANGE, 0,
                        reinterpret_cast<win::LPARAM>("Environment"));
}

}  // namespace orvane
