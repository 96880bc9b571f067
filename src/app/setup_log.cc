#include "app/setup_log.h"

#include "app/install_root.h"
#include "platform/file.h"
#include "platform/format.h"
#include "platform/win32_types.h"

namespace orvane {
namespace {

constexpr char kLogPath[] = "orvane\\res\\drivedir\\setup.log";

}  // namespace

void WriteSetupLog(Platform& platform, std::string text) {
  const std::string path = GetInstallRoot(platform) + kLogPath;
  File log(platform);
  if (!log.Open(path.c_str(), File::modeReadWrite | File::modeCreate |
                                  File::modeNoTruncate | File::typeBinary)) {
    return;
  }
  win::SYSTEMTIME now;
  platform.GetLocalTime(&now);
  const std::string line = FormatLogTimeStamp(now) + text + "\r\n";
  try {
    log.SeekToEnd();
    log.Write(std::span(reinterpret_cast<const win::BYTE*>(line.data()), line.size()));
    log.Close();
  } catch (const FileException&) {
    // Dropped: the log never reports a failure of its own. The destructor
    // releases a file that is still open.
  }
}

}  // namespace orvane
