#include "winsim/host_memory.h"

#include <sys/mman.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>

namespace orvane::winsim {
namespace {

constexpr std::size_t kHugePage = std::size_t{2} << 20;

}  // namespace

void* AllocateHostBlock(std::size_t bytes, std::size_t* mapped) {
  *mapped = 0;
  if (bytes < kHugePage) return std::malloc(bytes == 0 ? 1 : bytes);
  const std::size_t length = (bytes + kHugePage - 1) & ~(kHugePage - 1);
  // One huge page more than needed, then the ends trimmed to a boundary.
  void* raw = ::mmap(nullptr, length + kHugePage, PROT_READ | PROT_WRITE,
                     MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (raw == MAP_FAILED) return nullptr;
  const auto start = reinterpret_cast<std::uintptr_t>(raw);
  const std::uintptr_t aligned = (start + kHugePage - 1) & ~(kHugePage - 1);
  const std::uintptr_t end = start + length + kHugePage;
  if (aligned > start) ::munmap(raw, aligned - start);
  if (end > aligned + length) {
    ::munmap(reinterpret_cast<void*>(aligned + length), end - aligned - length);
  }
  void* block = reinterpret_cast<void*>(aligned);
  // Huge pages must be asked for before the pages exist, which is why the
  // block is not mapped with MAP_POPULATE but populated afterwards.
  ::madvise(block, length, MADV_HUGEPAGE);
#ifdef MADV_POPULATE_WRITE
  // Kernels before 5.14 refuse the advice (EINVAL): pages then come on first
  // touch. Without the memory to populate, there is no block.
  if (::madvise(block, length, MADV_POPULATE_WRITE) != 0 && errno != EINVAL) {
    ::munmap(block, length);
    return nullptr;
  }
#endif
  *mapped = length;
  return block;
}

void FreeHostBlock(void* block, std::size_t mapped) {
  if (mapped) {
    ::munmap(block, mapped);
  } else {
    std::free(block);
  }
}

}  // namespace orvane::winsim
