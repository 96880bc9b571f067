// The process command line: how a program's own arguments are found in it, and
// how Windows composes it when a program is started with arguments.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace orvane {

// The arguments part of a process command line, by the C run-time start-up
// rule that a Windows program's WinMain receives:
// - a program name that begins with a double quote runs to the closing quote
//   (or to the end when there is none) and includes it;
// - otherwise the name runs to the first character at or below the blank
//   (bytes 0x80 and above, as in a code-page name, are above the blank);
// - then every character at or below the blank is skipped.
// Trailing blanks stay. Returns a pointer into `processCommandLine` (at its
// terminating NUL when there are no arguments); "" for a null argument.
const char* ExtractCommandLine(const char* processCommandLine);

// The command line Windows hands a program started as `modulePath` with `args`:
// the module path in double quotes, then each argument after one blank, quoted
// so that CommandLineToArgvW gives the argument back: an empty argument, or one
// with a blank, tab or double quote, is put in double quotes, a quote inside it
// becomes \" and the backslashes before a quote or before the closing quote are
// doubled. Other arguments go verbatim.
std::string BuildProcessCommandLine(std::string_view modulePath,
                                    const std::vector<std::string>& args);

}  // namespace orvane
