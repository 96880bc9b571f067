// One CopyFileChecked of a file of MIB MiB, in a process of its own, for its
// peak memory: prints the process's VmHWM (kernel's peak resident set) before
// and after the copy, in KiB.
//
//   copy_peak MIB      (in ORVANE_BENCH_DIR, else /dev/shm, else the temp folder)
//   -> mib=64 hwm_before_kib=3712 hwm_after_kib=69380 result=1
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "install/copy_file.h"
#include "scratch.h"
#include "winsim/machine.h"

namespace {

long PeakResidentKiB() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("VmHWM:", 0) == 0) return std::strtol(line.c_str() + 6, nullptr, 10);
  }
  return -1;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace orvane;
  const long mib = argc == 2 ? std::strtol(argv[1], nullptr, 10) : 0;
  if (mib <= 0) {
    std::fprintf(stderr, "usage: copy_peak MIB\n");
    return 2;
  }
  bench::ScratchFolder folder;
  bench::WriteFileOfSize(folder.path() / "src.bin", static_cast<std::uint64_t>(mib));
  winsim::Machine machine(winsim::WindowsVersion::kWinXp, folder.path());
  const long before = PeakResidentKiB();
  const int result = CopyFileChecked(machine, "C:\\src.bin", "C:\\dst.bin");
  const long after = PeakResidentKiB();
  std::printf("mib=%ld hwm_before_kib=%ld hwm_after_kib=%ld result=%d\n", mib, before, after,
              result);
  return result == 1 ? 0 : 1;
}
