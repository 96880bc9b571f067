#include "install/run_install.h"

#include "install/context.h"
#include "install/earlier_installation.h"
#include "install/install_context.h"
#include "spooler/driver.h"
#include "spooler/monitor_port.h"
#include "spooler/printer.h"
#include "spooler/printer_data.h"
#include "system/completion.h"

namespace orvane {

void RunInstall(Platform& platform) {
  InstallContext context;
  if (!ComputeInstallContext(platform, &context)) return;

  if (!RemoveEarlierInstallation(platform, context)) return;
  CopyMonitorFiles(platform, context);
  CopyDriverFiles(platform, context);
  if (!AddPortMonitor(platform, context)) return;
  WritePortConfiguration(platform, context);
  if (context.IsWin9xPath() && !CheckPostScriptDriver(platform, context)) return;
  // A refused driver is handled inside (HandleDriverFailure), where its record
  // still lives for the retry; the printer is created either way.
  InstallPrinterDriver(platform, context);
  CreatePrinter(platform, context);
  if (!WritePrinterDriverData(platform, context)) return;
  if (!WriteDefaultDevMode(platform, context)) return;
  CompleteSetup(platform, context);
}

}  // namespace orvane
