// What the contract suite cannot show of profile files: Windows rewrites only
// the line it changes and keeps the others byte for byte (Wine rewrites the
// whole file, dropping blank lines). tests/fuzz/profile_fuzz.cc tries
// arbitrary texts.
#include "winsim/profile.h"

#include <gtest/gtest.h>

#include <string>

namespace orvane::winsim::profile {
namespace {

TEST(ProfileWrite, KeepsTheBytesOfUntouchedLines) {
  const std::string bom = "\xEF\xBB\xBF";
  const std::string base = bom + "; top\n[a]\nx = 1\n\n[b]\ny=2";
  const struct {
    const char* name;
    std::string before;
    const char *app, *key, *value;
    std::string after;
  } rows[] = {
      {"key after the last non-blank line", base, "a", "z", "3",
       bom + "; top\n[a]\nx = 1\nz=3\r\n\n[b]\ny=2"},
      {"unterminated last line", base, "b", "w", "4", base + "\r\nw=4\r\n"},
      {"new section at the end", base, "c", "k", "v", base + "\r\n[c]\r\nk=v\r\n"},
      {"replaced in place", base, "A", "X", "9", bom + "; top\n[a]\nx=9\r\n\n[b]\ny=2"},
      {"same value: no change", base, "a", "x", " 1", base},
      {"section and its blank line", base, "a", nullptr, nullptr, bom + "; top\n[b]\ny=2"},
      {"CR-only lines", "[s]\rk=v\r[t]\r", "s", "n", "m", "[s]\rk=v\rn=m\r\n[t]\r"},
      {"duplicate section: the first", "[s]\r\n[S]\r\nk=1\r\n", "s", "k", "2",
       "[s]\r\nk=2\r\n[S]\r\nk=1\r\n"},
  };
  for (const auto& r : rows) EXPECT_EQ(Write(r.before, r.app, r.key, r.value), r.after) << r.name;
}

}  // namespace
}  // namespace orvane::winsim::profile
