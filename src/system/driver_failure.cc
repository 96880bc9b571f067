#include "system/driver_failure.h"

#include <string>

#include "app/setup_log.h"
#include "install/product.h"
#include "platform/format.h"
#include "platform/framework.h"
#include "system/search_path.h"

namespace orvane {

win::BOOL DriverCall::Add(Platform& platform) const {
  if (level == 6) return platform.AddPrinterDriverA(nullptr, level, info6);
  return platform.AddPrinterDriverA(nullptr, level, info3);
}

void HandleDriverFailure(Platform& platform, InstallContext& context,
                         const DriverCall& failed) {
  const win::DWORD error = platform.GetLastError();
  WriteSetupLog(platform, Format("AddPrinterDriver: %lu", error));
  if (error == win::RPC_S_SERVER_UNAVAILABLE) {
    context.rpc_unavailable = 1;  // the completion step explains it
  } else if (error == win::ERROR_MOD_NOT_FOUND && !context.IsWin9xPath()) {
    // The spooler could not load a driver module: usually a "Path" that lost
    // the system folders. Repair it, tell the running programs, try again.
    RepairSearchPath(platform);
    if (!failed.Add(platform) && platform.GetLastError() == win::ERROR_MOD_NOT_FOUND) {
      const std::string message =
          std::string("Setup has returned error 126. Please contact ") +
          product::kSupportEmail +
          " to resolve this error. We apologize for the inconvenience.";
      AfxMessageBox(platform, message.c_str(), win::MB_OK, 0);
    }
  }
  platform.Sleep(1000);
}

}  // namespace orvane
