#include "platform/format.h"

#include <cstdarg>
#include <cstdio>

namespace orvane {
namespace format_internal {

std::string FormatVarargs(const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list measure;
  va_copy(measure, args);
  const int needed = std::vsnprintf(nullptr, 0, format, measure);
  va_end(measure);
  std::string text;
  if (needed > 0) {
    text.resize(static_cast<std::size_t>(needed));
    // The string owns size() + 1 bytes; the last one takes vsnprintf's NUL.
    std::vsnprintf(text.data(), text.size() + 1, format, args);
  }
  va_end(args);
  return text;
}

}  // namespace format_internal

std::string FormatLogTimeStamp(const win::SYSTEMTIME& time) {
  return Format("%02lu-%02lu-%02lu: %02lu:%02lu", std::uint32_t{time.wMonth},
                std::uint32_t{time.wDay}, std::uint32_t{time.wYear % 100u},
                std::uint32_t{time.wHour}, std::uint32_t{time.wMinute});
}

}  // namespace orvane
