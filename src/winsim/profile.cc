#include "winsim/profile.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace orvane::winsim::profile {
namespace {

using win::DWORD;

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
constexpr std::string_view kLineEnd = "\r\n";

// Blanks as the profile reader counts them: tab to carriage return, space,
// and ^Z, the DOS end of file (Wine profile.c: PROFILE_isspaceW).
bool IsBlank(char c) { return (c >= 0x09 && c <= 0x0d) || c == 0x1a || c == ' '; }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

// A string handed to the Win32 call ends at its first NUL.
std::string_view UpToNul(std::string_view s) { return s.substr(0, s.find('\0')); }

char Upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }

// Names compare with ASCII letters folded; other bytes compare as they are.
bool EqualNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(),
                    [](char x, char y) { return Upper(x) == Upper(y); });
}

// `"val"` and `'val'` lose their quotes; a lone or unmatched quote stays.
std::string_view StripQuotes(std::string_view v) {
  if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front()) {
    return v.substr(1, v.size() - 2);
  }
  return v;
}

// One "key=value" line as Windows writes it.
std::string Entry(std::string_view key, std::string_view value) {
  return std::string(key) + "=" + std::string(value) + std::string(kLineEnd);
}

std::string_view SplitBom(std::string_view text, std::string_view* body) {
  bool bom = text.starts_with(kUtf8Bom);
  *body = bom ? text.substr(kUtf8Bom.size()) : text;
  return bom ? kUtf8Bom : std::string_view();
}

enum class LineKind { kBlank, kHeader, kKey, kOther };

struct Line {
  std::size_t begin = 0;        // first byte of the line
  std::size_t content_end = 0;  // where its line end starts
  std::size_t end = 0;          // after its line end
  LineKind kind = LineKind::kBlank;
  std::string_view name;   // section or key name, trimmed
  std::string_view value;  // a key's value, trimmed (quotes kept)
};

// The lines of one section: a header line (none for the text before the first
// header) and the lines after it up to the next header.
struct Section {
  bool named = false;
  std::string_view name;
  std::size_t header = 0;
  std::size_t first = 0;
  std::size_t last = 0;  // one past its last line
};

class Document {
 public:
  explicit Document(std::string_view text) : text_(text) {
    Section top;
    for (std::size_t pos = 0; pos < text.size();) {
      Line line = ReadLine(pos);
      pos = line.end;
      if (line.kind == LineKind::kHeader) {
        top.last = lines_.size();
        sections_.push_back(top);
        top = Section{true, line.name, lines_.size(), lines_.size() + 1, 0};
      }
      lines_.push_back(line);
    }
    top.last = lines_.size();
    sections_.push_back(top);
  }

  const std::vector<Line>& lines() const { return lines_; }
  const std::vector<Section>& sections() const { return sections_; }
  std::size_t size() const { return text_.size(); }

  // The first section of that name; later duplicates are never seen.
  const Section* FindSection(std::string_view name) const {
    for (const auto& s : sections_) {
      if (s.named && EqualNoCase(s.name, name)) return &s;
    }
    return nullptr;
  }

  // The first "name=value" line of that key in the section.
  const Line* FindKey(const Section& section, std::string_view key) const {
    for (std::size_t i = section.first; i < section.last; ++i) {
      const Line& line = lines_[i];
      if (line.kind == LineKind::kKey && EqualNoCase(line.name, key)) return &line;
    }
    return nullptr;
  }

  // Where the next line starts after the section's last non-blank line.
  std::size_t AppendIndex(const Section& section) const {
    std::size_t index = section.header;
    for (std::size_t i = section.first; i < section.last; ++i) {
      if (lines_[i].kind != LineKind::kBlank) index = i;
    }
    return index;
  }

 private:
  // CRLF, LF and CR each end a line.
  Line ReadLine(std::size_t pos) const {
    Line line;
    line.begin = pos;
    std::size_t stop = text_.find_first_of("\r\n", pos);
    if (stop == std::string_view::npos) stop = text_.size();
    line.content_end = stop;
    line.end = stop;
    if (stop < text_.size()) {
      bool crlf = text_.substr(stop, 2) == "\r\n";
      line.end = stop + (crlf ? 2 : 1);
    }
    std::string_view content = Trim(text_.substr(pos, stop - pos));
    if (content.empty()) return line;
    std::size_t close = content.rfind(']');
    if (content.front() == '[' && close != std::string_view::npos && close > 0) {
      line.kind = LineKind::kHeader;
      line.name = Trim(content.substr(1, close - 1));
      return line;
    }
    std::size_t equals = content.find('=');
    if (equals == std::string_view::npos) {
      line.kind = LineKind::kOther;
      return line;
    }
    line.kind = LineKind::kKey;
    line.name = Trim(content.substr(0, equals));
    line.value = Trim(content.substr(equals + 1));
    return line;
  }

  std::string_view text_;
  std::vector<Line> lines_;
  std::vector<Section> sections_;
};

// lstrcpyn: as much as fits before the terminating NUL.
DWORD CopyString(std::string_view s, std::span<char> out) {
  s = UpToNul(s);
  std::size_t n = std::min(s.size(), out.size() - 1);
  std::memcpy(out.data(), s.data(), n);
  out[n] = '\0';
  return static_cast<DWORD>(n);
}

// A double-NUL-terminated list. On overflow Windows fills the buffer with as
// much of the list as fits, ends it with two NULs and returns nSize-2 (Wine
// test profile.c: "section1\0secti\0\0" for nSize 16).
DWORD CopyList(const std::vector<std::string_view>& names, std::span<char> out) {
  std::string list;
  for (auto name : names) {
    list += UpToNul(name);
    list += '\0';
  }
  if (out.size() < 2) {
    out[0] = '\0';
    return 0;
  }
  if (list.size() + 1 <= out.size()) {
    std::memcpy(out.data(), list.data(), list.size());
    out[list.size()] = '\0';
    if (list.empty()) out[1] = '\0';
    return static_cast<DWORD>(list.size());
  }
  std::size_t keep = out.size() - 2;
  std::memcpy(out.data(), list.data(), keep);
  out[keep] = '\0';
  out[keep + 1] = '\0';
  return static_cast<DWORD>(keep);
}

}  // namespace

DWORD GetString(const std::optional<std::string>& fileText, const char* appName,
                const char* keyName, const char* defaultValue, std::span<char> out) {
  if (out.empty()) return 0;  // the buffer is left untouched
  std::string_view body;
  if (fileText) SplitBom(*fileText, &body);
  Document doc(body);

  if (!appName) {
    std::vector<std::string_view> names;
    for (const auto& s : doc.sections()) {
      if (s.named && !s.name.empty()) names.push_back(s.name);
    }
    return CopyList(names, out);
  }

  // The default loses its trailing spaces; a null default is "".
  std::string_view def = defaultValue ? defaultValue : "";
  while (!def.empty() && def.back() == ' ') def.remove_suffix(1);

  std::string_view app = Trim(appName);
  const Section* section = app.empty() ? nullptr : doc.FindSection(app);
  if (!keyName) {
    std::vector<std::string_view> names;
    if (section) {
      for (std::size_t i = section->first; i < section->last; ++i) {
        const Line& line = doc.lines()[i];
        // Key listings skip comments and lines without "=".
        bool listed = line.kind == LineKind::kKey && !line.name.empty() &&
                      line.name.front() != ';';
        if (listed) names.push_back(line.name);
      }
    }
    if (names.empty()) return CopyString(def, out);  // Wine profile.c: nothing listed
    return CopyList(names, out);
  }

  std::string_view key = Trim(keyName);
  const Line* line = (section && !key.empty()) ? doc.FindKey(*section, key) : nullptr;
  if (!line) return CopyString(def, out);
  return CopyString(StripQuotes(UpToNul(line->value)), out);
}

std::optional<std::string> Lookup(std::string_view fileText, std::string_view appName,
                                  std::string_view keyName) {
  std::string_view body;
  SplitBom(fileText, &body);
  Document doc(body);
  std::string_view app = Trim(appName);
  std::string_view key = Trim(keyName);
  if (app.empty() || key.empty()) return std::nullopt;
  const Section* section = doc.FindSection(app);
  const Line* line = section ? doc.FindKey(*section, key) : nullptr;
  if (!line) return std::nullopt;
  return std::string(StripQuotes(UpToNul(line->value)));
}

std::string Write(std::string_view fileText, const char* appName, const char* keyName,
                  const char* value) {
  std::string original(fileText);
  if (!appName) return original;
  std::string_view body;
  std::string_view bom = SplitBom(fileText, &body);
  Document doc(body);
  std::string_view app = Trim(appName);
  const Section* section = doc.FindSection(app);
  auto rebuilt = [&](std::size_t from, std::size_t to, std::string_view insert) {
    std::string out(bom);
    out += body.substr(0, from);
    out += insert;
    out += body.substr(to);
    return out;
  };

  if (!keyName) {  // delete the section: its header and every line up to the next
    if (!section) return original;
    std::size_t to = section->last < doc.lines().size()
                         ? doc.lines()[section->last].begin : doc.size();
    return rebuilt(doc.lines()[section->header].begin, to, "");
  }

  std::string_view key = Trim(keyName);
  const Line* line = section ? doc.FindKey(*section, key) : nullptr;
  if (!value) {  // delete the key; the header stays even when it was the last
    if (!line) return original;
    return rebuilt(line->begin, line->end, "");
  }

  std::string_view text = value;
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);

  if (line) {  // in place, in the key's own spelling
    if (line->value == text) return original;  // no write at all
    return rebuilt(line->begin, line->end, Entry(line->name, text));
  }
  std::string entry = Entry(key, text);
  if (section) {  // a new key goes after the section's last non-blank line
    const Line& after = doc.lines()[doc.AppendIndex(*section)];
    if (after.end == after.content_end) entry.insert(0, kLineEnd);  // unterminated
    return rebuilt(after.end, after.end, entry);
  }
  std::string insert;
  if (!body.empty() && body.back() != '\n' && body.back() != '\r') insert += kLineEnd;
  insert.append("[").append(app).append("]").append(kLineEnd).append(entry);
  return rebuilt(body.size(), body.size(), insert);
}

}  // namespace orvane::winsim::profile
