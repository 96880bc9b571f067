// HeapBlock: one block from the platform's heap (the file-sized buffers the
// steps read whole files into), released through the platform when it goes out
// of scope or when Free is called. A block that could not be had is empty:
// data() is null and bytes() is an empty span.
#pragma once

#include <span>
#include <utility>

#include "platform/platform.h"

namespace orvane {

class HeapBlock {
 public:
  HeapBlock(Platform& platform, win::SIZE_T size)
      : platform_(platform),
        block_(static_cast<win::BYTE*>(platform.HeapAlloc(size))),
        size_(size) {}
  ~HeapBlock() { Free(); }
  HeapBlock(const HeapBlock&) = delete;
  HeapBlock& operator=(const HeapBlock&) = delete;

  explicit operator bool() const { return block_ != nullptr; }
  win::BYTE* data() const { return block_; }
  std::span<win::BYTE> bytes() const { return {block_, block_ ? size_ : 0}; }

  void Free() {
    if (block_) platform_.HeapFree(std::exchange(block_, nullptr));
  }

 private:
  Platform& platform_;
  win::BYTE* block_;
  win::SIZE_T size_;
};

}  // namespace orvane
