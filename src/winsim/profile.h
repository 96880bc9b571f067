// Windows' profile-file rules over the text of one file: what
// GetPrivateProfileStringA finds in it and what WritePrivateProfileStringA makes
// of it. Pure functions; the machine supplies the file's bytes, resolves the file
// name, applies the IniFileMapping redirection and writes the result back.
//
// Rules kept (Windows, as its conformance tests show):
// - Section and key names match without regard to case; the arguments and the
//   file's names and values are trimmed of blanks; "[ s ]" names section "s".
// - A value that starts and ends with the same quote (" or ') loses both.
// - CRLF, LF and CR line ends are read; lines without "=" are no keys.
// - Only the first of duplicate sections is seen; within it the first key wins.
// - Writing: a key is replaced in place (its line keeps its position and its
//   original spelling), a new key goes to the end of its section, a new section
//   to the end of the file as "[section]\r\n"; "key=value\r\n" with no blanks
//   around "="; leading blanks of the value are dropped; lines are ended with
//   CRLF. A null value deletes the key (the section header stays); a null key
//   deletes the section with its lines.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "platform/win32_types.h"

namespace orvane::winsim::profile {

// GetPrivateProfileStringA over `fileText` (nullopt: the file does not exist).
// A null appName lists the section names, a null keyName the keys of the
// section, as double-NUL-terminated lists. Returns the count Windows returns
// (truncation: nSize-1 for a value, nSize-2 for a list).
win::DWORD GetString(const std::optional<std::string>& fileText,
                     const char* appName, const char* keyName,
                     const char* defaultValue, std::span<char> out);

// The value of a key, or nullopt when the section or the key is absent.
std::optional<std::string> Lookup(std::string_view fileText,
                                  std::string_view appName,
                                  std::string_view keyName);

// The file's text after WritePrivateProfileStringA(appName, keyName, value).
// appName must not be null (the caller reports that case).
std::string Write(std::string_view fileText, const char* appName,
                  const char* keyName, const char* value);

}  // namespace orvane::winsim::profile
