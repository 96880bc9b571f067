// The setup log's allowlist: every line the installer may write, as the texts
// it logs with typed placeholders, written out by hand from those texts.
//
// A log line is the time stamp "MM-DD-YY: HH:MM" followed at once by one of
// the texts; %lu stands for a 32-bit value in decimal, %s for a path (a drive
// and a backslash, or a backslash, then printable characters), and in the
// copy failures for the copy's source, a file in the product's
// "\res\drivedir\" folder (never the destination). A text that
// ends in "\r\n" is followed by an empty line. Anything else (a torn line, a
// foreign text, a missing or stray empty line, a log that does not end in
// "\r\n") is a finding.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace orvane::campaign {

// Whether `text` (a line without its time stamp) is one of the texts; sets
// *endsInLineBreak for the texts that carry their own "\r\n".
bool IsAllowedLogText(std::string_view text, bool* endsInLineBreak);

// Checks appended log bytes (whole lines, from the start of a line); returns
// one description per finding, empty when every line is allowed. *lines gets
// the number of lines checked.
std::vector<std::string> CheckLog(std::string_view bytes, std::size_t* lines = nullptr);

}  // namespace orvane::campaign
