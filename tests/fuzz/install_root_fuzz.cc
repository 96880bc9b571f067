// The installation root read from a "Path" value of any type and length: never
// read past the 10000-byte buffer; the root is the stored bytes up to the first
// NUL, or "c:\" when the value does not fit.
#include <cstdlib>
#include <string>
#include <vector>

#include "app/install_root.h"
#include "winsim/machine.h"
#include "winsim/sim_fixture.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
  using namespace orvane;
  if (size == 0) return 0;
  static winsim::testing::SimMachine bare(winsim::WindowsVersion::kWinXp, std::nullopt);
  winsim::Machine& machine = *bare;
  win::DWORD type = data[0] % 12;
  // Long values: the rest of the input repeated up to a length the first byte picks.
  std::vector<win::BYTE> value(data + 1, data + size);
  if (data[0] >= 0xF0 && !value.empty()) {
    std::size_t length = 9990 + (data[0] & 0x0F) * 2;
    while (value.size() < length) value.push_back(value[value.size() % (size - 1)]);
    value.resize(length);
  }
  machine.registry().PutValue("HKLM\\Software\\Orvane", "Path", type, value);
  std::string root = GetInstallRoot(machine);
  if (root.size() > 10000) std::abort();
  if (value.size() <= 10000) {
    std::string expected(value.begin(), value.end());
    expected = expected.substr(0, expected.find('\0'));
    if (root != expected) std::abort();
  } else if (root != "c:\\") {
    std::abort();
  }
  return 0;
}
