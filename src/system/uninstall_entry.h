// The product's entry in Add/Remove Programs. Both return TRUE in every case.
#pragma once

#include "platform/platform.h"

namespace orvane {

win::BOOL WriteUninstallEntry(Platform& platform);
win::BOOL DeleteUninstallEntry(Platform& platform);

}  // namespace orvane
