// Profile files: GetPrivateProfileStringA and WritePrivateProfileStringA over the
// simulated disk, with the IniFileMapping redirection of the NT family.
//
// The simulator keeps no cache: every call reads the file afresh, so the flush
// request changes nothing but is journaled.
#include <algorithm>
#include <cctype>
#include <cstring>

#include "winsim/machine.h"
#include "winsim/profile.h"

namespace orvane::winsim {

using namespace orvane::win;

namespace {

constexpr std::string_view kMappingKey =
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\IniFileMapping";

std::string BaseName(std::string_view path) {
  std::size_t slash = path.find_last_of("\\/:");
  return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

// Where a mapped section lives: the registry key, and whether the file still
// counts ('!': written to both; '@': never read from the file).
struct Mapping {
  std::string key;
  bool write_file_too = false;
  bool registry_only = false;
};

std::optional<Mapping> ParseLocation(std::string_view location) {
  Mapping m;
  while (!location.empty() && std::strchr("!#@", location.front())) {
    if (location.front() == '!') m.write_file_too = true;
    if (location.front() == '@') m.registry_only = true;
    location.remove_prefix(1);
  }
  auto starts = [&](std::string_view prefix) {
    return location.size() >= prefix.size() &&
           std::equal(prefix.begin(), prefix.end(), location.begin(), [](char a, char b) {
             return std::toupper(static_cast<unsigned char>(a)) == b;
           });
  };
  if (starts("USR:")) {
    m.key = "HKEY_CURRENT_USER\\" + std::string(location.substr(4));
  } else if (starts("SYS:")) {
    m.key = "HKEY_LOCAL_MACHINE\\SOFTWARE\\" + std::string(location.substr(4));
  } else {
    return std::nullopt;
  }
  return m;
}

std::optional<std::string> StringValue(const Registry& registry, std::string_view key,
                                       std::string_view name) {
  auto value = registry.GetValue(key, name);
  if (!value || (value->type != REG_SZ && value->type != REG_EXPAND_SZ)) {
    return std::nullopt;
  }
  std::string text(value->data.begin(), value->data.end());
  return text.substr(0, text.find('\0'));
}

// The registry location of one key of a section of a mapped file, if the file
// is mapped: a subkey named after the section maps key by key (its default
// value for the other keys); a value named after the section maps the whole
// section; the file key's default value maps every other section below it.
std::optional<Mapping> FindMapping(const Registry& registry, const std::string& file,
                                   std::string_view section, std::string_view key) {
  std::string fileKey = std::string(kMappingKey) + "\\" + file;
  if (!registry.KeyExists(fileKey)) return std::nullopt;
  std::string sectionKey = fileKey + "\\" + std::string(section);
  if (registry.KeyExists(sectionKey)) {
    if (auto location = StringValue(registry, sectionKey, key)) return ParseLocation(*location);
    if (auto location = StringValue(registry, sectionKey, "")) return ParseLocation(*location);
    return std::nullopt;
  }
  if (auto location = StringValue(registry, fileKey, section)) return ParseLocation(*location);
  if (auto location = StringValue(registry, fileKey, "")) {
    auto mapping = ParseLocation(*location);
    if (mapping) mapping->key.append("\\").append(section);
    return mapping;
  }
  return std::nullopt;
}

std::string Trimmed(const char* text) {
  std::string_view view = text ? text : "";
  while (!view.empty() && std::isspace(static_cast<unsigned char>(view.front()))) view.remove_prefix(1);
  while (!view.empty() && std::isspace(static_cast<unsigned char>(view.back()))) view.remove_suffix(1);
  return std::string(view);
}

}  // namespace

// A bare file name lives in the Windows folder; a name with a path is taken as
// given.
std::string Machine::ResolveProfilePath(const char* fileName) const {
  std::string name = fileName ? fileName : "";
  if (name.find_first_of("\\/:") == std::string::npos) {
    return std::string(profile_->windows_dir) + "\\" + name;
  }
  return name;
}

namespace {

// The file's text, nullopt when it does not exist or cannot be opened; *error
// gets the reason.
std::optional<std::string> ReadProfileFile(FileSystem& files, const std::string& path,
                                           DWORD* error) {
  HANDLE file = files.CreateFile(path.c_str(), GENERIC_READ,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL, error);
  if (file == INVALID_HANDLE_VALUE) return std::nullopt;
  std::string text;
  std::vector<BYTE> chunk(64 * 1024);
  DWORD got = 0;
  while (files.Read(file, chunk, &got, error) && got > 0) {
    text.append(reinterpret_cast<const char*>(chunk.data()), got);
  }
  DWORD ignored = 0;
  files.Close(file, &ignored);
  *error = 0;
  return text;
}

bool WriteProfileFile(FileSystem& files, const std::string& path,
                      const std::optional<std::string>& before, const std::string& text,
                      DWORD* error) {
  // A full disk refuses the write before the file is cut, so nothing is lost.
  std::uint64_t old_size = before ? before->size() : 0;
  if (files.free_space() && text.size() > old_size &&
      text.size() - old_size > *files.free_space()) {
    *error = ERROR_DISK_FULL;
    return false;
  }
  HANDLE file = files.CreateFile(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                                 FILE_SHARE_READ, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                 error);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  bool ok = files.Write(file, std::span(reinterpret_cast<const BYTE*>(text.data()),
                                        text.size()),
                        &written, error);
  DWORD ignored = 0;
  files.Close(file, &ignored);
  return ok;
}

}  // namespace

DWORD Machine::GetPrivateProfileStringA(const char* appName, const char* keyName,
                                        const char* defaultValue, std::span<char> out,
                                        const char* fileName) {
  std::string path = ResolveProfilePath(fileName);
  if (Fails("GetPrivateProfileStringA", path)) {
    return profile::GetString(std::nullopt, appName, keyName, defaultValue, out);
  }
  if (profile_->nt_family && appName && keyName && fileName && *fileName) {
    if (auto mapping = FindMapping(registry_, BaseName(path), Trimmed(appName),
                                   Trimmed(keyName))) {
      if (auto value = StringValue(registry_, mapping->key, Trimmed(keyName))) {
        std::string text = "[s]\r\n" + Trimmed(keyName) + "=" + *value + "\r\n";
        return profile::GetString(text, "s", keyName, defaultValue, out);
      }
      if (mapping->registry_only) {
        last_error_ = ERROR_FILE_NOT_FOUND;
        return profile::GetString(std::nullopt, appName, keyName, defaultValue, out);
      }
    }
  }
  DWORD error = 0;
  std::optional<std::string> text;
  if (fileName && *fileName) text = ReadProfileFile(files_, path, &error);
  if (!text) {
    // Windows documents ERROR_FILE_NOT_FOUND for a file it cannot find, in a
    // missing folder too; other reasons (a sharing violation) pass through.
    last_error_ = error && error != ERROR_PATH_NOT_FOUND ? error : ERROR_FILE_NOT_FOUND;
  } else if (appName && keyName && !profile::Lookup(*text, appName, keyName)) {
    last_error_ = ERROR_FILE_NOT_FOUND;
  }
  return profile::GetString(text, appName, keyName, defaultValue, out);
}

BOOL Machine::WritePrivateProfileStringA(const char* appName, const char* keyName,
                                         const char* value, const char* fileName) {
  if (!fileName || !*fileName) {
    last_error_ = ERROR_ACCESS_DENIED;
    return FALSE;
  }
  std::string path = ResolveProfilePath(fileName);
  if (!appName && !keyName && !value) {
    Journal("profileflush", {path});
    return FALSE;  // "always returns FALSE after flushing the cache"
  }
  if (!appName) {
    last_error_ = ERROR_FILE_NOT_FOUND;
    return FALSE;
  }
  if (Fails("WritePrivateProfileStringA", path)) return FALSE;

  bool write_file = true;
  if (profile_->nt_family && keyName) {
    if (auto mapping = FindMapping(registry_, BaseName(path), Trimmed(appName),
                                   Trimmed(keyName))) {
      std::string name = Trimmed(keyName);
      if (value) {
        std::string data = Trimmed(value);
        std::vector<BYTE> bytes(data.begin(), data.end());
        bytes.push_back(0);
        registry_.PutValue(mapping->key, name, REG_SZ, std::move(bytes));
      } else {
        registry_.RemoveValue(mapping->key, name);
      }
      write_file = mapping->write_file_too;
    }
  }
  if (!write_file) return TRUE;

  DWORD error = 0;
  std::optional<std::string> before = ReadProfileFile(files_, path, &error);
  if (!before && error != ERROR_FILE_NOT_FOUND) {
    last_error_ = error;
    return FALSE;
  }
  std::string after = profile::Write(before.value_or(""), appName, keyName, value);
  if (before ? after == *before : after.empty()) return TRUE;  // nothing to write
  if (!WriteProfileFile(files_, path, before, after, &error)) {
    last_error_ = error;
    return FALSE;
  }
  return TRUE;
}

BOOL Machine::WritePrivateProfileStringW(const char16_t* appName,
                                         const char16_t* keyName,
                                         const char16_t* value,
                                         const char16_t* fileName) {
  // The installer passes ASCII text only; anything wider is replaced by '?'.
  auto narrow = [](const char16_t* text) -> std::optional<std::string> {
    if (!text) return std::nullopt;
    std::string out;
    for (; *text; ++text) out += *text < 0x80 ? static_cast<char>(*text) : '?';
    return out;
  };
  auto app = narrow(appName);
  auto key = narrow(keyName);
  auto val = narrow(value);
  auto file = narrow(fileName);
  return WritePrivateProfileStringA(app ? app->c_str() : nullptr,
                                    key ? key->c_str() : nullptr,
                                    val ? val->c_str() : nullptr,
                                    file ? file->c_str() : nullptr);
}

}  // namespace orvane::winsim
