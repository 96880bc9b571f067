#include "app/install_root.h"

#include <algorithm>
#include <vector>

#include "platform/scoped_key.h"
#include "platform/win32_types.h"

namespace orvane {
namespace {

constexpr char kDefaultRoot[] = "c:\\";
constexpr char kProductKey[] = "Software\\Orvane";
constexpr char kRootValue[] = "Path";
constexpr win::DWORD kRootBufferSize = 10000;

}  // namespace

std::string GetInstallRoot(Platform& platform) {
  std::string root = kDefaultRoot;
  ScopedKey key(platform);
  if (platform.RegOpenKeyExA(win::HKEY_LOCAL_MACHINE, kProductKey, 0, win::KEY_READ,
                             key.Receive()) != win::ERROR_SUCCESS) {
    return root;
  }
  std::vector<win::BYTE> buffer(kRootBufferSize, 0);
  win::DWORD type = 0;  // received, not examined: any type's text is taken
  win::DWORD size = kRootBufferSize;
  if (platform.RegQueryValueExA(key.get(), kRootValue, &type, buffer, &size) ==
      win::ERROR_SUCCESS) {
    // The text ends at the first NUL. A value that fills the whole buffer
    // without one (a REG_SZ stored without its NUL, or binary data) ends at
    // the buffer's end: the text is never read past the bytes that were
    // asked for. Such a 10000-byte root makes every path built on it too long
    // to open, so the log and the product tree are not found, as they would
    // not be under any other reading of that value; falling back to "c:\"
    // instead would put them somewhere the administrator did not name.
    const auto end = std::find(buffer.begin(), buffer.end(), win::BYTE{0});
    root.assign(buffer.begin(), end);
  }
  return root;
}

}  // namespace orvane
