// Bounded printf-style formatting for the texts the installer logs.
//
// The installer's messages were formatted into fixed 80-byte buffers; here the
// result is a string of exactly the length the text needs: never cut, never
// written past its end, whatever the length of a path inside it.
//
// Windows' 32-bit integers go through with the `l` length modifier on every
// host: a std::uint32_t (DWORD, UINT) is passed as unsigned long and a
// std::int32_t (LONG, BOOL, int) as long, so "%lu" and "%ld" print the value
// where long is 32 bits (Windows) and where it is 64 (Linux). The rule that
// follows for callers: format 32-bit integers with %lu, %ld or %lx, never with
// %u or %d. A std::string argument is passed as its text. Anything that is not
// a number, a pointer or a string is refused at compile time.
#pragma once

#include <cstdint>
#include <string>
#include <type_traits>

#include "platform/win32_types.h"

namespace orvane {
namespace format_internal {

// vsnprintf into a string of the exact size. An encoding error gives "".
std::string FormatVarargs(const char* format, ...);

template <typename T>
auto Vararg(const T& value) {
  if constexpr (std::is_same_v<T, std::uint32_t>) {
    return static_cast<unsigned long>(value);
  } else if constexpr (std::is_same_v<T, std::int32_t>) {
    return static_cast<long>(value);
  } else if constexpr (std::is_same_v<T, std::string>) {
    return value.c_str();
  } else {
    static_assert(
        std::is_arithmetic_v<T> || std::is_pointer_v<T> || std::is_null_pointer_v<T>,
        "Format takes numbers, pointers and std::string only");
    return value;
  }
}

}  // namespace format_internal

template <typename... Args>
std::string Format(const char* format, Args... args) {
  return format_internal::FormatVarargs(format, format_internal::Vararg(args)...);
}

// The setup log's time stamp, "%m-%d-%y: %H:%M" in strftime terms: two-digit
// month, day and year, then the 24-hour hour and minute ("07-04-03: 09:05").
std::string FormatLogTimeStamp(const win::SYSTEMTIME& time);

}  // namespace orvane
