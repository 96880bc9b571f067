// machine.ini on any text: a machine, or a HostError naming the file and line.
#include <string>

#include "fuzz_machine.h"
#include "winsim/machine_store.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
  using namespace orvane::winsim;
  std::string text(reinterpret_cast<const char*>(data), size);
  try {
    auto machine = ParseMachineIni(text, "machine.ini", orvane::fuzz::DriveFolder());
    // What loads saves to a text that loads again.
    ParseMachineIni(FormatMachineIni(*machine), "machine.ini", orvane::fuzz::DriveFolder());
  } catch (const HostError&) {
  }
  return 0;
}
