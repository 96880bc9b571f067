// REGEDIT4 text: the registry as regedit exports it, and the importer that
// merges such text back.
//
// Written as regedit writes it: "REGEDIT4", then one block per key in
// depth-first enumeration order ("[FULL\PATH]", its values, a blank line), CRLF
// line ends. A value is "text" when it is a REG_SZ holding exactly one NUL at
// its end and no line break, dword:xxxxxxxx when it is a 4-byte REG_DWORD, and
// hex: (REG_BINARY) or hex(N): (any other type, or data that fits neither
// form) otherwise, so every value comes back byte for byte. Hex lists wrap as
// regedit wraps them: a line is cut after the byte that reaches column 77,
// ending in ",\" and continuing two spaces in.
//
// Names and strings escape \ and " with a backslash. A value name may also
// hold a line break or a NUL, and a name has no hex form, so those are written
// as \r, \n and \0 (regedit itself would write them raw and break the line).
//
// The importer reads all of the text before it changes anything; a damaged
// line throws RegFileError with its number. It refuses the
// "Windows Registry Editor Version 5.00" form (UTF-16 on Windows) and unknown
// escapes. Its work is linear in the size of the text.
#include <algorithm>
#include <cstdio>
#include <functional>

#include "winsim/registry.h"

namespace orvane::winsim {

using win::BYTE;
using win::DWORD;

namespace {

constexpr std::string_view kHeader = "REGEDIT4";
constexpr std::string_view kVersion5Header =
    "Windows Registry Editor Version 5.00";
constexpr std::string_view kEol = "\r\n";
constexpr std::size_t kHexWrapColumn = 77;
// Windows' limit on the depth of a key [MS: Registry element size limits].
constexpr std::size_t kMaxDepth = 512;

// --- Writing.

void AppendEscaped(std::string* out, std::string_view text) {
  for (char c : text) {
    switch (c) {
      case '\\':
        *out += "\\\\";
        break;
      case '"':
        *out += "\\\"";
        break;
      case '\r':
        *out += "\\r";
        break;
      case '\n':
        *out += "\\n";
        break;
      case '\0':
        *out += "\\0";
        break;
      default:
        *out += c;
    }
  }
}

// Text that regedit can write between quotes and read back unchanged.
bool IsQuotableString(const std::vector<BYTE>& data) {
  if (data.empty() || data.back() != 0) return false;
  return std::none_of(data.begin(), data.end() - 1,
                      [](BYTE b) { return b == 0 || b == '\r' || b == '\n'; });
}

void AppendHex(std::string* out, std::size_t column, DWORD type,
               const std::vector<BYTE>& data) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string prefix = "hex:";
  if (type != win::REG_BINARY) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer,
                  "hex(%x):", static_cast<unsigned>(type));
    prefix = buffer;
  }
  *out += prefix;
  column += prefix.size();
  for (std::size_t i = 0; i < data.size(); ++i) {
    *out += kDigits[data[i] >> 4];
    *out += kDigits[data[i] & 0xF];
    if (i + 1 == data.size()) break;
    *out += ',';
    column += 3;
    if (column >= kHexWrapColumn) {
      *out += "\\\r\n  ";
      column = 2;
    }
  }
}

void AppendValue(std::string* out, const RegValue& value) {
  std::string line;
  if (value.name.empty()) {
    line = "@=";
  } else {
    line = "\"";
    AppendEscaped(&line, value.name);
    line += "\"=";
  }
  const std::vector<BYTE>& data = value.data;
  if (value.type == win::REG_SZ && IsQuotableString(data)) {
    line += '"';
    AppendEscaped(&line,
                  std::string_view(reinterpret_cast<const char*>(data.data()),
                                   data.size() - 1));
    line += '"';
  } else if (value.type == win::REG_DWORD && data.size() == 4) {
    const DWORD dword = data[0] | data[1] << 8 | data[2] << 16 |
                        static_cast<DWORD>(data[3]) << 24;
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "dword:%08x",
                  static_cast<unsigned>(dword));
    line += buffer;
  } else {
    const std::size_t column = line.size();
    AppendHex(&line, column, value.type, data);
  }
  *out += line;
  *out += kEol;
}

// --- Reading.

struct Change {
  enum class Kind { kPutKey, kRemoveKey, kPutValue, kRemoveValue };
  Kind kind;
  std::string path;
  std::string name;
  DWORD type = win::REG_NONE;
  std::vector<BYTE> data;
};

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view TrimBlanks(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool StartsWithNoCase(std::string_view s, std::string_view prefix) {
  if (s.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    const char c = s[i];
    const char lower =
        (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    if (lower != prefix[i]) return false;
  }
  return true;
}

// Hands out the lines of the text with their numbers; CRLF or LF ends a line.
class LineReader {
 public:
  explicit LineReader(std::string_view text) : text_(text) {}

  bool Next(std::string_view* line) {
    if (done_) return false;
    const std::size_t end = text_.find('\n', pos_);
    if (end == std::string_view::npos) {
      *line = text_.substr(pos_);
      done_ = true;
    } else {
      *line = text_.substr(pos_, end - pos_);
      pos_ = end + 1;
    }
    if (!line->empty() && line->back() == '\r') line->remove_suffix(1);
    ++number_;
    return true;
  }
  int number() const { return number_; }

 private:
  std::string_view text_;
  std::size_t pos_ = 0;
  int number_ = 0;
  bool done_ = false;
};

// The full path a "[...]" line names, in the registry's spelling of its root,
// with the count of names below the root; nullopt for an unknown root.
using PathResolver = std::function<std::optional<std::string>(
    std::string_view path, std::size_t* depth)>;

class Parser {
 public:
  Parser(std::string_view text, PathResolver resolve)
      : lines_(text), resolve_(std::move(resolve)) {}

  std::vector<Change> Parse() {
    std::string_view line;
    lines_.Next(&line);  // there is always a first line, if empty
    const std::string_view header = TrimBlanks(line);
    if (header == kVersion5Header) {
      Fail("only REGEDIT4 text is read, not \"" + std::string(kVersion5Header) +
           "\"");
    }
    if (header != kHeader) Fail("the text does not begin with REGEDIT4");
    while (lines_.Next(&line)) {
      std::size_t start = 0;
      while (start < line.size() && IsBlank(line[start])) ++start;
      line_ = line;
      pos_ = start;
      if (AtEnd() || Peek() == ';') continue;
      if (Peek() == '[') {
        ParseKeyLine();
      } else if (Peek() == '@' || Peek() == '"') {
        ParseValueLine();
      } else {
        Fail("neither a key, a value nor a comment");
      }
    }
    return std::move(changes_);
  }

 private:
  enum class Section { kNone, kKey, kRemovedKey };

  [[noreturn]] void Fail(const std::string& message) const {
    const int line = std::max(lines_.number(), 1);
    throw RegFileError(line, "line " + std::to_string(line) + ": " + message);
  }

  bool AtEnd() const { return pos_ >= line_.size(); }
  char Peek() const { return line_[pos_]; }
  void SkipBlanks() {
    while (!AtEnd() && IsBlank(Peek())) ++pos_;
  }
  void ExpectEnd() {
    SkipBlanks();
    if (!AtEnd()) Fail("unexpected text after the value");
  }

  void ParseKeyLine() {
    std::string_view inner = TrimBlanks(line_.substr(pos_));
    if (inner.size() < 2 || inner.back() != ']') {
      Fail("a key name without its closing ']'");
    }
    inner = inner.substr(1, inner.size() - 2);
    const bool remove = !inner.empty() && inner.front() == '-';
    if (remove) inner.remove_prefix(1);
    std::size_t depth = 0;
    std::optional<std::string> resolved = resolve_(inner, &depth);
    if (!resolved) Fail("unknown root key in [" + std::string(inner) + "]");
    if (depth > kMaxDepth) Fail("a key nested deeper than 512 levels");
    std::string path = std::move(*resolved);
    if (remove) {
      if (depth == 0) Fail("a root key cannot be removed");
      changes_.push_back(Change{Change::Kind::kRemoveKey, path, {}, {}, {}});
      section_ = Section::kRemovedKey;
    } else {
      changes_.push_back(Change{Change::Kind::kPutKey, path, {}, {}, {}});
      section_ = Section::kKey;
    }
    section_path_ = std::move(path);
  }

  void ParseValueLine() {
    if (section_ == Section::kNone) Fail("a value before the first key");
    Change change{Change::Kind::kPutValue, section_path_, {}, {}, {}};
    if (Peek() == '@') {
      ++pos_;
    } else {
      ParseQuoted(&change.name);
    }
    SkipBlanks();
    if (AtEnd() || Peek() != '=') Fail("'=' expected after the value name");
    ++pos_;
    SkipBlanks();
    ParseData(&change);
    // Values under a "[-key]" are read but not applied: their key is gone.
    if (section_ == Section::kKey) changes_.push_back(std::move(change));
  }

  // A quoted string at the cursor, without its quotes and escapes.
  void ParseQuoted(std::string* out) {
    ++pos_;  // the opening quote
    for (;;) {
      if (AtEnd()) Fail("a quoted string without its closing quote");
      const char c = line_[pos_++];
      if (c == '"') return;
      if (c != '\\') {
        *out += c;
        continue;
      }
      if (AtEnd()) Fail("a quoted string without its closing quote");
      const char escaped = line_[pos_++];
      switch (escaped) {
        case '\\':
          *out += '\\';
          break;
        case '"':
          *out += '"';
          break;
        case 'r':
          *out += '\r';
          break;
        case 'n':
          *out += '\n';
          break;
        case '0':
          *out += '\0';
          break;
        default:
          Fail(std::string("unknown escape \\") + escaped);
      }
    }
  }

  void ParseData(Change* change) {
    if (AtEnd()) Fail("value data expected after '='");
    const std::string_view rest = line_.substr(pos_);
    if (Peek() == '-') {
      ++pos_;
      ExpectEnd();
      change->kind = Change::Kind::kRemoveValue;
    } else if (Peek() == '"') {
      std::string text;
      ParseQuoted(&text);
      ExpectEnd();
      change->type = win::REG_SZ;
      change->data.assign(text.begin(), text.end());
      change->data.push_back(0);
    } else if (StartsWithNoCase(rest, "dword:")) {
      pos_ += 6;
      const DWORD dword = ParseHexNumber("dword:");
      ExpectEnd();
      change->type = win::REG_DWORD;
      change->data = {static_cast<BYTE>(dword), static_cast<BYTE>(dword >> 8),
                      static_cast<BYTE>(dword >> 16),
                      static_cast<BYTE>(dword >> 24)};
    } else if (StartsWithNoCase(rest, "hex(")) {
      pos_ += 4;
      change->type = ParseHexNumber("hex(");
      if (line_.substr(pos_, 2) != "):")
        Fail("hex(type) without its closing \"):\"");
      pos_ += 2;
      ParseHexBytes(&change->data);
    } else if (StartsWithNoCase(rest, "hex:")) {
      pos_ += 4;
      change->type = win::REG_BINARY;
      ParseHexBytes(&change->data);
    } else {
      Fail("unrecognised value data");
    }
  }

  // One to eight hex digits.
  DWORD ParseHexNumber(const char* what) {
    DWORD number = 0;
    std::size_t digits = 0;
    while (!AtEnd() && HexDigit(Peek()) >= 0) {
      if (++digits > 8)
        Fail(std::string(what) + " takes at most eight hex digits");
      number = number << 4 | static_cast<DWORD>(HexDigit(line_[pos_++]));
    }
    if (digits == 0) Fail(std::string(what) + " without hex digits");
    return number;
  }

  // Comma-separated bytes of one or two hex digits; a "\" at the end of a
  // line continues the list on the next line.
  void ParseHexBytes(std::vector<BYTE>* out) {
    for (;;) {
      SkipBlanks();
      if (AtEnd()) return;
      if (Peek() == '\\') {
        ++pos_;
        SkipBlanks();
        if (!AtEnd()) Fail("text after a line continuation");
        std::string_view next;
        if (!lines_.Next(&next))
          Fail("hex data continues past the end of the text");
        line_ = next;
        pos_ = 0;
        continue;
      }
      const int high = HexDigit(Peek());
      if (high < 0) Fail("a bad hex byte");
      ++pos_;
      int byte = high;
      if (!AtEnd() && HexDigit(Peek()) >= 0)
        byte = byte * 16 + HexDigit(line_[pos_++]);
      out->push_back(static_cast<BYTE>(byte));
      SkipBlanks();
      if (AtEnd()) return;
      if (Peek() == ',') {
        ++pos_;
      } else if (Peek() != '\\') {
        Fail("a bad hex byte");
      }
    }
  }

  LineReader lines_;
  PathResolver resolve_;
  std::string_view line_;
  std::size_t pos_ = 0;
  Section section_ = Section::kNone;
  std::string section_path_;
  std::vector<Change> changes_;
};

}  // namespace

std::string Registry::ExportRegedit4(std::string_view keyPath) const {
  std::string out(kHeader);
  out += kEol;
  std::vector<std::string> pending;  // depth-first, without recursion
  if (keyPath.empty()) {
    for (std::size_t i = kRootCount; i-- > 0;)
      pending.emplace_back(RootName(i));
  } else if (std::string path = StoredPath(keyPath); !path.empty()) {
    pending.push_back(std::move(path));
  }
  while (!pending.empty()) {
    const std::string path = std::move(pending.back());
    pending.pop_back();
    out += kEol;
    out += '[';
    out += path;
    out += ']';
    out += kEol;
    for (const RegValue& value : Values(path)) AppendValue(&out, value);
    const std::vector<std::string> names = SubkeyNames(path);
    for (auto it = names.rbegin(); it != names.rend(); ++it) {
      pending.push_back(path + '\\' + *it);
    }
  }
  out += kEol;
  return out;
}

void Registry::ImportRegedit4(std::string_view text) {
  auto resolve = [](std::string_view path,
                    std::size_t* depth) -> std::optional<std::string> {
    std::vector<std::string_view> names;
    const std::optional<std::size_t> root = SplitPath(path, &names);
    if (!root) return std::nullopt;
    std::string full(RootName(*root));
    for (std::string_view name : names) {
      full += '\\';
      full += name;
    }
    *depth = names.size();
    return full;
  };
  std::vector<Change> changes = Parser(text, resolve).Parse();
  for (Change& change : changes) {
    switch (change.kind) {
      case Change::Kind::kPutKey:
        PutKey(change.path);
        break;
      case Change::Kind::kRemoveKey:
        RemoveTree(change.path);
        break;
      case Change::Kind::kPutValue:
        PutValue(change.path, change.name, change.type, std::move(change.data));
        break;
      case Change::Kind::kRemoveValue:
        RemoveValue(change.path, change.name);
        break;
    }
  }
}

}  // namespace orvane::winsim
