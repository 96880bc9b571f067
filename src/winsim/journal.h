// Journal lines: a kind, then fields, separated by tabs. Fields keep their text
// verbatim except for four escapes, so that one event stays one line:
// backslash as \\, tab as \t, carriage return as \r, line feed as \n.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace orvane::winsim {

std::string EscapeJournalField(std::string_view text);
std::string UnescapeJournalField(std::string_view text);
std::string JournalLine(std::string_view kind, const std::vector<std::string>& fields);
// The kind and the fields of a line, unescaped.
std::vector<std::string> SplitJournalLine(std::string_view line);

}  // namespace orvane::winsim
