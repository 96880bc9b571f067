// The simulated service control manager and its one service that matters
// here, "Spooler". (Filled by the services work.)
#pragma once

#include <cstddef>
#include <cstdint>

namespace orvane::winsim {

class ServiceManager {
 public:
  // Whether the spooler answers calls at this moment of virtual time (a stop
  // takes effect when its pending time has passed).
  bool SpoolerRunning(std::int64_t /*nowMs*/) const { return true; }

  // Service and manager handles opened and not yet closed.
  std::size_t OpenHandleCount() const { return 0; }
};

}  // namespace orvane::winsim
