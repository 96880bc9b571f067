// The simulated service control manager and its one service that matters
// here, "Spooler". (Filled by the services work.)
#pragma once

namespace orvane::winsim {

class ServiceManager {
 public:
  bool spooler_running() const { return true; }
};

}  // namespace orvane::winsim
