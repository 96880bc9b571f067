#include "harness.h"

#include <cstdio>
#include <string>

namespace orvane::contract {

namespace {

using namespace orvane::win;

constexpr const char* kKeyRoot = "Software\\OrvaneContract";

std::string FileName(const char* path) {
  std::string_view text = path;
  std::size_t slash = text.find_last_of("/\\");
  return std::string(slash == std::string_view::npos ? text : text.substr(slash + 1));
}

// Runs one case in its scratch area; the key and the folder go afterwards,
// whatever the case did.
Checker RunOne(Platform& platform, Host& host, const Case& c, bool wine) {
  Checker checker;
  Scratch scratch;
  scratch.name = c.name;
  scratch.wine = wine;
  scratch.key_path = std::string(kKeyRoot) + "\\" + c.name;
  scratch.folder = host.MakeFolder(c.name);

  // A key left by an earlier run that was stopped half-way.
  platform.SHDeleteKeyA(HKEY_CURRENT_USER, scratch.key_path.c_str());
  LONG status = platform.RegCreateKeyA(HKEY_CURRENT_USER, scratch.key_path.c_str(), &scratch.key);
  if (checker.Equal("scratch key created", status, ERROR_SUCCESS)) {
    c.run(platform, scratch, checker);
    checker.Equal("scratch key closed", platform.RegCloseKey(scratch.key), ERROR_SUCCESS);
    status = platform.SHDeleteKeyA(HKEY_CURRENT_USER, scratch.key_path.c_str());
    checker.Equal("scratch key removed", status, ERROR_SUCCESS);
  }
  // Removes the parent once it is empty; the refusal while it is not is fine.
  platform.RegDeleteKeyA(HKEY_CURRENT_USER, kKeyRoot);

  for (const std::string& leak : host.Leaks()) checker.Fail("left open", leak, "nothing");
  host.RemoveFolder(scratch.folder);
  return checker;
}

}  // namespace

std::string Hex(unsigned long long value) {
  char text[24];
  std::snprintf(text, sizeof text, "0x%llX", value);
  return text;
}

std::string Describe(std::string_view text) {
  std::string out = "\"";
  for (char ch : text) {
    const char* escaped = ch == '\r' ? "\\r" : ch == '\n' ? "\\n" : ch == '\t' ? "\\t"
                        : ch == '\0' ? "\\0" : ch == '"' ? "\\\"" : ch == '\\' ? "\\\\" : nullptr;
    const auto byte = static_cast<unsigned char>(ch);
    if (escaped) {
      out += escaped;
    } else if (byte < 0x20 || byte >= 0x7F) {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", byte);
      out += hex;
    } else {
      out += ch;
    }
  }
  return out + "\"";
}

void Checker::Fail(std::string_view row, std::string actual, std::string expected,
                   std::source_location where) {
  failures_.push_back({FileName(where.file_name()) + ":" + std::to_string(where.line()),
                       std::string(row), std::move(actual), std::move(expected)});
}

int RunCases(Platform& platform, Host& host, std::span<const Case> cases, const RunOptions& options,
             std::FILE* out) {
  int run = 0;
  int failed = 0;
  int differences = 0;
  for (const Case& c : cases) {
    if (!options.only.empty() && options.only != c.name) continue;
    ++run;
    Checker checker = RunOne(platform, host, c, options.wine);
    bool ok = checker.failures().empty();
    if (!ok) ++failed;
    std::fprintf(out, "[%s] %-4s %s\n", options.label.c_str(), ok ? "ok" : "FAIL", c.name);
    for (const Checker::Failure& f : checker.failures()) {
      std::fprintf(out, "         %s: %s\n           actual:   %s\n           expected: %s\n",
                   f.where.c_str(), f.row.c_str(), f.actual.c_str(), f.expected.c_str());
    }
    for (const std::string& note : checker.notes()) {
      ++differences;
      std::fprintf(out, "         Wine differs from Windows: %s\n", note.c_str());
    }
    std::fflush(out);
  }
  std::fprintf(out, "[%s] %d case(s), %d failed, %d known Wine difference(s) taken\n",
               options.label.c_str(), run, failed, differences);
  if (run == 0) {
    std::fprintf(out, "[%s] no case is named \"%s\"\n", options.label.c_str(),
                 options.only.c_str());
    return 1;
  }
  std::fflush(out);
  return failed;
}

}  // namespace orvane::contract
