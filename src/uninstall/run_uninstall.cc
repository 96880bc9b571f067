#include "uninstall/run_uninstall.h"

#include <optional>
#include <string>

#include "app/install_root.h"
#include "app/setup_log.h"
#include "install/install_context.h"
#include "install/product.h"
#include "platform/format.h"
#include "platform/framework.h"
#include "platform/scoped_key.h"
#include "platform/scoped_printer.h"
#include "system/service_control.h"
#include "system/settings_file.h"
#include "system/uninstall_entry.h"

namespace orvane {
namespace {


constexpr char kUninstallKey[] = "Uninstall";
// GetPrivateProfileStringA's buffer for "Uninstall".
constexpr std::size_t kUninstallValueSize = 512;

constexpr char kRebootMessage[] = "Please reboot to fully remove the ORVANE Printer Driver";
constexpr char kWin9xDoneMessage[] =
    "Please uninstall Quorrix if it is on your system and then delete ..\\orvane and its "
    "contents from your computer to fully uninstall orvane.";
constexpr char kNtDoneMessage[] =
    "Please uninstall Quorrix if it is on your system and then delete c:\\orvane and its "
    "contents from your computer to fully uninstall orvane.";

// RegDeleteKeyA stops at a key with subkeys on the NT family (5) and takes the
// whole subtree on Windows 95/98/ME; SHDeleteKeyA takes the subtree everywhere.
enum class KeyDeletion { kRegDeleteKey, kSHDeleteKey };

// Opens HKEY_LOCAL_MACHINE\`parent` with full access and, only when that
// succeeded, deletes its subkey `subkey`; the parent is closed again. Returns
// the deletion's status, or nullopt when the parent did not open.
std::optional<win::LONG> DeleteSubkey(Platform& platform, const char* parent,
                                      const char* subkey, KeyDeletion deletion) {
  ScopedKey key(platform);
  if (platform.RegOpenKeyExA(win::HKEY_LOCAL_MACHINE, parent, 0, win::KEY_ALL_ACCESS,
                             key.Receive()) != 0) {
    return std::nullopt;
  }
  return deletion == KeyDeletion::kSHDeleteKey ? platform.SHDeleteKeyA(key.get(), subkey)
                                               : platform.RegDeleteKeyA(key.get(), subkey);
}

// Logs the last-error value under `label` when it is not zero. The value is
// whatever the last call left, also when that call succeeded.
void LogLastError(Platform& platform, const char* label) {
  const win::DWORD error = platform.GetLastError();
  if (error != 0) WriteSetupLog(platform, Format("%s: %lu", label, error));
}

// Step 1: the printer, opened with full access and deleted. Its result is not
// examined; the last-error value is logged under "startrpc".
void DeletePrinterStep(Platform& platform) {
  win::PRINTER_DEFAULTSA defaults;
  defaults.DesiredAccess = win::PRINTER_ALL_ACCESS;
  ScopedPrinter printer(platform);
  if (!platform.OpenPrinterA(product::kPrinterName, printer.Receive(), &defaults)) {
    printer.Forget();
    return;
  }
  platform.DeletePrinter(printer.get());
  LogLastError(platform, "startrpc");
}  // ClosePrinter

// Step 7 on Windows 95/98/ME: the driver key, then the two-run bookkeeping.
void FinishWin9x(Platform& platform, int silent) {
  const std::optional<win::LONG> deleted = DeleteSubkey(
      platform, product::kWin9xDriversKey, product::kDriverName, KeyDeletion::kSHDeleteKey);
  if (deleted) {
    WriteSetupLog(platform, Format("RegDeleteKey Windows 4.0 return: %lu",
                                   static_cast<win::DWORD>(*deleted)));
  }
  LogLastError(platform, "RegDeleteKey 4.0 Driver");

  const std::string root = GetInstallRoot(platform);
  const std::string earlierRun =
      ReadSetting(platform, root, kUninstallKey, "", kUninstallValueSize);
  if (!silent) {
    if (earlierRun.empty()) {
      AfxMessageBox(platform, kRebootMessage, win::MB_OK, 0);
    } else {
      AfxMessageBox(platform, kWin9xDoneMessage, win::MB_OK, 0);
      DeleteUninstallEntry(platform);
    }
  }
  WriteSetting(platform, root, kUninstallKey, "1");
}

// Step 8 on the NT family: the keys that may have subkeys go whole, then the
// second restart, the closing message and the entry (deleted even when silent).
void FinishNt(Platform& platform, int silent) {
  DeleteSubkey(platform, product::kPrintersKey, product::kPrinterName,
               KeyDeletion::kSHDeleteKey);
  DeleteSubkey(platform, product::kNtVersion2DriversKey, product::kDriverName,
               KeyDeletion::kRegDeleteKey);
  DeleteSubkey(platform, product::kNtVersion3DriversKey, product::kDriverName,
               KeyDeletion::kRegDeleteKey);
  DeleteSubkey(platform, product::kMonitorsKey, product::kMonitorName,
               KeyDeletion::kSHDeleteKey);
  RestartSpooler(platform);
  if (!silent) AfxMessageBox(platform, kNtDoneMessage, win::MB_OK, 0);
  DeleteUninstallEntry(platform);
}

}  // namespace

void RunUninstall(Platform& platform, int silent) {
  DeletePrinterStep(platform);

  const win::DWORD version = platform.GetVersion();
  const bool win9x = !IsWinNt(version) && IsWin4(version);
  const char* environment = win9x ? product::kEnvironmentWin9x : product::kEnvironmentNt;

  if (!win9x) RestartSpooler(platform);

  platform.DeletePrinterDriverA(nullptr, environment, product::kDriverName);
  LogLastError(platform, "DeletePrinterDriver");
  platform.DeleteMonitorA(nullptr, environment, product::kMonitorName);
  LogLastError(platform, "DeleteMonitor");

  // Plain deletions for both families; on the NT family they fail while the
  // keys still have subkeys, and the deletions of FinishNt take them whole.
  DeleteSubkey(platform, product::kPrintersKey, product::kPrinterName,
               KeyDeletion::kRegDeleteKey);
  DeleteSubkey(platform, product::kMonitorsKey, product::kMonitorName,
               KeyDeletion::kRegDeleteKey);

  if (win9x) {
    FinishWin9x(platform, silent);
  } else {
    FinishNt(platform, silent);
  }
}

}  // namespace orvane
