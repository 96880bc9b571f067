#include "system/settings_file.h"

#include <algorithm>
#include <vector>

#include "install/product.h"
#include "platform/scoped_key.h"

namespace orvane {

std::string SettingsFilePath(const std::string& installRoot) {
  return installRoot + product::kSettingsFile;
}

std::string ReadSetting(Platform& platform, const std::string& installRoot,
                        const char* key, const char* defaultValue,
                        std::size_t bufferSize) {
  if (bufferSize == 0) return std::string();
  std::vector<char> buffer(bufferSize, '\0');
  const std::string path = SettingsFilePath(installRoot);
  const win::DWORD copied = platform.GetPrivateProfileStringA(
      product::kSettingsSection, key, defaultValue, buffer, path.c_str());
  // The count never reaches the buffer's size (the NUL takes the last byte);
  // the bound only guards against a backend that says otherwise.
  return std::string(buffer.data(), std::min<std::size_t>(copied, bufferSize - 1));
}

void WriteSetting(Platform& platform, const std::string& installRoot, const char* key,
                  const char* value) {
  const std::string path = SettingsFilePath(installRoot);
  platform.WritePrivateProfileStringA(product::kSettingsSection, key, value,
                                      path.c_str());
}

void ClearIniFileMapping(Platform& platform) {
  ScopedKey mapping(platform);
  if (platform.RegOpenKeyExA(win::HKEY_LOCAL_MACHINE, product::kIniFileMappingKey, 0,
                             win::KEY_ALL_ACCESS, mapping.Receive()) != 0) {
    platform.RegCreateKeyA(win::HKEY_LOCAL_MACHINE, product::kIniFileMappingKey,
                           mapping.Receive());
  }
  if (mapping.is_valid()) {
    // NT refuses a subkey that has subkeys of its own; that is left as it is.
    platform.RegDeleteKeyA(mapping.get(), product::kSettingsFileName);
    mapping.Close();
  }
  // Null section, key and value: the profile functions drop their cached copy.
  platform.WritePrivateProfileStringW(nullptr, nullptr, nullptr, u"orvane.ini");
}

}  // namespace orvane
