// The contract cases: how Windows answers the registry, profile-file and file
// calls that the installer makes, stated once against the Platform interface
// and checked against every backend (the simulator, Windows, Wine).
//
// Cases are grouped by area (contract_registry.cc, contract_profile.cc,
// contract_files.cc); each area is a table of cases, and where cases are alike
// they are rows of one case. The helpers below are written on the Platform as
// well, so that a case needs nothing else.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "harness.h"
#include "platform/platform.h"
#include "platform/win32_types.h"

namespace orvane::contract {

std::span<const Case> RegistryCases();      // contract_registry.cc
std::span<const Case> ProfileReadCases();   // contract_profile_read.cc
std::span<const Case> ProfileWriteCases();  // contract_profile_write.cc
std::span<const Case> FileCases();          // contract_files.cc
std::span<const Case> DeleteMoveCases();    // contract_delete_move.cc
std::span<const Case> SystemCases();        // contract_system.cc
// Every case, area by area.
std::vector<Case> AllCases();

// Set as the last-error value before a call, so that "left unchanged" is seen.
inline constexpr win::DWORD kPoison = 0xDEADBEEF;

inline constexpr win::DWORD kRead = win::GENERIC_READ;
inline constexpr win::DWORD kWrite = win::GENERIC_WRITE;
inline constexpr win::DWORD kReadWrite = win::GENERIC_READ | win::GENERIC_WRITE;
inline constexpr win::DWORD kShareRW = win::FILE_SHARE_READ | win::FILE_SHARE_WRITE;

// Owns one file handle and closes it through the Platform.
class ScopedFile {
 public:
  ScopedFile(Platform& platform, win::HANDLE handle) : platform_(&platform), handle_(handle) {}
  ~ScopedFile() { Close(); }
  ScopedFile(const ScopedFile&) = delete;
  ScopedFile& operator=(const ScopedFile&) = delete;

  bool is_valid() const { return handle_ != win::INVALID_HANDLE_VALUE; }
  win::HANDLE get() const { return handle_; }
  void Close() {
    if (is_valid()) platform_->CloseHandle(handle_);
    handle_ = win::INVALID_HANDLE_VALUE;
  }

 private:
  Platform* platform_;
  win::HANDLE handle_;
};

// CreateFileA with FILE_ATTRIBUTE_NORMAL and no template.
win::HANDLE OpenFile(Platform& platform, const std::string& path, win::DWORD access,
                     win::DWORD share, win::DWORD disposition);
// Creates or truncates the file and writes `text`; a failure is recorded.
bool WriteText(Platform& platform, Checker& checker, const std::string& path,
               std::string_view text);
// The whole file, or nullopt when it cannot be opened for reading.
std::optional<std::string> ReadText(Platform& platform, const std::string& path);
// GetFileAttributesA finds the path.
bool Exists(Platform& platform, const std::string& path);

// One GetPrivateProfileStringA into a buffer of `size` characters at the front
// of a larger one filled with kFill, so that what is written past nSize shows.
struct ProfileRead {
  static constexpr char kFill = '#';
  win::DWORD count = 0;
  std::size_t size = 0;
  std::array<char, 64> buffer;

  // The text up to its NUL, within the first `size` characters.
  std::string text() const;
  // The buffer from `from` on, and what it holds when nothing was written there.
  std::string From(std::size_t from) const;
  std::string FillFrom(std::size_t from) const;
};
ProfileRead GetProfileString(Platform& platform, const std::string& file, const char* section,
                             const char* key, const char* defaultValue, std::size_t size = 32);

// A REG_SZ value of `text` with its NUL.
win::LONG SetString(Platform& platform, win::HKEY key, const char* name, std::string_view text);
// RegOpenKeyExA's status for `subKey`; the key is closed again.
win::LONG OpenStatus(Platform& platform, win::HKEY key, const char* subKey);

}  // namespace orvane::contract
