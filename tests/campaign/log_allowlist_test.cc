// The setup log's allowlist: the installer's own lines pass, and everything a
// broken installer could write (a foreign or mistyped text, a value that is no
// DWORD, a placeholder that is no path, a torn line, a missing or stray empty
// line) is found.
#include "tools/campaign/log_allowlist.h"

#include <gtest/gtest.h>

#include <string>

namespace orvane::campaign {
namespace {

std::string Line(const std::string& text) { return "07-04-03: 09:05" + text + "\r\n"; }

TEST(CheckLog, PassesTheInstallersLinesAndFindsWhatItNeverWrites) {
  const char* kNotAllowed = "not in the allowlist";
  const struct {
    std::string log;
    const char* finding;  // part of the first finding; null: none
  } rows[] = {
      {Line("is_winnt = TRUE") + Line("is_win4 = FALSE"), nullptr},
      {Line("GetSystemDirectory failed\r\n"), nullptr},
      {Line("Failed to read file\r\n") + Line("Failed to open ovprndata5.dat\r\n"), nullptr},
      {Line("AddPrinterDriver: 4294967295") + Line("RegDeleteKey Windows 4.0 return: 0"), nullptr},
      {Line("CopyFile OutFile.Open Failed: C:\\orvane\\res\\drivedir\\orvmon.dll"), nullptr},
      {Line("CopyFile InFile.Open Failed: \\res\\drivedir\\ovps.PPD"), nullptr},
      {Line("Printer Driver Directory: c:\\Program Files\\x y"), nullptr},
      {Line("CopyFile OutFile.Remove Failed: C:\\WINDOWS\\system32\\orvmon.dll"), nullptr},
      {Line("GetPrinterDriverDirectory: 1722"), nullptr},
      {"12-31-99: 23:59startrpc: 1722\r\n", nullptr},
      {"", nullptr},
      {Line("Hello"), kNotAllowed},
      {Line("is_winnt = true"), kNotAllowed},
      {Line("AddMonitor: -5"), kNotAllowed},
      {Line("AddMonitor: 4294967296"), kNotAllowed},
      {Line("AddMonitor: 05"), kNotAllowed},
      {Line("AddMonitor: "), kNotAllowed},
      {Line("CopyFile Read Failed: orvmon.dll"), kNotAllowed},
      {Line("Printer Driver Directory: C:\\a\nb"), kNotAllowed},
      {Line("CopyFile OutFile.Open Failed: C:\\WINDOWS\\system32\\orvmon.dll"), kNotAllowed},
      {"07-04-03: 09:05:00is_winnt = TRUE\r\n", kNotAllowed},
      {"is_winnt = TRUE\r\n", "without a time stamp"},
      {"13-04-03: 09:05is_winnt = TRUE\r\n", "without a time stamp"},
      {Line("Failed to read file") + Line("is_win4 = TRUE"), "no empty line"},
      {Line("AddPrinter: 5") + "\r\n", "stray empty"},
      {Line("is_winnt = TRUE") + "07-04-03: 09:05is_wi", "without a line break"},
      {Line("Failed to open ovfonts.tbl"), "ends before"},
  };
  for (const auto& r : rows) {
    const auto findings = CheckLog(r.log);
    if (r.finding == nullptr) {
      EXPECT_TRUE(findings.empty()) << r.log << ": " << findings.front();
    } else {
      ASSERT_FALSE(findings.empty()) << r.log;
      EXPECT_NE(findings[0].find(r.finding), std::string::npos) << r.log << ": " << findings[0];
    }
  }
  std::size_t lines = 0;
  CheckLog(Line("Failed to allocate memory\r\n") + Line("is_win4 = TRUE"), &lines);
  EXPECT_EQ(lines, 3u) << "the empty line counts as a line";
}

}  // namespace
}  // namespace orvane::campaign
