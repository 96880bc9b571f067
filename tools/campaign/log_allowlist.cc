#include "tools/campaign/log_allowlist.h"

#include <cstdint>

namespace orvane::campaign {
namespace {

struct LogText {
  const char* pattern;  // with %lu and %s
  bool line_break;      // the text ends in "\r\n": an empty line follows
};

// The installer's log texts. The last two are the installer's own additions:
// the printer-driver folder it could not ask for, and a partial copy it could
// not delete.
constexpr LogText kTexts[] = {
    {"GetSystemDirectory failed", true},
    {"is_winnt = TRUE", false},
    {"is_winnt = FALSE", false},
    {"is_win4 = TRUE", false},
    {"is_win4 = FALSE", false},
    {"RegDeleteKey Windows 4.0 return: %lu", false},
    {"CopyFile InFile.Open Failed: %src", false},
    {"CopyFile OutFile.Open Failed: %src", false},
    {"CopyFile new Failed: %src", false},
    {"CopyFile Read Failed: %src", false},
    {"CopyFile Write Failed: %src", false},
    {"AddMonitor: %lu", false},
    {"Printer Driver Directory: %s", false},
    {"Failed to launch Add Printer dialog", true},
    {"AddPrinterDriver: %lu", false},
    {"AddPrinter: %lu", false},
    {"Failed to open ovfonts.tbl", true},
    {"Failed to allocate memory", true},
    {"Failed to read file", true},
    {"Failed to open ovprndata.dat", true},
    {"Failed to open ovprndata5.dat", true},
    {"Failed to open allocate memory.dat", true},
    {"startrpc: %lu", false},
    {"DeletePrinterDriver: %lu", false},
    {"DeleteMonitor: %lu", false},
    {"RegDeleteKey 4.0 Driver: %lu", false},
    {"GetPrinterDriverDirectory: %lu", false},
    {"CopyFile OutFile.Remove Failed: %s", false},
};

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// A DWORD in decimal: 1 to 10 digits, no leading zero, at most 4294967295.
bool IsDword(std::string_view text) {
  if (text.empty() || text.size() > 10) return false;
  if (text.size() > 1 && text[0] == '0') return false;
  std::uint64_t value = 0;
  for (char c : text) {
    if (!IsDigit(c)) return false;
    value = value * 10 + static_cast<std::uint64_t>(c - '0');
  }
  return value <= 0xFFFFFFFFu;
}

// A Windows path as the installer builds them: "X:\..." or "\..." (a setup
// folder that could not be found), printable characters only.
bool IsPath(std::string_view text) {
  std::size_t start = 0;
  if (text.size() >= 2 && text[1] == ':' &&
      ((text[0] >= 'A' && text[0] <= 'Z') || (text[0] >= 'a' && text[0] <= 'z'))) {
    start = 2;
  }
  if (text.size() <= start || text[start] != '\\') return false;
  for (char c : text) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return false;
  }
  return true;
}

// A copy's source: a path into the product's "\res\drivedir\" folder,
// named in every copy failure but the one about the destination left behind.
bool IsSourcePath(std::string_view text) {
  const std::size_t folder = text.find("\\res\\drivedir\\");
  return IsPath(text) && folder != std::string_view::npos && folder + 14 < text.size() &&
         text.find('\\', folder + 14) == std::string_view::npos;
}

// The pattern's fixed text, then at most one placeholder at its end (every
// text of the list has it there).
bool Matches(std::string_view pattern, std::string_view text) {
  const std::size_t placeholder = pattern.find('%');
  if (placeholder == std::string_view::npos) return text == pattern;
  const std::string_view fixed = pattern.substr(0, placeholder);
  if (text.substr(0, fixed.size()) != fixed) return false;
  const std::string_view rest = text.substr(fixed.size());
  const std::string_view type = pattern.substr(placeholder);
  if (type == "%lu") return IsDword(rest);
  if (type == "%s") return IsPath(rest);
  if (type == "%src") return IsSourcePath(rest);
  return false;
}

// "MM-DD-YY: HH:MM" with a month, day, hour and minute in range.
bool IsTimeStamp(std::string_view stamp) {
  if (stamp.size() != 15) return false;
  const char* shape = "00-00-00: 00:00";
  for (std::size_t i = 0; i < stamp.size(); ++i) {
    if (shape[i] == '0' ? !IsDigit(stamp[i]) : stamp[i] != shape[i]) return false;
  }
  auto number = [&](std::size_t at) { return (stamp[at] - '0') * 10 + (stamp[at + 1] - '0'); };
  return number(0) >= 1 && number(0) <= 12 && number(3) >= 1 && number(3) <= 31 &&
         number(10) <= 23 && number(13) <= 59;
}

std::string Shown(std::string_view line) {
  std::string out;
  for (char c : line.substr(0, 200)) {
    if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) >= 0x7F) {
      static const char kHex[] = "0123456789abcdef";
      out += "\\x";
      out += kHex[static_cast<unsigned char>(c) >> 4];
      out += kHex[static_cast<unsigned char>(c) & 0xF];
    } else {
      out += c;
    }
  }
  return "'" + out + "'";
}

}  // namespace

bool IsAllowedLogText(std::string_view text, bool* endsInLineBreak) {
  for (const LogText& t : kTexts) {
    if (Matches(t.pattern, text)) {
      if (endsInLineBreak) *endsInLineBreak = t.line_break;
      return true;
    }
  }
  return false;
}

std::vector<std::string> CheckLog(std::string_view bytes, std::size_t* lines) {
  std::vector<std::string> findings;
  std::size_t count = 0;
  bool emptyExpected = false;
  std::size_t start = 0;
  while (start < bytes.size()) {
    const std::size_t end = bytes.find("\r\n", start);
    if (end == std::string_view::npos) {
      findings.push_back("log ends without a line break: " + Shown(bytes.substr(start)));
      break;
    }
    const std::string_view line = bytes.substr(start, end - start);
    start = end + 2;
    ++count;
    if (emptyExpected) {
      emptyExpected = false;
      if (!line.empty()) {
        findings.push_back("no empty line after a text that ends in \\r\\n, but " + Shown(line));
        // The line is checked as a line of its own as well.
      } else {
        continue;
      }
    }
    if (line.empty()) {
      findings.push_back("stray empty log line");
      continue;
    }
    bool lineBreak = false;
    if (!IsTimeStamp(line.substr(0, 15))) {
      findings.push_back("log line without a time stamp: " + Shown(line));
    } else if (!IsAllowedLogText(line.substr(15), &lineBreak)) {
      findings.push_back("log line not in the allowlist: " + Shown(line));
    }
    emptyExpected = lineBreak;
  }
  if (emptyExpected) findings.push_back("log ends before the empty line of its last text");
  if (lines) *lines = count;
  return findings;
}

}  // namespace orvane::campaign
