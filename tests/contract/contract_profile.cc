// Profile-file cases: how GetPrivateProfileStringA takes a file apart
// (trimming, quotes, case) and what it copies (defaults, truncation, lists);
// what WritePrivateProfileStringA leaves on disk, byte for byte, and when it
// refuses. Each file is written once, so that no cached copy of an earlier
// content can answer.
#include <array>
#include <cstring>
#include <string>

#include "contract.h"

namespace orvane::contract {
namespace {

using namespace orvane::win;

// One GetPrivateProfileStringA into the first `size` places of a buffer filled
// with '#', so that what is written past nSize shows.
struct ProfileRead {
  DWORD count = 0;
  std::array<char, 64> buffer;
  std::string text() const { return std::string(buffer.data(), strnlen(buffer.data(), 64)); }
};
ProfileRead GetProfileString(Platform& p, const std::string& file, const char* section,
                             const char* key, const char* defaultValue, std::size_t size = 32) {
  ProfileRead r;
  r.buffer.fill('#');
  r.count = p.GetPrivateProfileStringA(section, key, defaultValue,
                                       std::span(r.buffer.data(), size), file.c_str());
  return r;
}

// Lines, section names, key names and values are trimmed, and so are the
// section and key arguments; names compare without regard to case; LF alone
// ends a line too [Wine profile.c: PROFILE_Load; Wine test profile.c].
// Lines that are no key of the section: a line without "=", a key before the
// first section; the first of two equal keys counts, and only the first of two
// equal sections is read; ";" starts no comment for the lookup; empty names
// find nothing; a UTF-8 byte order mark is skipped.
// A value that starts and ends with the same quote loses both quotes; any
// other quote stays [Wine test profile.c: test_GetPrivateProfileString].
// A missing key, section or file gives the default without its trailing
// blanks; a null default gives "" [Wine test profile.c:
// test_GetPrivateProfileString]. A missing file also sets ERROR_FILE_NOT_FOUND
// [MS: GetPrivateProfileString].
void ProfileLookups(Platform& p, Scratch& s, Checker& c) {
  const std::string file = s.Path("lookups.ini"), bom = s.Path("bom.ini");
  const std::string absent = s.Path("absent.ini");
  if (!WriteText(p, c, file,
                 "top=before\r\n"
                 "  [ Sec ]  \r\n"
                 "  key1  =  value 1  \r\n"
                 "key2=two\n"
                 "key3 =\r\n"
                 "[Other]\r\nkey1=other\r\n"
                 "[S]\r\nnoequals\r\ndup=first\r\ndup=second\r\n;c=1\r\n[s]\r\nlate=hidden\r\n"
                 "[Q]\r\n"
                 "double=\"val2\"\r\n"
                 "single='val3'\r\n"
                 "open=\"val4\r\n"
                 "close=val5\"\r\n"
                 "mixed=\"val6'\r\n"
                 "spaced=  \"val 7\"  \r\n"
                 "inner=a\"b\"c\r\n") ||
      !WriteText(p, c, bom, "\xEF\xBB\xBF[B]\r\nk=v\r\n")) {
    return;
  }
  const struct {
    const std::string& file;
    const char *section, *key, *expected, *defaultValue = "(default)";
  } rows[] = {
      {file, "Sec", "key1", "value 1"},
      {file, " Sec ", "  key1 ", "value 1"},
      {file, "SEC", "KEY1", "value 1"},
      {file, "Sec", "key2", "two"},
      {file, "Sec", "key3", ""},
      {file, "Other", "key1", "other"},
      {file, "Sec", "missing", "(default)"},
      {file, "S", "top", "(default)"},
      {file, "S", "noequals", "(default)"},
      {file, "S", "dup", "first"},
      {file, "S", "late", "(default)"},
      {file, "S", ";c", "1"},
      {file, "", "dup", "(default)"},
      {file, "S", "", "(default)"},
      {bom, "B", "k", "v"},
      {file, "Q", "double", "val2"},
      {file, "Q", "single", "val3"},
      {file, "Q", "open", "\"val4"},
      {file, "Q", "close", "val5\""},
      {file, "Q", "mixed", "\"val6'"},
      {file, "Q", "spaced", "val 7"},
      {file, "Q", "inner", "a\"b\"c"},
      {file, "Sec", "nokey", "default", "default  "},
      {file, "NoSection", "key1", "def ault", "def ault "},
      {file, "Sec", "nokey", "", nullptr},
      {file, "Sec", "nokey", "", ""},
      {absent, "S", "key", "default", "default  "},
  };
  for (const auto& row : rows) {
    const std::string name = Describe(row.section) + " " + Describe(row.key) + ", default " +
                             Describe(row.defaultValue);
    ProfileRead r = GetProfileString(p, row.file, row.section, row.key, row.defaultValue);
    c.Equal(name, r.text(), row.expected);
    c.Equal(name + ": count", r.count, std::strlen(row.expected));
  }
  p.SetLastError(kPoison);
  GetProfileString(p, absent, "S", "key", "x");
  c.Equal("missing file: last error", p.GetLastError(), ERROR_FILE_NOT_FOUND);
  c.That("missing file", !Exists(p, absent), "not created by reading");
}

// A value or default longer than the buffer is cut to nSize-1 characters and
// a NUL; nSize 0 writes nothing [Wine test profile.c:
// test_GetPrivateProfileString]. A null key lists the section's key names, a
// null section the section names, each NUL-terminated and the list closed by
// a second NUL. A list that does not fit is cut to nSize-2 characters and
// closed by two NULs in the last two places [Wine test profile.c:
// test_GetPrivateProfileString, "not enough room for final key name"].
// Nothing is ever written past nSize.
void ProfileTruncation(Platform& p, Scratch& s, Checker& c) {
  using namespace std::string_view_literals;
  std::string file = s.Path("lists.ini");
  if (!WriteText(p, c, file,
                 "[section1]\r\nname1=val1\r\nname2=\"val2\"\r\nname4=a\r\n"
                 "[section2]\r\nname3=val3\r\n")) {
    return;
  }
  // Wine leaves the last place of a cut list as it was, so the list ends with
  // one NUL; Windows puts the closing NUL there (todo_wine in Wine's test).
  const char* why = "a list cut to nSize leaves the last place untouched (Windows: a NUL)";
  const struct {
    const char *section, *key, *defaultValue;
    std::size_t size;
    std::string_view expected;  // the first places of the buffer
    DWORD count;
    std::string_view wine = {};  // what Wine leaves there where it differs
  } rows[] = {
      {"section1", "name1", nullptr, 5, "val1\0"sv, 4},
      {"section1", "name1", nullptr, 4, "val\0"sv, 3},
      {"section1", "name1", nullptr, 2, "v\0"sv, 1},
      {"section1", "name1", nullptr, 1, "\0"sv, 0},
      {"section1", "name1", nullptr, 0, ""sv, 0},
      {"section1", "none", "defaultvalue", 4, "def\0"sv, 3},
      {"section1", nullptr, "default", 32, "name1\0name2\0name4\0\0"sv, 18},
      {"section1", nullptr, "default", 16, "name1\0name2\0na\0\0"sv, 14, "name1\0name2\0na\0#"sv},
      {nullptr, nullptr, "default", 32, "section1\0section2\0\0"sv, 18},
      {nullptr, nullptr, "default", 16, "section1\0secti\0\0"sv, 14, "section1\0secti\0#"sv},
  };
  for (const auto& row : rows) {
    const std::string name = Describe(row.section) + " " + Describe(row.key) + " in " +
                             std::to_string(row.size);
    ProfileRead r = GetProfileString(p, file, row.section, row.key, row.defaultValue, row.size);
    std::string_view expected = row.expected;
    if (!row.wine.empty()) expected = ExpectUnlessWine(s, c, row.expected, row.wine, why);
    c.Equal(name, std::string_view(r.buffer.data(), expected.size()), expected);
    c.Equal(name + ": count", r.count, row.count);
    const std::string_view past(r.buffer.data() + row.size, r.buffer.size() - row.size);
    c.That(name + ": past nSize", past.find_first_not_of('#') == past.npos, "nothing written");
  }
}

// Writes that cannot name a file or a section fail and create nothing: a file
// in a folder that does not exist with 3 (reading it gives the default), an
// empty file name with 5, a null section with 2 [Wine profile.c: PROFILE_Open;
// Wine test profile.c: test_WritePrivateProfileString]. A file another handle
// holds without sharing writing: 32, and the file keeps its content.
void ProfileWriteRefusals(Platform& p, Scratch& s, Checker& c) {
  const std::string held = s.Path("held.ini");
  if (!WriteText(p, c, held, "[S]\r\nkey=old\r\n")) return;
  ScopedFile holder = OpenFile(p, held, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
  const struct {
    const char* name;
    std::string file;
    const char* section;
    DWORD error;
  } rows[] = {
      {"missing folder", s.Path("nofolder\\settings.ini"), "S", ERROR_PATH_NOT_FOUND},
      {"empty file name", "", "S", ERROR_ACCESS_DENIED},
      {"null section", s.Path("refused.ini"), nullptr, ERROR_FILE_NOT_FOUND},
      {"held by another handle", held, "S", ERROR_SHARING_VIOLATION},
  };
  for (const auto& row : rows) {
    p.SetLastError(kPoison);
    c.Equal(row.name, p.WritePrivateProfileStringA(row.section, "key", "v", row.file.c_str()),
            FALSE);
    c.Equal(std::string(row.name) + ": last error", p.GetLastError(), row.error);
  }
  holder.Close();
  c.Equal("read", GetProfileString(p, rows[0].file, "S", "key", "default").text(), "default");
  c.That("folder", !Exists(p, s.Path("nofolder")), "not created");
  c.That("null section", !Exists(p, rows[2].file), "no file created");
  c.Equal("held file", ReadText(p, held).value_or("(no file)"), "[S]\r\nkey=old\r\n");
}

// Writing step by step from no file: sections at the end, a new key at the
// end of its section, an existing key replaced in place under its own
// spelling, leading blanks of a value dropped, CRLF everywhere; a null value
// deletes the key (the last key's header stays), a null key the section
// [Wine test profile.c: test_WritePrivateProfileString].
void ProfileWrites(Platform& p, Scratch& s, Checker& c) {
  std::string file = s.Path("written.ini");
  const struct {
    const char *section, *key, *value, *after;
  } steps[] = {
      {"App1", "key1", "string1", "[App1]\r\nkey1=string1\r\n"},
      {"App2", "key3", "string3", "[App1]\r\nkey1=string1\r\n[App2]\r\nkey3=string3\r\n"},
      {"App1", "key2", "string2",
       "[App1]\r\nkey1=string1\r\nkey2=string2\r\n[App2]\r\nkey3=string3\r\n"},
      {"app1", "KEY1", "  changed",
       "[App1]\r\nkey1=changed\r\nkey2=string2\r\n[App2]\r\nkey3=string3\r\n"},
      {"App2", "empty", "",
       "[App1]\r\nkey1=changed\r\nkey2=string2\r\n[App2]\r\nkey3=string3\r\nempty=\r\n"},
      {"App1", "key1", nullptr, "[App1]\r\nkey2=string2\r\n[App2]\r\nkey3=string3\r\nempty=\r\n"},
      {"App2", "key3", nullptr, "[App1]\r\nkey2=string2\r\n[App2]\r\nempty=\r\n"},
      {"App2", "empty", nullptr, "[App1]\r\nkey2=string2\r\n[App2]\r\n"},
      {"app1", nullptr, nullptr, "[App2]\r\n"},
  };
  for (const auto& step : steps) {
    std::string name = std::string(step.section) + " " + (step.key ? step.key : "(null)");
    c.Equal(name, p.WritePrivateProfileStringA(step.section, step.key, step.value, file.c_str()),
            TRUE);
    c.Equal(name + ": file", ReadText(p, file).value_or("(no file)"), step.after);
  }
  c.Equal("read key2 of App1", GetProfileString(p, file, "App1", "key2", "gone").text(), "gone");
}

const Case kCases[] = {
    {"ProfileLookups", ProfileLookups}, {"ProfileTruncation", ProfileTruncation},
    {"ProfileWriteRefusals", ProfileWriteRefusals}, {"ProfileWrites", ProfileWrites},
};

[[maybe_unused]] const bool added = AddCases(kCases);

}  // namespace
}  // namespace orvane::contract
