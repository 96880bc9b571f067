#include "tools/state/wine_registry.h"

#include <cctype>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <vector>

namespace orvane::tools {
namespace {

using Units = std::u16string;

class LineError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Reads an escaped string from `at` up to its closing `delim`; `at` is left
// after the delimiter.
Units Unescape(std::string_view line, std::size_t& at, char delim) {
  Units out;
  while (at < line.size() && line[at] != delim) {
    char c = line[at++];
    if (c != '\\') {
      out.push_back(static_cast<unsigned char>(c));  // the file is ASCII
      continue;
    }
    if (at >= line.size()) throw LineError("a backslash ends the line");
    char e = line[at++];
    switch (e) {
      case 'a': out.push_back(7); break;
      case 'b': out.push_back(8); break;
      case 't': out.push_back(9); break;
      case 'n': out.push_back(10); break;
      case 'v': out.push_back(11); break;
      case 'f': out.push_back(12); break;
      case 'r': out.push_back(13); break;
      case 'e': out.push_back(27); break;
      case 'x': {
        unsigned value = 0;
        int digits = 0;
        while (digits < 4 && at < line.size() && HexDigit(line[at]) >= 0) {
          value = value * 16 + static_cast<unsigned>(HexDigit(line[at++]));
          ++digits;
        }
        if (digits == 0) throw LineError("\\x without hex digits");
        out.push_back(static_cast<char16_t>(value));
        break;
      }
      default:
        if (e >= '0' && e <= '7') {
          unsigned value = static_cast<unsigned>(e - '0');
          for (int digits = 1; digits < 3 && at < line.size() && line[at] >= '0' &&
                               line[at] <= '7';
               ++digits) {
            value = value * 8 + static_cast<unsigned>(line[at++] - '0');
          }
          out.push_back(static_cast<char16_t>(value));
        } else {
          out.push_back(static_cast<unsigned char>(e));  // \\ \" \] and the like
        }
    }
  }
  if (at >= line.size()) throw LineError(std::string("no closing ") + delim);
  ++at;
  return out;
}

std::string Narrow(const Units& units) {
  std::string out;
  for (char16_t u : units) out.push_back(u < 0x100 ? static_cast<char>(u) : '?');
  return out;
}

bool IsStringType(win::DWORD type) {
  return type == win::REG_SZ || type == win::REG_EXPAND_SZ || type == win::REG_MULTI_SZ;
}

std::vector<win::BYTE> StringData(const Units& text) {
  std::string narrow = Narrow(text);
  std::vector<win::BYTE> data(narrow.begin(), narrow.end());
  data.push_back(0);
  return data;
}

std::vector<win::BYTE> HexBytes(std::string_view text) {
  std::vector<win::BYTE> bytes;
  std::size_t at = 0;
  while (at < text.size()) {
    while (at < text.size() && (text[at] == ',' || std::isspace(static_cast<unsigned char>(text[at])))) ++at;
    if (at >= text.size()) break;
    if (at + 1 >= text.size() || HexDigit(text[at]) < 0 || HexDigit(text[at + 1]) < 0) {
      throw LineError("bad hex data");
    }
    bytes.push_back(static_cast<win::BYTE>(HexDigit(text[at]) * 16 + HexDigit(text[at + 1])));
    at += 2;
  }
  return bytes;
}

// String types stored as raw UTF-16 bytes, as an "A" caller reads them.
std::vector<win::BYTE> NarrowRaw(std::vector<win::BYTE> raw) {
  if (raw.size() % 2 != 0) return raw;
  Units units;
  for (std::size_t i = 0; i < raw.size(); i += 2) {
    units.push_back(static_cast<char16_t>(raw[i] | (raw[i + 1] << 8)));
  }
  std::string narrow = Narrow(units);
  return std::vector<win::BYTE>(narrow.begin(), narrow.end());
}

void ReadValue(std::string_view line, win::DWORD* type, std::vector<win::BYTE>* data) {
  std::size_t at = 0;
  if (line.substr(0, 4) == "str(") {
    std::size_t close = line.find("):\"");
    if (close == std::string_view::npos) throw LineError("bad str(N) value");
    *type = static_cast<win::DWORD>(std::stoul(std::string(line.substr(4, close - 4)), nullptr, 16));
    at = close + 3;
    *data = StringData(Unescape(line, at, '"'));
  } else if (!line.empty() && line[0] == '"') {
    at = 1;
    *type = win::REG_SZ;
    *data = StringData(Unescape(line, at, '"'));
  } else if (line.substr(0, 6) == "dword:") {
    std::string digits(line.substr(6));
    if (digits.size() != 8) throw LineError("a dword has eight hex digits");
    std::uint32_t v = static_cast<std::uint32_t>(std::stoul(digits, nullptr, 16));
    *type = win::REG_DWORD;
    *data = {static_cast<win::BYTE>(v), static_cast<win::BYTE>(v >> 8),
             static_cast<win::BYTE>(v >> 16), static_cast<win::BYTE>(v >> 24)};
  } else if (line.substr(0, 4) == "hex:") {
    *type = win::REG_BINARY;
    *data = HexBytes(line.substr(4));
  } else if (line.substr(0, 4) == "hex(") {
    std::size_t close = line.find("):");
    if (close == std::string_view::npos) throw LineError("bad hex(N) value");
    *type = static_cast<win::DWORD>(std::stoul(std::string(line.substr(4, close - 4)), nullptr, 16));
    *data = HexBytes(line.substr(close + 2));
    if (IsStringType(*type)) *data = NarrowRaw(std::move(*data));
  } else {
    throw LineError("unknown value form");
  }
}

std::string KeyPath(const Units& escaped) {
  std::string path = Narrow(escaped);
  constexpr std::string_view kSet = "system\\controlset001";
  std::string lower;
  for (char c : path.substr(0, kSet.size())) {
    lower.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
  }
  if (lower == kSet && (path.size() == kSet.size() || path[kSet.size()] == '\\')) {
    path = "System\\CurrentControlSet" + path.substr(kSet.size());
  }
  return path;
}

}  // namespace

void ReadWineRegistry(std::string_view text, std::string_view root,
                      winsim::Registry& registry) {
  std::string key;      // full path of the current key; empty before the first
  bool link = false;    // the current key is a symbolic link
  std::string pending;  // a value line continued on the next
  int number = 0, pending_from = 0;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string line(text.substr(start, end - start));
    start = end + 1;
    ++number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    try {
      if (!pending.empty()) {
        std::size_t first = line.find_first_not_of(" \t");
        line = pending + (first == std::string::npos ? "" : line.substr(first));
        pending.clear();
      } else {
        pending_from = number;
      }
      if (number == 1) {
        if (line.rfind("WINE REGISTRY", 0) != 0) throw LineError("not a Wine registry file");
        continue;
      }
      if (line.empty() || line[0] == ';') continue;
      if (line[0] == '#') {
        if (line == "#link") link = true;
        continue;
      }
      if (line[0] == '[') {
        std::size_t at = 1;
        key = std::string(root) + "\\" + KeyPath(Unescape(line, at, ']'));
        link = false;
        registry.PutKey(key);
        continue;
      }
      if (line.back() == '\\' && line.find("=hex") != std::string::npos) {
        line.pop_back();
        pending = line;
        continue;
      }
      if (key.empty()) throw LineError("a value before the first key");
      std::string name;
      std::size_t at = 0;
      if (line.rfind("@=", 0) == 0) {
        at = 2;
      } else if (line[0] == '"') {
        at = 1;
        name = Narrow(Unescape(line, at, '"'));
        if (at >= line.size() || line[at] != '=') throw LineError("no '=' after the name");
        ++at;
      } else {
        throw LineError("a line that is no key, value or comment");
      }
      win::DWORD type = 0;
      std::vector<win::BYTE> data;
      ReadValue(std::string_view(line).substr(at), &type, &data);
      if (!link) registry.PutValue(key, name, type, std::move(data));
    } catch (const LineError& e) {
      throw std::runtime_error("line " + std::to_string(pending_from) + ": " + e.what());
    } catch (const std::logic_error& e) {  // stoul on bad digits
      throw std::runtime_error("line " + std::to_string(pending_from) + ": bad number");
    }
  }
  if (!pending.empty()) {
    throw std::runtime_error("line " + std::to_string(pending_from) + ": data continues past the end");
  }
}

}  // namespace orvane::tools
