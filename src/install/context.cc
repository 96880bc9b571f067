#include "install/context.h"

#include <cstdlib>
#include <cstring>
#include <vector>

#include "app/install_root.h"
#include "app/setup_log.h"
#include "install/product.h"
#include "platform/format.h"
#include "system/settings_file.h"

namespace orvane {
namespace {

constexpr std::size_t kDriverDirBuffer = 256;
constexpr std::size_t kDirectoryBuffer = 512;
constexpr win::DWORD kMonitorListBuffer = 4096;
constexpr std::size_t kSettingBuffer = 512;

// The text in a buffer that a call may have left without its NUL.
std::string TextIn(const char* buffer, std::size_t size) {
  return std::string(buffer, strnlen(buffer, size));
}

// The C library's atoi on the settings text: leading white space, a sign,
// decimal digits; no number gives 0. strtol is used for its defined answer on
// overflow (the largest or smallest long), which counts as neither 0 nor 1.
long AtoiValue(const std::string& text) { return std::strtol(text.c_str(), nullptr, 10); }

// Diagnostic only: whether the first monitor listed is the product's.
void ProbeInstalledMonitor(Platform& platform) {
  win::DWORD needed = 0;
  win::DWORD returned = 0;
  std::vector<win::MonitorInfo1> monitors;
  if (!platform.EnumMonitorsA(nullptr, 1, kMonitorListBuffer, &needed, &returned,
                              &monitors)) {
    platform.WriteStandardOutput("EnumMonitors failed\n\n");
    return;
  }
  if (returned >= 1 && !monitors.empty() &&
      monitors.front().pName == product::kMonitorName) {
    platform.WriteStandardOutput("Monitor found\n\n");
  }
}

}  // namespace

std::string GetSetupDirectory(Platform& platform) {
  char path[kDirectoryBuffer] = {};
  platform.GetModuleFileNameA(platform.GetModuleHandleA(nullptr), path);
  const std::string module = TextIn(path, sizeof path);
  const std::size_t slash = module.rfind('\\');
  return slash == std::string::npos ? std::string() : module.substr(0, slash);
}

bool QueryIsXPor2000(Platform& platform) {
  const std::string setting =
      ReadSetting(platform, GetInstallRoot(platform), "IsXPor2000", "2", kSettingBuffer);
  const long value = AtoiValue(setting);
  if (value == 1) return true;
  if (value == 0) return false;
  win::OSVERSIONINFOEXA info;  // zero-filled
  info.dwOSVersionInfoSize = win::kOsVersionInfoExSize;
  if (!platform.GetVersionExA(&info)) {
    // Windows before NT 4 SP6 know only the plain record.
    info.dwOSVersionInfoSize = win::kOsVersionInfoSize;
    if (!platform.GetVersionExA(&info)) return false;
  }
  return info.dwMajorVersion > 4;
}

std::string DefaultDriverDirectory(const std::string& system_dir, int is_winnt) {
  if (is_winnt) return system_dir + "spool\\drivers\\w32x86";
  std::string folder = system_dir;
  if (!folder.empty() && folder.back() == '\\') folder.pop_back();
  return folder;
}

bool ComputeInstallContext(Platform& platform, InstallContext* context) {
  context->install_root = GetInstallRoot(platform);

  char driver_dir[kDriverDirBuffer] = {};
  win::DWORD needed = 0;
  const bool driver_dir_known =
      platform.GetPrinterDriverDirectoryA(nullptr, nullptr, 1, driver_dir, &needed) &&
      driver_dir[0] != '\0';
  if (!driver_dir_known) {
    WriteSetupLog(platform,
                  Format("GetPrinterDriverDirectory: %lu", platform.GetLastError()));
  }
  context->driver_dir = TextIn(driver_dir, sizeof driver_dir);

  ProbeInstalledMonitor(platform);

  context->setup_dir = GetSetupDirectory(platform);

  char system_dir[kDirectoryBuffer] = {};
  const win::UINT length = platform.GetSystemDirectoryA(system_dir);
  // A result as large as the buffer is the size it would have needed: the
  // buffer holds nothing then, which is a failure all the same.
  if (length == 0 || length >= sizeof system_dir) {
    WriteSetupLog(platform, "GetSystemDirectory failed\r\n");
    return false;
  }
  context->system_dir = TextIn(system_dir, sizeof system_dir) + "\\";

  const win::DWORD version = platform.GetVersion();
  context->is_winnt = IsWinNt(version);
  context->is_win4 = IsWin4(version);
  WriteSetupLog(platform, context->is_winnt ? "is_winnt = TRUE" : "is_winnt = FALSE");
  WriteSetupLog(platform, context->is_win4 ? "is_win4 = TRUE" : "is_win4 = FALSE");

  context->monitor_dll = context->is_winnt ? "orvmon.dll" : "orvmon95.dll";
  context->rpc_unavailable = 0;

  // Without the spooler's answer the files still go where this Windows keeps
  // drivers, never into "\" + file, the root of the current drive.
  if (!driver_dir_known) {
    context->driver_dir = DefaultDriverDirectory(context->system_dir, context->is_winnt);
  }
  return true;
}

}  // namespace orvane
