// ScopedPrinter: owns one printer handle (from AddPrinterA or OpenPrinterA) and
// closes it with ClosePrinter when it goes out of scope, so that no path out of
// a step leaves the printer open.
#pragma once

#include <utility>

#include "platform/platform.h"

namespace orvane {

class ScopedPrinter {
 public:
  explicit ScopedPrinter(Platform& platform, win::HANDLE handle = win::kNullHandle)
      : platform_(platform), handle_(handle) {}
  ~ScopedPrinter() {
    if (is_valid()) platform_.ClosePrinter(handle_);
  }
  ScopedPrinter(const ScopedPrinter&) = delete;
  ScopedPrinter& operator=(const ScopedPrinter&) = delete;

  win::HANDLE get() const { return handle_; }
  bool is_valid() const { return handle_ != win::kNullHandle; }
  // The slot for OpenPrinterA. After a failed open call Forget: Windows does
  // not promise what it leaves in the slot then.
  win::HANDLE* Receive() { return &handle_; }
  void Forget() { handle_ = win::kNullHandle; }
  // ClosePrinter's result; the handle is given up whatever it says.
  win::BOOL Close() { return platform_.ClosePrinter(std::exchange(handle_, win::kNullHandle)); }

 private:
  Platform& platform_;
  win::HANDLE handle_;
};

}  // namespace orvane
