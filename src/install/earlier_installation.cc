#include "install/earlier_installation.h"

namespace orvane {

// Filled by the removal-and-upgrade work; until then every install goes on.
bool RemoveEarlierInstallation(Platform&, InstallContext&) { return true; }

}  // namespace orvane
