#include "spooler/monitor_port.h"

#include <span>
#include <string>

#include "app/setup_log.h"
#include "install/copy_file.h"
#include "install/product.h"
#include "platform/format.h"
#include "platform/framework.h"
#include "platform/scoped_key.h"

namespace orvane {
namespace {

constexpr char kNtMonitorDll[] = "orvmon.dll";
constexpr char kAdministratorMessage[] =
    "Your user account does not have administrative rights and cannot add a printer "
    "to this computer. Please obtain administrative rights and run install again.";

void CopyFromDriveDir(Platform& platform, const InstallContext& context,
                      const std::string& file) {
  CopyFileChecked(platform, context.setup_dir + "\\res\\drivedir\\" + file,
                  context.system_dir + file);
}

// A REG_SZ with its terminating zero counted.
void SetString(Platform& platform, win::HKEY key, const char* name,
               const std::string& text) {
  platform.RegSetValueExA(
      key, name, 0, win::REG_SZ,
      std::span(reinterpret_cast<const win::BYTE*>(text.c_str()), text.size() + 1));
}

// A REG_DWORD: 4 bytes, little-endian as on x86.
void SetDword(Platform& platform, win::HKEY key, const char* name, win::DWORD value) {
  const win::BYTE bytes[4] = {
      static_cast<win::BYTE>(value), static_cast<win::BYTE>(value >> 8),
      static_cast<win::BYTE>(value >> 16), static_cast<win::BYTE>(value >> 24)};
  platform.RegSetValueExA(key, name, 0, win::REG_DWORD, bytes);
}

}  // namespace

void CopyMonitorFiles(Platform& platform, InstallContext& context) {
  CopyFromDriveDir(platform, context, context.monitor_dll);
  CopyFromDriveDir(
      platform, context,
      context.monitor_dll == kNtMonitorDll ? "orvmona.dll" : "orvmona95.dll");
}

bool AddPortMonitor(Platform& platform, InstallContext& context) {
  win::MONITOR_INFO_2A monitor;
  monitor.pName = product::kMonitorName;
  monitor.pEnvironment =
      context.IsWin9xPath() ? product::kEnvironmentWin9x : product::kEnvironmentNt;
  monitor.pDLLName = context.monitor_dll.c_str();

  if (!context.IsWin9xPath()) {
    platform.WriteStandardOutput("Initializing Spooler\n\n");
    platform.Sleep(3000);
  }
  if (platform.AddMonitorA(nullptr, 2, &monitor)) {
    platform.Sleep(1000);
    return true;
  }
  const win::DWORD error = platform.GetLastError();
  if (error == win::ERROR_ACCESS_DENIED) {
    AfxMessageBox(platform, kAdministratorMessage, win::MB_OK, 0);
    return false;
  }
  // An already registered monitor lands here too; installation goes on.
  WriteSetupLog(platform, Format("AddMonitor: %lu", error));
  platform.Sleep(1000);
  platform.Sleep(1000);
  return true;
}

void WritePortConfiguration(Platform& platform, InstallContext& context) {
  const std::string monitor_path =
      std::string(product::kMonitorsKey) + "\\" + product::kMonitorName;
  // Declared in the order of opening, so they close port, ports, monitor.
  ScopedKey monitor(platform);
  if (platform.RegOpenKeyExA(win::HKEY_LOCAL_MACHINE, monitor_path.c_str(), 0,
                             win::KEY_ALL_ACCESS, monitor.Receive()) != 0 &&
      platform.RegCreateKeyA(win::HKEY_LOCAL_MACHINE, monitor_path.c_str(),
                             monitor.Receive()) != 0) {
    return;
  }
  ScopedKey ports(platform);
  if (platform.RegCreateKeyA(monitor.get(), "Ports", ports.Receive()) != 0) return;
  ScopedKey port(platform);
  if (platform.RegCreateKeyA(ports.get(), product::kPortName, port.Receive()) != 0) {
    return;
  }

  const win::HKEY key = port.get();
  // The monitor substitutes the output file for %1 itself; no path is quoted.
  SetString(platform, key, "Arguments",
            "@" + context.setup_dir +
                "\\res\\pdfwrite.rsp -sOutputFile=\"%1\" -c save pop -f -");
  SetString(platform, key, "Command", context.setup_dir + "\\res\\convert\\gswin32c.exe");
  SetDword(platform, key, "Delay", 300);
  SetString(platform, key, "Description", "ORVANE Redirected Port");
  SetDword(platform, key, "LogFileDebug", 0);
  SetString(platform, key, "LogFileName", "");
  SetDword(platform, key, "LogFileUse", 0);
  SetDword(platform, key, "Output", 1);
  SetString(platform, key, "Printer", product::kPrinterName);
  SetDword(platform, key, "PrintError", 0);
  SetDword(platform, key, "RunUser", 0);
  SetDword(platform, key, "ShowWindow", 2);
}

}  // namespace orvane
