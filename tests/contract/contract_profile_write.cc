// Profile-file cases, writing: what WritePrivateProfileStringA leaves on disk,
// byte for byte, and when it refuses. Each file is written once before the
// profile calls, so that no cached copy of an earlier content can answer.
#include <string>

#include "contract.h"

namespace orvane::contract {
namespace {

using namespace orvane::win;

// A file in a folder that does not exist: reading gives the default; writing
// fails with ERROR_PATH_NOT_FOUND and creates nothing [Wine profile.c:
// PROFILE_Open].
void ProfileMissingFolder(Platform& p, Scratch& s, Checker& c) {
  std::string file = s.Path("nofolder\\settings.ini");
  ProfileRead r = GetProfileString(p, file, "S", "key", "default");
  c.Equal("read", r.text(), "default");
  p.SetLastError(kPoison);
  c.Equal("write", p.WritePrivateProfileStringA("S", "key", "v", file.c_str()), FALSE);
  c.Equal("write: last error", p.GetLastError(), ERROR_PATH_NOT_FOUND);
  c.That("folder", !Exists(p, s.Path("nofolder")), "not created");
}

// Writes that cannot name a file or a section fail and create nothing: an empty
// file name with 5, a null section with 2 [Wine test profile.c:
// test_WritePrivateProfileString].
void ProfileWriteRefusals(Platform& p, Scratch& s, Checker& c) {
  std::string file = s.Path("refused.ini");
  p.SetLastError(kPoison);
  c.Equal("empty file name", p.WritePrivateProfileStringA("S", "key", "v", ""), FALSE);
  c.Equal("empty file name: last error", p.GetLastError(), ERROR_ACCESS_DENIED);
  p.SetLastError(kPoison);
  c.Equal("null section", p.WritePrivateProfileStringA(nullptr, "key", "v", file.c_str()), FALSE);
  c.Equal("null section: last error", p.GetLastError(), ERROR_FILE_NOT_FOUND);
  c.That("null section", !Exists(p, file), "no file created");
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

// Another handle that does not share writing makes the write fail with
// ERROR_SHARING_VIOLATION, and the file keeps its content.
void ProfileWriteWhileOpen(Platform& p, Scratch& s, Checker& c) {
  std::string file = s.Path("held.ini");
  if (!WriteText(p, c, file, "[S]\r\nkey=old\r\n")) return;
  {
    ScopedFile held(p, OpenFile(p, file, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING));
    if (!c.That("hold", held.is_valid(), "the file opened")) return;
    p.SetLastError(kPoison);
    c.Equal("write", p.WritePrivateProfileStringA("S", "key", "new", file.c_str()), FALSE);
    c.Equal("write: last error", p.GetLastError(), ERROR_SHARING_VIOLATION);
  }
  c.Equal("file", ReadText(p, file).value_or("(no file)"), "[S]\r\nkey=old\r\n");
}

const Case kCases[] = {
    {"ProfileMissingFolder", ProfileMissingFolder},
    {"ProfileWriteRefusals", ProfileWriteRefusals},
    {"ProfileWrites", ProfileWrites},
    {"ProfileWriteWhileOpen", ProfileWriteWhileOpen},
};

}  // namespace

std::span<const Case> ProfileWriteCases() { return kCases; }

}  // namespace orvane::contract
