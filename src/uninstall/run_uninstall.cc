#include "uninstall/run_uninstall.h"

namespace orvane {

void RunUninstall(Platform& platform, int silent) {
  // the uninstall sequence fills this routine
  static_cast<void>(platform);
  static_cast<void>(silent);
}

}  // namespace orvane
