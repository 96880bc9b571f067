#include "install/run_install.h"

namespace orvane {

void RunInstall(Platform& platform) {
  static_cast<void>(platform);  // the install sequence fills this routine
}

}  // namespace orvane
