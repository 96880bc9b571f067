// The REGEDIT4 loader on any text: it accepts or refuses with a line number,
// never crashes or hangs; what it accepts exports to a text that loads back to
// the same registry.
#include <cstdlib>
#include <string>

#include "winsim/registry.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
  using orvane::winsim::Registry;
  using orvane::winsim::RegFileError;
  std::string text(reinterpret_cast<const char*>(data), size);
  Registry first;
  try {
    first.ImportRegedit4(text);
  } catch (const RegFileError& e) {
    if (e.line() < 0) std::abort();
    return 0;
  }
  std::string exported = first.ExportRegedit4();
  Registry second;
  second.ImportRegedit4(exported);  // must not throw: our own output
  if (second.ExportRegedit4() != exported) std::abort();
  return 0;
}
