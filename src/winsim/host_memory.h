// The simulated heap's blocks in host memory.
//
// Small blocks come from the C library. A block of 2 MiB or more is mapped
// apart, as Windows' heap hands such blocks to VirtualAlloc: on a 2 MiB
// boundary, with transparent huge pages asked for where the host offers them
// (madvise), and populated before it is returned. The installer fills such a
// block with a whole file in one read; that read then takes no page faults,
// and the kernel clears one 2 MiB page where it would fault and clear 512 of
// 4 KiB. Freeing unmaps it, so it counts against no later peak.
#pragma once

#include <cstddef>

namespace orvane::winsim {

// `bytes` of writable memory (at least one), or null when the host has none;
// *mapped gets the length to hand back to FreeHostBlock (0 for small blocks).
void* AllocateHostBlock(std::size_t bytes, std::size_t* mapped);
void FreeHostBlock(void* block, std::size_t mapped);

}  // namespace orvane::winsim
