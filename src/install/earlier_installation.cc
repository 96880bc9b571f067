#include "install/earlier_installation.h"

#include <initializer_list>
#include <optional>
#include <string>

#include "app/setup_log.h"
#include "install/product.h"
#include "platform/file.h"
#include "platform/format.h"
#include "platform/framework.h"
#include "platform/scoped_key.h"
#include "platform/scoped_printer.h"
#include "uninstall/run_uninstall.h"

namespace orvane {
namespace {

// A second printer key that earlier releases could leave behind.
constexpr char kPrinterCopyName[] = "ORVANE,0";

constexpr char kDeletePrinterMessage[] =
    "In order to upgrade orvane you must delete the existing ORVANE printer from Windows "
    "Printer Settings and re-run setup.";
constexpr char kWin9xRebootMessage[] =
    "In order to upgrade orvane you must reboot and then re-run setup.";
constexpr char kNtRebootMessage[] =
    "In order to upgrade orvane you must reboot and re-run setup. Note: Administrative "
    "privileges may also be necessary.";

// Deletes the file, dropping the file error of a failed deletion.
void TryRemove(Platform& platform, const std::string& path) {
  try {
    File::Remove(platform, path.c_str());
  } catch (const FileException&) {
    // Only whether the file is still there counts, and the caller asks that.
  }
}

bool Exists(Platform& platform, const std::string& path) {
  FileStatus status;
  return File::GetStatus(platform, path.c_str(), &status);
}

// Opens HKEY_LOCAL_MACHINE\`parent` with full access and, only when that
// succeeded, deletes each of `subkeys` in turn with RegDeleteKeyA. Returns the
// last deletion's status, or nullopt when the parent did not open.
std::optional<win::LONG> DeleteSubkeys(Platform& platform, const char* parent,
                                       std::initializer_list<const char*> subkeys) {
  ScopedKey key(platform);
  if (platform.RegOpenKeyExA(win::HKEY_LOCAL_MACHINE, parent, 0, win::KEY_ALL_ACCESS,
                             key.Receive()) != 0) {
    return std::nullopt;
  }
  win::LONG status = 0;
  for (const char* subkey : subkeys) status = platform.RegDeleteKeyA(key.get(), subkey);
  return status;
}

// Windows 95/98/ME: the printer (opened without defaults), the monitor and
// the three keys of an installation whose DLL differs from the shipped one.
void CleanUpWin9x(Platform& platform) {
  {
    ScopedPrinter printer(platform);
    if (platform.OpenPrinterA(product::kPrinterName, printer.Receive(), nullptr)) {
      if (!platform.DeletePrinter(printer.get())) {
        AfxMessageBox(platform, kDeletePrinterMessage, win::MB_OK, 0);
      }
    } else {
      printer.Forget();  // a printer that cannot be opened is skipped
    }
  }
  platform.DeleteMonitorA(nullptr, product::kEnvironmentWin9x, product::kMonitorName);

  DeleteSubkeys(platform, product::kPrintersKey, {product::kPrinterName});
  DeleteSubkeys(platform, product::kMonitorsKey, {product::kMonitorName});
  const std::optional<win::LONG> deleted =
      DeleteSubkeys(platform, product::kWin9xDriversKey, {product::kDriverName});
  if (deleted) {
    WriteSetupLog(platform, Format("RegDeleteKey Windows 4.0 return: %lu",
                                   static_cast<win::DWORD>(*deleted)));
  }
}

bool RemoveOnWin9x(Platform& platform, const InstallContext& context) {
  const std::string installed = context.system_dir + context.monitor_dll;
  const std::string shipped = context.setup_dir + "\\res\\drivedir\\" + context.monitor_dll;

  TryRemove(platform, installed);
  FileStatus installedStatus;
  if (!File::GetStatus(platform, installed.c_str(), &installedStatus)) return true;
  // The DLL is in use. One of the shipped size is taken to be this release;
  // a shipped DLL that cannot be queried counts as the same size.
  FileStatus shippedStatus;
  if (!File::GetStatus(platform, shipped.c_str(), &shippedStatus) ||
      shippedStatus.m_size == installedStatus.m_size) {
    return true;
  }
  CleanUpWin9x(platform);
  AfxMessageBox(platform, kWin9xRebootMessage, win::MB_OK, 0);
  return false;
}

bool RemoveOnNt(Platform& platform, const InstallContext& context) {
  const std::string installed = context.system_dir + context.monitor_dll;

  TryRemove(platform, installed);
  if (Exists(platform, installed)) {
    // The spooler holds the DLL loaded: remove the monitor and restart the
    // spooler (RunUninstall does both), then try once more.
    RunUninstall(platform, 1);
    TryRemove(platform, installed);
    if (Exists(platform, installed)) {
      AfxMessageBox(platform, kNtRebootMessage, win::MB_OK, 0);
      return false;
    }
  }
  // Also on a first installation; nothing is logged.
  DeleteSubkeys(platform, product::kPrintersKey, {product::kPrinterName, kPrinterCopyName});
  DeleteSubkeys(platform, product::kMonitorsKey, {product::kMonitorName});
  DeleteSubkeys(platform, product::kNtVersion2DriversKey, {product::kDriverName});
  DeleteSubkeys(platform, product::kNtVersion3DriversKey, {product::kDriverName});
  return true;
}

}  // namespace

bool RemoveEarlierInstallation(Platform& platform, InstallContext& context) {
  return context.IsWin9xPath() ? RemoveOnWin9x(platform, context)
                               : RemoveOnNt(platform, context);
}

}  // namespace orvane
