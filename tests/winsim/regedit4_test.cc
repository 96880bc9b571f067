// REGEDIT4 export and import, the machine's registry file, beyond what every
// installation saves and loads: every value comes back byte for byte in
// regedit's text, removals merge, and a damaged text changes nothing
// (tests/fuzz/regedit4_fuzz.cc tries arbitrary texts).
#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "winsim/registry.h"

namespace orvane::winsim {
namespace {

using namespace std::literals;
using win::BYTE;
using win::DWORD;

constexpr std::string_view kKey = "HKEY_LOCAL_MACHINE\\Software\\Orvane";

std::vector<BYTE> Bytes(std::string_view s) { return {s.begin(), s.end()}; }

std::vector<BYTE> Sequence(std::size_t n) {
  std::vector<BYTE> bytes(n);
  for (std::size_t i = 0; i < n; ++i) bytes[i] = static_cast<BYTE>(i);
  return bytes;
}

struct ValueRow {
  std::string name;
  DWORD type;
  std::vector<BYTE> data;
  std::string line;  // the exported line, or its start
};

TEST(Regedit4Test, EveryValueRoundTripsByteForByte) {
  // regedit's wrapping of a long line, spelt out.
  const std::string kWrapped =
      "\"Bin\"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,15,16,\\\r\n"
      "  17,18,19,1a,1b,1c,1d,1e,1f,20,21,22,23,24,25,26,27,28,29,2a,2b,2c,2d,2e,2f,\\\r\n"
      "  30,31,32,33,34,35,36,37,38,39,3a,3b\r\n";
  const std::vector<ValueRow> rows = {
      {"q", win::REG_SZ, Bytes("say \"hi\" c:\\\0"sv),
       R"("q"="say \"hi\" c:\\")"},
      {"e", win::REG_SZ, Bytes("\0"sv), R"("e"="")"},
      {"z", win::REG_SZ, {}, R"("z"=hex(1):)"},
      {"u", win::REG_SZ, Bytes("ab"sv), R"("u"=hex(1):61,62)"},
      {"n", win::REG_SZ, Bytes("a\0b\0"sv), R"("n"=hex(1):61,00,62,00)"},
      {"lf", win::REG_SZ, Bytes("a\r\n\0"sv), R"("lf"=hex(1):61,0d,0a,00)"},
      {"d", win::REG_DWORD, {0x2C, 0x01, 0, 0xFC}, R"("d"=dword:fc00012c)"},
      {"d3", win::REG_DWORD, {1, 2, 3}, R"("d3"=hex(4):01,02,03)"},
      {"b0", win::REG_BINARY, {}, R"("b0"=hex:)"},
      {"long", win::REG_BINARY, Sequence(300), R"("long"=hex:00,01,)"},
      {"Bin", win::REG_BINARY, Sequence(60), kWrapped},
      {"m", win::REG_MULTI_SZ, Bytes("a\0\0"sv), R"("m"=hex(7):61,00,00)"},
      {"odd", 0x12345678, {0xAB}, R"("odd"=hex(12345678):ab)"},
      {"", win::REG_SZ, Bytes("d\0"sv), R"(@="d")"},
      {"a\"b\\c=]", win::REG_BINARY, {2}, R"("a\"b\\c=]"=hex:02)"},
      {"x\r\n\0y"s, win::REG_BINARY, {3}, R"("x\r\n\0y"=hex:03)"},
  };
  Registry source;
  for (const ValueRow& row : rows) source.PutValue(kKey, row.name, row.type, row.data);
  source.PutKey(std::string(kKey) + "\\Empty [key] \"name\"");
  const std::string text = source.ExportRegedit4();
  for (const ValueRow& row : rows) {
    EXPECT_NE(text.find("\r\n" + row.line), std::string::npos) << row.line;
  }
  Registry copy;
  copy.ImportRegedit4(text);
  const std::vector<RegValue> values = copy.Values(kKey);
  ASSERT_EQ(values.size(), rows.size());
  for (std::size_t i = 0; i < rows.size(); ++i) {
    EXPECT_EQ(values[i].name, rows[i].name) << rows[i].line;
    EXPECT_EQ(values[i].type, rows[i].type) << rows[i].line;
    EXPECT_EQ(values[i].data, rows[i].data) << rows[i].line;
  }
  EXPECT_TRUE(copy.KeyExists(std::string(kKey) + "\\Empty [key] \"name\""));
  EXPECT_EQ(copy.ExportRegedit4(), text);
  EXPECT_EQ(copy.ExportRegedit4("hklm\\software\\orvane\\empty [KEY] \"name\""),
            "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\Orvane\\Empty [key] \"name\"]\r\n\r\n");
  EXPECT_EQ(copy.ExportRegedit4("HKLM\\Software\\Missing"), "REGEDIT4\r\n\r\n");
}

TEST(Regedit4Test, ImportMergesAndRemoves) {
  Registry reg;
  reg.PutValue("HKLM\\Software\\Old\\Sub", "v", win::REG_SZ, Bytes("x\0"sv));
  reg.PutValue("HKLM\\Software\\Keep", "a", win::REG_SZ, Bytes("a\0"sv));
  reg.PutValue("HKLM\\Software\\Keep", "b", win::REG_SZ, Bytes("b\0"sv));
  win::HKEY sub = win::kNullKey;
  ASSERT_EQ(reg.OpenKey(win::HKEY_LOCAL_MACHINE, "Software\\Old\\Sub", win::KEY_READ, &sub), 0);
  reg.ImportRegedit4(
      "REGEDIT4\n"
      "\n"
      "; a comment; the value under a removed key is not applied\n"
      "[-HKEY_LOCAL_MACHINE\\Software\\Old]\n"
      "\"ignored\"=\"x\"\n"
      "  [HKLM\\Software\\Keep]  \n"
      "\"a\"=-\n"
      "\"c\" = dword:1\n"
      "\"h\"=hex:01,\\\n"
      "   02\n"
      "[-HKEY_LOCAL_MACHINE\\Software\\Missing]\n"
      "[HKEY_LOCAL_MACHINE\\software\\keep\\New]\r\n"
      "@=\"d\"\r\n");
  EXPECT_FALSE(reg.KeyExists("HKLM\\Software\\Old"));
  EXPECT_FALSE(reg.KeyExists("HKLM\\Software\\Missing"));
  EXPECT_EQ(reg.ExportRegedit4("HKLM\\Software\\Keep"),
            "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\Keep]\r\n\"b\"=\"b\"\r\n"
            "\"c\"=dword:00000001\r\n\"h\"=hex:01,02\r\n\r\n"
            "[HKEY_LOCAL_MACHINE\\Software\\Keep\\New]\r\n@=\"d\"\r\n\r\n");
  DWORD cb = 0;  // the removed key was open
  EXPECT_EQ(reg.QueryValue(sub, "v", nullptr, {}, &cb), 1018);
  EXPECT_EQ(reg.CloseKey(sub), 0);
}

TEST(Regedit4Test, DamagedTextThrowsWithItsLineAndChangesNothing) {
  const std::string key = "REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\Software\\New]\r\n";
  std::string deep = "REGEDIT4\n\n[HKLM";
  for (int i = 0; i < 513; ++i) deep += "\\k";
  const std::pair<std::string, int> rows[] = {
      {"", 1},
      {"Windows Registry Editor Version 5.00\r\n\r\n[HKLM\\X]\r\n", 1},
      {"REGEDIT4\r\n\r\n[HKEY_NOWHERE\\X]\r\n", 3},
      {"REGEDIT4\r\n\"v\"=\"x\"\r\n", 2},
      {"REGEDIT4\r\n\r\n[-HKEY_LOCAL_MACHINE]\r\n", 3},
      {deep + "]", 3},
      {key + "junk\r\n", 3},
      {key + "\"v\"=\"abc\r\n", 3},
      {key + "@=\r\n", 3},
      {key + "\"v\"=\"c:\\windows\"\r\n", 3},
      {key + "\"v\"=hex:01,,02\r\n", 3},
      {key + "\"v\"=dword:123456789\r\n", 3},
      {key + "\"v\"=hex:01,\\\r\n  02,zz\r\n", 4},
      {key + "\"v\"=hex:01,\\", 3},
      {key +
           "\"v\"=\"x\"\r\n[HKLM\\Software\\Two]\r\n\"w\"=dword:1\r\n@=-x\r\n",
       6},
  };
  for (const auto& [text, line] : rows) {
    Registry reg;
    reg.PutValue(kKey, "keep", win::REG_SZ, Bytes("k\0"sv));
    const std::string before = reg.ExportRegedit4();
    try {
      reg.ImportRegedit4(text);
      ADD_FAILURE() << "no error for\n" << text;
    } catch (const RegFileError& e) {
      EXPECT_EQ(e.line(), line) << e.what() << "\n" << text;
    }
    EXPECT_EQ(reg.ExportRegedit4(), before) << text;
  }
}

}  // namespace
}  // namespace orvane::winsim
