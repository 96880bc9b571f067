#include "winsim/profile.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace orvane::winsim::profile {
namespace {

using namespace std::string_literals;

struct WriteStep {
  const char* row;
  const char* app;
  const char* key;
  const char* value;
  std::string after;
};

// Each step starts from the text the previous one left; the first from a
// missing (empty) file.
TEST(ProfileWrite, RoundTripMatchesWindowsBytes) {
  const std::vector<WriteStep> steps = {
      {"first section", "App1", "key1", "string1", "[App1]\r\nkey1=string1\r\n"},
      {"second key", "App1", "key2", "string2", "[App1]\r\nkey1=string1\r\nkey2=string2\r\n"},
      {"second section", "App2", "key3", "string3",
       "[App1]\r\nkey1=string1\r\nkey2=string2\r\n[App2]\r\nkey3=string3\r\n"},
      {"replace keeps spelling", " app1 ", "KEY1", "  new",
       "[App1]\r\nkey1=new\r\nkey2=string2\r\n[App2]\r\nkey3=string3\r\n"},
      {"empty value, first section", "APP1", "key4", "",
       "[App1]\r\nkey1=new\r\nkey2=string2\r\nkey4=\r\n[App2]\r\nkey3=string3\r\n"},
      {"delete key", "App1", "key2", nullptr,
       "[App1]\r\nkey1=new\r\nkey4=\r\n[App2]\r\nkey3=string3\r\n"},
      {"delete missing key", "App1", "key2", nullptr,
       "[App1]\r\nkey1=new\r\nkey4=\r\n[App2]\r\nkey3=string3\r\n"},
      {"delete section", "app1", nullptr, "ignored", "[App2]\r\nkey3=string3\r\n"},
      {"last key goes, header stays", "App2", "key3", nullptr, "[App2]\r\n"},
  };
  std::string text;
  for (const auto& step : steps) {
    text = Write(text, step.app, step.key, step.value);
    EXPECT_EQ(text, step.after) << "row: " << step.row;
  }
}

struct LayoutRow {
  const char* row;
  std::string before;
  const char* app;
  const char* key;
  const char* value;
  std::string after;
};

// Lines the write does not touch keep their bytes, their line ends included.
TEST(ProfileWrite, KeepsLayoutOfUntouchedLines) {
  const std::string bom = "\xEF\xBB\xBF";
  const std::string base = bom + "; top\n[a]\nx = 1\n\n[b]\ny=2";
  const std::vector<LayoutRow> rows = {
      {"key after last non-blank line", base, "a", "z", "3",
       bom + "; top\n[a]\nx = 1\nz=3\r\n\n[b]\ny=2"},
      {"unterminated last line", base, "b", "w", "4",
       bom + "; top\n[a]\nx = 1\n\n[b]\ny=2\r\nw=4\r\n"},
      {"new section at end", base, "c", "k", "v",
       bom + "; top\n[a]\nx = 1\n\n[b]\ny=2\r\n[c]\r\nk=v\r\n"},
      {"replace in place", base, "A", "X", "9", bom + "; top\n[a]\nx=9\r\n\n[b]\ny=2"},
      {"same value: no change", base, "a", "x", " 1", base},
      {"delete section with blank line", base, "a", nullptr, nullptr,
       bom + "; top\n[b]\ny=2"},
      {"CR-only lines", "[s]\rk=v\r[t]\r", "s", "n", "m", "[s]\rk=v\rn=m\r\n[t]\r"},
      {"duplicate section: first one", "[s]\r\n[S]\r\nk=1\r\n", "s", "k", "2",
       "[s]\r\nk=2\r\n[S]\r\nk=1\r\n"},
  };
  for (const auto& r : rows) {
    EXPECT_EQ(Write(r.before, r.app, r.key, r.value), r.after) << "row: " << r.row;
  }
}

const std::string kIni =
    "top=before\r\n"
    "[section1]\r\n"
    "name1=val1\r\n"
    "name2=\"val2\"\r\n"
    "name3\r\n"
    "name4=a\r\n"
    "  Padded Key  =   padded value   \r\n"
    "single='x'\r\n"
    "unmatched=\"abc\r\n"
    "dup=first\r\n"
    "dup=second\r\n"
    ";c=1\r\n"
    "[ section2 ]\n"
    "k=v\r"
    "[SECTION1]\r\n"
    "late=hidden\r\n";

struct ReadRow {
  const char* row;
  const char* app;
  const char* key;
  const char* def;
  std::size_t size;
  std::string expected;  // the buffer's leading bytes, NULs included
  win::DWORD ret;
};

TEST(ProfileRead, FollowsWindowsRules) {
  const std::vector<ReadRow> rows = {
      {"plain", "section1", "name1", "def", 64, "val1\0"s, 4},
      {"case-insensitive", "SECTION1", "NaMe1", "def", 64, "val1\0"s, 4},
      {"padded arguments", "  section1 ", " name1\t", "def", 64, "val1\0"s, 4},
      {"padded name and value", "section1", "padded key", "def", 64, "padded value\0"s, 12},
      {"matched double quotes", "section1", "name2", "def", 64, "val2\0"s, 4},
      {"matched single quotes", "section1", "single", "def", 64, "x\0"s, 1},
      {"unmatched quote kept", "section1", "unmatched", "def", 64, "\"abc\0"s, 4},
      {"line without =", "section1", "name3", "default", 64, "default\0"s, 7},
      {"duplicate key: first", "section1", "dup", "def", 64, "first\0"s, 5},
      {"duplicate section unseen", "section1", "late", "def", 64, "def\0"s, 3},
      {"comment key looked up", "section1", ";c", "def", 64, "1\0"s, 1},
      {"padded header, CR end", "section2", "k", "def", 64, "v\0"s, 1},
      {"before first section", "section1", "top", "def", 64, "def\0"s, 3},
      {"default trailing blanks", "section1", "none", "default  ", 64, "default\0"s, 7},
      {"null default", "section1", "none", nullptr, 64, "\0"s, 0},
      {"missing section", "nosuch", "name1", "def", 64, "def\0"s, 3},
      {"empty section name", "", "name1", "def", 64, "def\0"s, 3},
      {"empty key name", "section1", "", "def", 64, "def\0"s, 3},
      {"nSize 4 truncates", "section1", "name1", "def", 4, "val\0"s, 3},
      {"nSize 1", "section1", "name1", "def", 1, "\0"s, 0},
      {"nSize 0 leaves buffer", "section1", "name1", "def", 0, "kumquat"s, 0},
      {"key list", "section1", nullptr, "def", 64,
       "name1\0name2\0name4\0Padded Key\0single\0unmatched\0dup\0dup\0\0"s, 54},
      {"key list overflow", "section1", nullptr, "def", 16, "name1\0name2\0na\0\0"s, 14},
      {"key list, no section", "nosuch", nullptr, "def", 64, "def\0"s, 3},
      {"section list", nullptr, "ignored", "def", 64,
       "section1\0section2\0SECTION1\0\0"s, 27},
      {"section list overflow", nullptr, nullptr, "def", 16, "section1\0secti\0\0"s, 14},
      {"section list nSize 5", nullptr, nullptr, "def", 5, "sec\0\0"s, 3},
  };
  for (const auto& r : rows) {
    std::string buffer(80, '\x0c');
    buffer.replace(0, 8, "kumquat\0"s);
    win::DWORD ret = GetString(kIni, r.app, r.key, r.def,
                               std::span<char>(buffer.data(), r.size));
    EXPECT_EQ(ret, r.ret) << "row: " << r.row;
    EXPECT_EQ(buffer.substr(0, r.expected.size()), r.expected) << "row: " << r.row;
  }
}

TEST(ProfileRead, MissingFileAndBom) {
  char buffer[16];
  EXPECT_EQ(GetString(std::nullopt, "s", "k", "dflt  ", buffer), 4u);
  EXPECT_STREQ(buffer, "dflt");
  EXPECT_EQ(GetString(std::nullopt, nullptr, nullptr, "dflt", buffer), 0u);
  EXPECT_EQ(std::string(buffer, 2), "\0\0"s);
  std::string with_bom = "\xEF\xBB\xBF[s]\r\nk=v\r\n";
  EXPECT_EQ(Lookup(with_bom, "S", "K"), std::optional<std::string>("v"));
  EXPECT_EQ(GetString(with_bom, nullptr, nullptr, nullptr, buffer), 2u);
  EXPECT_EQ(std::string(buffer, 3), "s\0\0"s);
}

// Writes over arbitrary text: what was written is what is read back, a second
// identical write changes nothing, and reads never overrun the buffer.
TEST(ProfileFuzz, WriteThenReadOnArbitraryText) {
  std::mt19937 random(20240611);
  const std::string alphabet = "[]=;\"' \t\r\nsSkK\x1a";
  for (int round = 0; round < 3000; ++round) {
    std::string text;
    std::size_t length = random() % 40;
    for (std::size_t i = 0; i < length; ++i) text += alphabet[random() % alphabet.size()];
    std::string written = Write(text, "s", "k", "v1");
    ASSERT_EQ(Lookup(written, "s", "k"), std::optional<std::string>("v1"))
        << "text: " << ::testing::PrintToString(text);
    ASSERT_EQ(Write(written, "s", "k", "v1"), written);
    char buffer[8];
    for (const char* app : {static_cast<const char*>(nullptr), "s"}) {
      std::size_t size = 1 + random() % sizeof(buffer);
      win::DWORD ret = GetString(text, app, nullptr, "d", std::span<char>(buffer, size));
      ASSERT_LT(ret, size) << "text: " << ::testing::PrintToString(text);
    }
  }
}

}  // namespace
}  // namespace orvane::winsim::profile
