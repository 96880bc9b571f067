// What the contract suite cannot show of profile files: Windows rewrites only
// the line it changes and keeps the others byte for byte (Wine rewrites the
// whole file, dropping blank lines), and no text can break a write or a read.
#include "winsim/profile.h"

#include <gtest/gtest.h>

#include <random>
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

// What was written is read back, a second identical write changes nothing,
// and a read never passes its buffer.
TEST(ProfileFuzz, WriteThenReadOnArbitraryText) {
  std::mt19937 random(20240611);
  const std::string alphabet = "[]=;\"' \t\r\nsSkK\x1a";
  for (int round = 0; round < 3000; ++round) {
    std::string text;
    for (std::size_t i = random() % 40; i > 0; --i) text += alphabet[random() % alphabet.size()];
    const std::string written = Write(text, "s", "k", "v1");
    ASSERT_EQ(Lookup(written, "s", "k"), std::optional<std::string>("v1")) << text;
    ASSERT_EQ(Write(written, "s", "k", "v1"), written) << text;
    char buffer[8];
    for (const char* app : {static_cast<const char*>(nullptr), "s"}) {
      const std::size_t size = 1 + random() % sizeof(buffer);
      ASSERT_LT(GetString(text, app, nullptr, "d", std::span<char>(buffer, size)), size) << text;
    }
  }
}

}  // namespace
}  // namespace orvane::winsim::profile
