// The product settings file, root + "orvane\res\orvane.ini", section
// "Parameters", and its IniFileMapping entry. Every access is one profile
// call that names the file by its full path; nothing is cached here.
#pragma once

#include <string>

#include "platform/platform.h"

namespace orvane {

std::string SettingsFilePath(const std::string& installRoot);

// The key's value, or `defaultValue` when the file or the key is absent; read
// into a buffer of `bufferSize` bytes as the callers size it (512 or 80).
std::string ReadSetting(Platform& platform, const std::string& installRoot,
                        const char* key, const char* defaultValue,
                        std::size_t bufferSize);

// Writes the key; the result is not examined.
void WriteSetting(Platform& platform, const std::string& installRoot, const char* key,
                  const char* value);

// Removes the IniFileMapping entry "orvane.ini" and flushes the profile cache.
void ClearIniFileMapping(Platform& platform);

}  // namespace orvane
