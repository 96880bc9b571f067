// The faults the campaign injects: every point at which the simulated machine
// consults its fault table, with codes that the call can meet on Windows and
// subjects of the product's that a fault can be limited to.
//
// A fault point is a call name and the way it fires: as a failure (once or
// always), or as a stale last-error value left behind by a call that succeeded
// (only the calls that have such a site in the simulator). The list was taken
// from the simulator's sources (every Fails(...), faults_.Fail(...) and
// LeaveStale(...) site); two of its points are left out because the installer
// never makes the call: GetFileSize (File::GetLength measures with
// SetFilePointer) and GetFileAttributesA (File::GetStatus asks
// GetFileAttributesExA). A point the campaign never fires makes it fail.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/win32_types.h"
#include "tools/campaign/rng.h"
#include "winsim/faults.h"

namespace orvane::campaign {

struct CallFaults {
  const char* call;
  std::vector<win::DWORD> codes;        // failure codes
  std::vector<win::DWORD> stale_codes;  // empty: the call has no stale site
  std::vector<const char*> matches;     // texts the subject may be limited to; "" = any
  // The call is reached only after AddPrinterDriverA failed with this code in
  // the same run (the search-path repair after 126, the help page after 1722):
  // a fault at it comes with that failure.
  std::optional<win::DWORD> after_driver_failure;
  bool removal;  // a call the removal makes
};

// Every call of the table, in a fixed order.
std::span<const CallFaults> FaultCalls();

// A fault point's name: "CreateFileA", or "CreateFileA (stale)".
std::string PointName(const std::string& call, bool stale);
std::string PointName(const winsim::Fault& fault);

// Every fault point the campaign must see fire, by name.
std::vector<std::string> AllFaultPoints();

// One to three faults drawn at random (with the companion failure a call
// needs to be reached), ready for Machine::faults().Add; for a removal run
// mostly at the calls a removal makes.
std::vector<winsim::Fault> DrawFaults(Rng& rng, bool removalRun);

// "CreateFileA 32 once ~setup.log": one fault as the verbose listing shows it.
std::string Describe(const winsim::Fault& fault);

}  // namespace orvane::campaign
