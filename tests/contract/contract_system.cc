// System information cases: the buffer protocols of the calls that name
// folders and the running program, and the environment block.
#include <cstring>
#include <string>

#include "contract.h"

namespace orvane::contract {
namespace {

using namespace orvane::win;

// A buffer too small: GetSystemDirectoryA returns the size with the NUL;
// GetPrinterDriverDirectoryA fails with 122 and sets the size needed, and
// knows level 1 only (1801); GetModuleFileNameA cuts the path to nSize
// without a NUL and returns nSize [MS: GetSystemDirectoryA,
// GetPrinterDriverDirectory, GetModuleFileNameA (Windows XP and later)].
void BuffersTooSmall(Platform& p, Scratch&, Checker& c) {
  char full[512] = {};
  const UINT length = p.GetSystemDirectoryA(full);
  c.That("system folder", length > 3 && length == std::strlen(full), "its length");
  char small[6] = {};
  c.Equal("system folder in 6", p.GetSystemDirectoryA(small), length + 1);
  DWORD needed = 0;
  c.Equal("driver folder", p.GetPrinterDriverDirectoryA(nullptr, nullptr, 1, full, &needed), TRUE);
  const DWORD size = static_cast<DWORD>(std::strlen(full) + 1);
  c.Equal("driver folder: needed", needed, size);
  needed = 0;
  p.SetLastError(kPoison);
  c.Equal("driver folder in 6", p.GetPrinterDriverDirectoryA(nullptr, nullptr, 1, small, &needed),
          FALSE);
  c.Equal("driver folder in 6: error", p.GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  c.Equal("driver folder in 6: needed", needed, size);
  p.SetLastError(kPoison);
  c.Equal("driver folder, level 2",
          p.GetPrinterDriverDirectoryA(nullptr, nullptr, 2, full, &needed), FALSE);
  c.Equal("driver folder, level 2: error", p.GetLastError(), ERROR_INVALID_LEVEL);
  const DWORD module = p.GetModuleFileNameA(p.GetModuleHandleA(nullptr), full);
  c.Equal("module in 6", p.GetModuleFileNameA(p.GetModuleHandleA(nullptr), small), 6);
  c.That("module in 6", module > 6 && std::string(small, 6) == std::string(full, 6),
         "the path's first 6 characters");
  // The environment: NAME=value strings, the block closed by a second NUL.
  int variables = 0;
  for (const char* v = p.GetEnvironmentStrings(); *v; v += std::strlen(v) + 1) {
    c.That(v, std::strchr(v + 1, '=') != nullptr, "NAME=value");
    ++variables;
  }
  c.That("environment", variables > 0, "variables");
}

const Case kCases[] = {{"BuffersTooSmall", BuffersTooSmall}};

}  // namespace

std::span<const Case> SystemCases() { return kCases; }

}  // namespace orvane::contract
