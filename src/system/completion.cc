#include "system/completion.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <span>
#include <string>
#include <string_view>

#include "app/install_root.h"
#include "install/product.h"
#include "platform/file.h"
#include "platform/heap_block.h"
#include "platform/framework.h"
#include "system/rundll32_launch.h"
#include "system/settings_file.h"
#include "system/uninstall_entry.h"

namespace orvane {
namespace {

constexpr char kPageLauncher[] = "rundll32.exe url.dll,FileProtocolHandler ";
constexpr char kReadme[] = "orvane\\readme.html";  // below the installation root
constexpr char kRpcMarker[] = "orvane\\res\\drivedir\\rpcblocked.tmp";
constexpr char kRpcPage[] = "orvane\\res\\drivedir\\rpcblocked.html";
constexpr char kRpcMessage[] =
    "Setup has determined that you need to manually configure ORVANE due to the "
    "settings of your Remote Procedure Call service. Instructions will follow.";

constexpr char kCompanionReadme[] = "orvane\\res\\utilities\\readme.html";
constexpr std::string_view kVersionMarker = "this is version ";  // with its blank
constexpr float kCompanionThreshold = 4.4f;
constexpr double kVersionTolerance = 0.0001;

// The C runtime's white space in the "C" locale, as atoi and atof skip it.
bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// atoi over a bounded text: leading white space, an optional sign, decimal
// digits as far as they go; no digits give 0. Out-of-range values stop at
// INT_MAX or INT_MIN, as today's runtime has it: an older runtime let them wrap
// round, and a large "Quiet" could then read as 0.
int ParseInt(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && IsSpace(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  long long value = 0;
  for (; i < text.size() && IsDigit(text[i]); ++i) {
    value = std::min<long long>(value * 10 + (text[i] - '0'), 1LL + INT_MAX);
  }
  if (negative) value = -value;
  return static_cast<int>(std::clamp<long long>(value, INT_MIN, INT_MAX));
}

// atof over a bounded text, in the Microsoft runtime's form: leading white
// space, an optional sign, digits with an optional decimal point and
// fraction, then an optional exponent introduced by e, E, d or D with its own
// sign and digits. Only the part that forms such a number is converted; text
// that starts no number gives 0.
double ParseDouble(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && IsSpace(text[i])) ++i;
  std::string number;  // the recognised part, in strtod's spelling
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) number += text[i++];
  std::size_t digits = 0;
  for (; i < text.size() && IsDigit(text[i]); ++i, ++digits) number += text[i];
  if (i < text.size() && text[i] == '.') {
    number += text[i++];
    for (; i < text.size() && IsDigit(text[i]); ++i, ++digits) number += text[i];
  }
  if (digits == 0) return 0.0;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E' || text[i] == 'd' ||
                          text[i] == 'D')) {
    std::size_t j = i + 1;
    std::string exponent = "e";
    if (j < text.size() && (text[j] == '+' || text[j] == '-')) exponent += text[j++];
    if (j < text.size() && IsDigit(text[j])) {
      for (; j < text.size() && IsDigit(text[j]); ++j) exponent += text[j];
      number += exponent;
    }
  }
  // `number` holds only sign, digits, point and exponent, and its own NUL:
  // strtod reads nothing beyond it.
  return std::strtod(number.c_str(), nullptr);
}

// The companion readme's text up to its first NUL; false when it does not
// open, no block can be had for it or reading it raises a file error.
bool ReadCompanionReadme(Platform& platform, const std::string& path, std::string* text) {
  File file(platform);
  if (!file.Open(path.c_str(), File::modeRead | File::shareDenyNone | File::typeBinary)) {
    return false;  // the companion product is taken to be absent
  }
  try {
    const win::DWORD length = file.GetLength();
    // One byte more than the file, zero, closes the text. A 32-bit size_t
    // cannot hold that byte for a file of 4 GB - 1: no block then.
    const win::SIZE_T bytes = win::SIZE_T{length} + 1;
    if (bytes == 0) return false;
    HeapBlock block(platform, bytes);
    if (block.data() == nullptr) return false;
    std::memset(block.data(), 0, bytes);
    const win::UINT read = file.Read(
        std::span<win::BYTE>(block.data(), length));
    // Nothing past what was read is taken, whatever the block holds there.
    const char* begin = reinterpret_cast<const char*>(block.data());
    text->assign(begin, std::find(begin, begin + read, '\0'));
  } catch (const FileException&) {
    return false;
  }
  file.Abort();  // only read: a failing close loses nothing
  return true;
}

}  // namespace

void CompleteSetup(Platform& platform, InstallContext& context) {
  platform.WriteStandardOutput("Completing printer setup...\n\n");

  const char* environment = platform.GetEnvironmentStrings();

  std::string commandLine = kPageLauncher + context.install_root + kReadme;
  if (context.rpc_unavailable) {
    AfxMessageBox(platform, kRpcMessage, win::MB_OK, 0);
    // The help page ships under a name the browser would not open; it is moved
    // to its final name the first time it is needed. Later runs find it moved
    // already and open it all the same.
    try {
      File::Rename(platform, (context.install_root + kRpcMarker).c_str(),
                   (context.install_root + kRpcPage).c_str());
    } catch (const FileException&) {
    }
    commandLine = kPageLauncher + context.install_root + kRpcPage;
  } else {
    WriteUninstallEntry(platform);
  }

  // "Quiet" suppresses the page for this run only: it is reset whatever it was.
  const std::string quiet = ReadSetting(platform, context.install_root, "Quiet", "0", 80);
  if (ParseInt(quiet) == 0) {
    // Not waited for, not examined; the browser outlives the installer.
    StartRundll32(platform, commandLine, environment);
  }
  WriteSetting(platform, context.install_root, "Quiet", "0");

  CheckCompanionVersion(platform, kCompanionThreshold);
}

void CheckCompanionVersion(Platform& platform, float threshold) {
  std::string text;
  if (!ReadCompanionReadme(platform, GetInstallRoot(platform) + kCompanionReadme, &text)) {
    return;
  }
  // Lower case in the "C" locale: only A to Z change.
  std::transform(text.begin(), text.end(), text.begin(), [](char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
  });
  const std::size_t marker = text.find(kVersionMarker);
  if (marker == std::string::npos) return;
  const double version =
      ParseDouble(std::string_view(text).substr(marker + kVersionMarker.size()));
  // The threshold is single precision (4.4f is 4.400000095367432); the
  // tolerance keeps a readme that says 4.4 from counting as older.
  if (version + kVersionTolerance < static_cast<double>(threshold)) {
    const std::string message =
        std::string(
            "Setup has detected you have an old version of Quorrix that is incompatible "
            "with the latest version of orvane. The latest version of Quorrix is "
            "available free at ") +
        product::kVendorUrl + ". Please upgrade.";
    AfxMessageBox(platform, message.c_str(), win::MB_OK, 0);
  }
}

}  // namespace orvane
