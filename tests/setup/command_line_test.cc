#include "platform/command_line.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace orvane {
namespace {

TEST(ExtractCommandLine, StripsTheProgramNameAsTheRunTimeDoes) {
  struct Row {
    const char* row;
    const char* processCommandLine;
    const char* expected;
  };
  const Row rows[] = {
      {"quoted name with blanks", "\"C:\\Program Files\\Orvane\\setup.exe\" uninstall",
       "uninstall"},
      {"unquoted name", "C:\\orvane\\setup.exe uninstall", "uninstall"},
      {"quoted name alone", "\"C:\\orvane\\setup.exe\"", ""},
      {"only blanks after the name", "\"C:\\orvane\\setup.exe\"    ", ""},
      {"unquoted name, blanks and tabs", "setup.exe \t \t", ""},
      {"tabs between", "setup.exe\t\tuninstall", "uninstall"},
      {"control characters count as blanks", "setup.exe\x01\x1f uninstall", "uninstall"},
      {"trailing blanks kept", "setup.exe  uninstall  ", "uninstall  "},
      {"inner blanks kept", "setup.exe tool.exe  /a \"b c\"", "tool.exe  /a \"b c\""},
      {"no blank after the closing quote", "\"C:\\orvane\\setup.exe\"uninstall",
       "uninstall"},
      {"unterminated quote", "\"C:\\orvane\\setup.exe uninstall", ""},
      {"empty quoted name", "\"\"  uninstall", "uninstall"},
      {"bytes of 0x80 and above in the name", "C:\\\xc4\xe9\xff\\setup.exe uninstall",
       "uninstall"},
      {"byte 0xA0 is not a blank", "setup.exe\xa0uninstall", ""},
      {"leading blank: empty name", "  uninstall", "uninstall"},
      {"empty command line", "", ""},
  };
  for (const Row& r : rows) {
    const char* result = ExtractCommandLine(r.processCommandLine);
    EXPECT_STREQ(result, r.expected) << r.row;
    // The result is the tail of the process command line, not a copy.
    EXPECT_EQ(result, r.processCommandLine + std::strlen(r.processCommandLine) -
                          std::strlen(r.expected))
        << r.row;
  }
  EXPECT_STREQ(ExtractCommandLine(nullptr), "");
}

TEST(BuildProcessCommandLine, QuotesAsCommandLineToArgvWUndoes) {
  struct Row {
    const char* row;
    std::vector<std::string> args;
    const char* expected;
  };
  const Row rows[] = {
      {"no arguments", {}, R"("C:\orvane\setup.exe")"},
      {"one word", {"uninstall"}, R"("C:\orvane\setup.exe" uninstall)"},
      {"two words", {"a", "b"}, R"("C:\orvane\setup.exe" a b)"},
      {"empty argument", {""}, R"("C:\orvane\setup.exe" "")"},
      {"blank inside", {"uninstall "}, R"("C:\orvane\setup.exe" "uninstall ")"},
      {"tab inside", {"a\tb"}, "\"C:\\orvane\\setup.exe\" \"a\tb\""},
      {"backslashes without quoting stay",
       {R"(C:\dir\)"},
       R"("C:\orvane\setup.exe" C:\dir\)"},
      {"trailing backslash doubled when quoted",
       {R"(C:\my dir\)"},
       R"("C:\orvane\setup.exe" "C:\my dir\\")"},
      {"inner backslashes stay when quoted",
       {R"(C:\my dir\x)"},
       R"("C:\orvane\setup.exe" "C:\my dir\x")"},
      {"quote escaped", {R"(say "hi")"}, R"("C:\orvane\setup.exe" "say \"hi\"")"},
      {"backslash before a quote doubled",
       {R"(a\"b)"},
       R"("C:\orvane\setup.exe" "a\\\"b")"},
      {"two backslashes before a quote",
       {R"(a\\"b)"},
       R"("C:\orvane\setup.exe" "a\\\\\"b")"},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(BuildProcessCommandLine("C:\\orvane\\setup.exe", r.args), r.expected)
        << r.row;
  }
}

}  // namespace
}  // namespace orvane
