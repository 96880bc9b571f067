// machine.ini on any text: a machine, or a HostError naming the file and line.
#include <string>

#include "winsim/machine_store.h"
#include "winsim/sim_fixture.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
  using namespace orvane::winsim;
  static const testing::TempDir dir;  // one drive folder for the whole run
  static const std::filesystem::path drive = [] {
    std::filesystem::create_directories(dir.path() / "drive_c");
    return dir.path() / "drive_c";
  }();
  std::string text(reinterpret_cast<const char*>(data), size);
  try {
    auto machine = ParseMachineIni(text, "machine.ini", drive);
    // What loads saves to a text that loads again.
    ParseMachineIni(FormatMachineIni(*machine), "machine.ini", drive);
  } catch (const HostError&) {
  }
  return 0;
}
