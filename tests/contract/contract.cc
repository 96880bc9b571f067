#include "contract.h"

#include <algorithm>
#include <vector>

namespace orvane::contract {

using namespace orvane::win;

std::vector<Case> AllCases() {
  std::vector<Case> all;
  for (auto area :
       {RegistryCases(), ProfileReadCases(), ProfileWriteCases(), FileCases(), DeleteMoveCases(),
        SystemCases()}) {
    all.insert(all.end(), area.begin(), area.end());
  }
  return all;
}

HANDLE OpenFile(Platform& platform, const std::string& path, DWORD access, DWORD share,
                DWORD disposition) {
  return platform.CreateFileA(path.c_str(), access, share, nullptr, disposition,
                              FILE_ATTRIBUTE_NORMAL, kNullHandle);
}

bool WriteText(Platform& platform, Checker& checker, const std::string& path,
               std::string_view text) {
  ScopedFile file(platform, OpenFile(platform, path, GENERIC_WRITE, 0, CREATE_ALWAYS));
  if (!file.is_valid()) {
    checker.Fail("writing " + path, "CreateFileA error " + Describe(platform.GetLastError()),
                 "the file created");
    return false;
  }
  DWORD written = 0;
  BOOL ok = platform.WriteFile(
      file.get(), std::span(reinterpret_cast<const BYTE*>(text.data()), text.size()), &written);
  return checker.That("writing " + path, ok && written == text.size(), "every byte written");
}

std::optional<std::string> ReadText(Platform& platform, const std::string& path) {
  ScopedFile file(platform, OpenFile(platform, path, GENERIC_READ,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING));
  if (!file.is_valid()) return std::nullopt;
  std::string text;
  BYTE chunk[4096];
  DWORD got = 0;
  while (platform.ReadFile(file.get(), chunk, &got) && got > 0) {
    text.append(reinterpret_cast<const char*>(chunk), got);
  }
  return text;
}

bool Exists(Platform& platform, const std::string& path) {
  return platform.GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string ProfileRead::text() const {
  auto end = std::find(buffer.begin(), buffer.begin() + size, '\0');
  return std::string(buffer.begin(), end);
}

std::string ProfileRead::From(std::size_t from) const {
  return std::string(buffer.begin() + from, buffer.end());
}

std::string ProfileRead::FillFrom(std::size_t from) const {
  return std::string(buffer.size() - from, kFill);
}

ProfileRead GetProfileString(Platform& platform, const std::string& file, const char* section,
                             const char* key, const char* defaultValue, std::size_t size) {
  ProfileRead r;
  r.buffer.fill(ProfileRead::kFill);
  r.size = size;
  r.count = platform.GetPrivateProfileStringA(section, key, defaultValue,
                                              std::span(r.buffer.data(), size), file.c_str());
  return r;
}

LONG SetString(Platform& platform, HKEY key, const char* name, std::string_view text) {
  std::string data(text);
  return platform.RegSetValueExA(
      key, name, 0, REG_SZ,
      std::span(reinterpret_cast<const BYTE*>(data.c_str()), data.size() + 1));
}

LONG OpenStatus(Platform& platform, HKEY key, const char* subKey) {
  HKEY opened = kNullKey;
  LONG status = platform.RegOpenKeyExA(key, subKey, 0, KEY_READ, &opened);
  if (status == 0) platform.RegCloseKey(opened);
  return status;
}

}  // namespace orvane::contract
