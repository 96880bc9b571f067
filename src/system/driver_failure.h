// The failure handling of the printer-driver step: the log line, the spooler
// that cannot be reached, and the driver module that was not found.
#pragma once

#include "install/install_context.h"

namespace orvane {

// One AddPrinterDriverA call as the driver step made it: the level and the
// record of that level (the other pointer null). The record and the texts it
// points to belong to the caller and outlive every use of this value, so a
// retry repeats the very call that failed.
struct DriverCall {
  win::DWORD level = 0;                        // 3 or 6
  const win::DRIVER_INFO_3A* info3 = nullptr;  // level 3
  const win::DRIVER_INFO_6A* info6 = nullptr;  // level 6

  static DriverCall Level3(const win::DRIVER_INFO_3A* record) {
    return {3, record, nullptr};
  }
  static DriverCall Level6(const win::DRIVER_INFO_6A* record) {
    return {6, nullptr, record};
  }

  // AddPrinterDriverA(local machine, level, record); its result, with the
  // last-error value as the call left it.
  win::BOOL Add(Platform& platform) const;
};

// Runs right after `failed` returned FALSE; takes GetLastError first and logs
// it as "AddPrinterDriver: %lu". 1722 sets context.rpc_unavailable. 126 off
// the Windows 95/98/ME path repairs the search path (RepairSearchPath) and
// repeats `failed` once; a repeat that fails with 126 again shows the
// error-126 message, anything else about the repeat is neither logged nor
// shown. Every case ends with a 1000 ms pause. Never ends the installation.
void HandleDriverFailure(Platform& platform, InstallContext& context,
                         const DriverCall& failed);

}  // namespace orvane
