// The setup log's allowlist: the installer's own lines pass, and everything a
// broken installer could write (a foreign or mistyped text, a value that is no
// DWORD, a placeholder that is no path, a torn line, a missing or stray empty
// line) is found.
#include "tools/campaign/log_allowlist.h"

#include <gtest/gtest.h>

#include <string>

namespace orvane::campaign {
namespace {

constexpr char kStamp[] = "07-04-03: 09:05";

std::string Line(const std::string& text) { return kStamp + text + "\r\n"; }

TEST(CheckLog, PassesTheInstallersOwnLines) {
  struct Row {
    const char* row;
    std::string log;
  };
  const Row rows[] = {
      {"family lines", Line("is_winnt = TRUE") + Line("is_win4 = FALSE")},
      {"text with its own line break", Line("GetSystemDirectory failed\r\n")},
      {"two such texts",
       Line("Failed to read file\r\n") + Line("Failed to open ovprndata5.dat\r\n")},
      {"largest DWORD", Line("AddPrinterDriver: 4294967295")},
      {"zero", Line("RegDeleteKey Windows 4.0 return: 0")},
      {"source path", Line("CopyFile OutFile.Open Failed: C:\\orvane\\res\\drivedir\\orvmon.dll")},
      {"setup folder unknown", Line("CopyFile InFile.Open Failed: \\res\\drivedir\\ovps.PPD")},
      {"path with blanks", Line("Printer Driver Directory: c:\\Program Files\\x y")},
      {"destination that stayed",
       Line("CopyFile OutFile.Remove Failed: C:\\WINDOWS\\system32\\orvmon.dll")},
      {"driver folder unknown", Line("GetPrinterDriverDirectory: 1722")},
      {"late in the year", std::string("12-31-99: 23:59startrpc: 1722\r\n")},
      {"nothing", ""},
  };
  for (const Row& r : rows) {
    std::size_t lines = 0;
    const auto findings = CheckLog(r.log, &lines);
    EXPECT_TRUE(findings.empty()) << r.row << ": " << (findings.empty() ? "" : findings[0]);
  }
  std::size_t lines = 0;
  CheckLog(Line("Failed to allocate memory\r\n") + Line("is_win4 = TRUE"), &lines);
  EXPECT_EQ(lines, 3u) << "the empty line counts as a line";
}

TEST(CheckLog, FindsWhatTheInstallerNeverWrites) {
  struct Row {
    const char* row;
    std::string log;
    const char* finding;  // part of the first finding
  };
  const Row rows[] = {
      {"foreign text", Line("Hello"), "not in the allowlist"},
      {"text in other case", Line("is_winnt = true"), "not in the allowlist"},
      {"signed value", Line("AddMonitor: -5"), "not in the allowlist"},
      {"value beyond 32 bits", Line("AddMonitor: 4294967296"), "not in the allowlist"},
      {"leading zero", Line("AddMonitor: 05"), "not in the allowlist"},
      {"no value", Line("AddMonitor: "), "not in the allowlist"},
      {"bare file name for a path", Line("CopyFile Read Failed: orvmon.dll"),
       "not in the allowlist"},
      {"line break inside a path", Line("Printer Driver Directory: C:\\a\nb"),
       "not in the allowlist"},
      {"destination for the source",
       Line("CopyFile OutFile.Open Failed: C:\\WINDOWS\\system32\\orvmon.dll"),
       "not in the allowlist"},
      {"no time stamp", "is_winnt = TRUE\r\n", "without a time stamp"},
      {"month 13", "13-04-03: 09:05is_winnt = TRUE\r\n", "without a time stamp"},
      {"seconds in the stamp", "07-04-03: 09:05:00is_winnt = TRUE\r\n", "not in the allowlist"},
      {"empty line missing", Line("Failed to read file") + Line("is_win4 = TRUE"), "no empty line"},
      {"stray empty line", Line("AddPrinter: 5") + "\r\n", "stray empty"},
      {"torn last line", Line("is_winnt = TRUE") + kStamp + "is_wi", "without a line break"},
      {"log ends before the empty line", Line("Failed to open ovfonts.tbl"), "ends before"},
  };
  for (const Row& r : rows) {
    const auto findings = CheckLog(r.log);
    ASSERT_FALSE(findings.empty()) << r.row;
    EXPECT_NE(findings[0].find(r.finding), std::string::npos)
        << r.row << ": actual '" << findings[0] << "', expected to contain '" << r.finding << "'";
  }
}

}  // namespace
}  // namespace orvane::campaign
