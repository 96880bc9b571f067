// ScopedKey: owns one open registry key and closes it through the Platform
// when it goes out of scope, so that every early return closes the key.
//
//   ScopedKey key(platform);
//   if (platform.RegOpenKeyExA(win::HKEY_LOCAL_MACHINE, "Software\\Orvane", 0,
//                              win::KEY_READ, key.Receive()) != 0) return;
//   ... key.get() ...
//
// Registry calls leave the last-error value alone, so closing never disturbs
// a value that a caller is about to read.
#pragma once

#include <utility>

#include "platform/platform.h"
#include "platform/win32_types.h"

namespace orvane {

class ScopedKey {
 public:
  explicit ScopedKey(Platform& platform, win::HKEY key = win::kNullKey)
      : platform_(&platform), key_(key) {}
  ~ScopedKey() { Close(); }

  ScopedKey(ScopedKey&& other) noexcept
      : platform_(other.platform_), key_(other.Take()) {}
  ScopedKey& operator=(ScopedKey&& other) noexcept {
    if (this != &other) {
      Close();
      platform_ = other.platform_;
      key_ = other.Take();
    }
    return *this;
  }
  ScopedKey(const ScopedKey&) = delete;
  ScopedKey& operator=(const ScopedKey&) = delete;

  win::HKEY get() const { return key_; }
  bool is_valid() const { return key_ != win::kNullKey; }

  // Gives up ownership: the key is returned and no longer closed here.
  win::HKEY Take() { return std::exchange(key_, win::kNullKey); }

  // Closes the held key (if any) and returns the slot for a call that opens
  // or creates a key (RegOpenKeyExA, RegCreateKeyA). Those leave null in it
  // on failure.
  win::HKEY* Receive() {
    Close();
    return &key_;
  }

  // Closes the held key now; RegCloseKey's result is not examined.
  void Close() {
    if (key_ != win::kNullKey) platform_->RegCloseKey(Take());
  }

 private:
  Platform* platform_;
  win::HKEY key_;
};

}  // namespace orvane
