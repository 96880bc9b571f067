#include "platform/command_line.h"

namespace orvane {
namespace {

bool AboveBlank(char c) { return static_cast<unsigned char>(c) > ' '; }

bool NeedsQuotes(std::string_view arg) {
  return arg.empty() || arg.find_first_of(" \t\"") != std::string_view::npos;
}

void AppendQuoted(std::string_view arg, std::string* out) {
  out->push_back('"');
  std::size_t backslashes = 0;
  for (char c : arg) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    // Backslashes count literally unless a quote follows them.
    const std::size_t count = c == '"' ? 2 * backslashes + 1 : backslashes;
    out->append(count, '\\');
    out->push_back(c);
    backslashes = 0;
  }
  // The closing quote follows: the trailing backslashes are doubled.
  out->append(2 * backslashes, '\\');
  out->push_back('"');
}

}  // namespace

const char* ExtractCommandLine(const char* processCommandLine) {
  if (processCommandLine == nullptr) return "";
  const char* p = processCommandLine;
  if (*p == '"') {
    ++p;
    while (*p != '\0' && *p != '"') ++p;
    if (*p == '"') ++p;
  } else {
    while (AboveBlank(*p)) ++p;
  }
  while (*p != '\0' && !AboveBlank(*p)) ++p;
  return p;
}

std::string BuildProcessCommandLine(std::string_view modulePath,
                                    const std::vector<std::string>& args) {
  std::string line = "\"";
  line.append(modulePath);
  line.push_back('"');
  for (const std::string& arg : args) {
    line.push_back(' ');
    if (NeedsQuotes(arg)) {
      AppendQuoted(arg, &line);
    } else {
      line.append(arg);
    }
  }
  return line;
}

}  // namespace orvane
