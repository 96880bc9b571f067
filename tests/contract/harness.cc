#include <algorithm>
#include <cstdio>
#include <string>

#include "contract.h"

namespace orvane::contract {

using namespace orvane::win;

namespace {

constexpr const char* kKeyRoot = "Software\\OrvaneContract";

// Runs one case in its scratch area; the key and the folder go afterwards,
// whatever the case did.
Checker RunOne(Platform& platform, const Host& host, const Case& c, bool wine) {
  Checker checker;
  Scratch scratch{host.root + "\\" + c.name, {}, wine};
  const std::string key = std::string(kKeyRoot) + "\\" + c.name;
  host.remove_folder(scratch.folder);  // the folder and key of a run stopped half-way
  platform.SHDeleteKeyA(HKEY_CURRENT_USER, key.c_str());
  host.make_folder(scratch.folder);
  if (checker.Equal("scratch key", platform.RegCreateKeyA(HKEY_CURRENT_USER, key.c_str(),
                                                           &scratch.key), ERROR_SUCCESS)) {
    c.run(platform, scratch, checker);
    checker.Equal("scratch key closed", platform.RegCloseKey(scratch.key), ERROR_SUCCESS);
    checker.Equal("scratch key removed", platform.SHDeleteKeyA(HKEY_CURRENT_USER, key.c_str()),
                  ERROR_SUCCESS);
  }
  platform.RegDeleteKeyA(HKEY_CURRENT_USER, kKeyRoot);  // refused while another case's is there
  for (const std::string& leak : host.leaks()) checker.Fail("left open", leak, "nothing");
  host.remove_folder(scratch.folder);
  return checker;
}

}  // namespace

std::string Describe(std::string_view text) {
  std::string out = "\"";
  for (char ch : text) {
    const auto byte = static_cast<unsigned char>(ch);
    if (ch == '"' || ch == '\\') {
      out += {'\\', ch};
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

void Checker::Fail(std::string_view row, const std::string& actual, const std::string& expected,
                   std::source_location where) {
  std::string file = where.file_name();
  file = file.substr(file.find_last_of("/\\") + 1);
  failures.push_back(file + ":" + std::to_string(where.line()) + ": " + std::string(row) +
                     "\n           actual:   " + actual + "\n           expected: " + expected);
}

void Checker::Note(const std::string& text) {
  if (std::find(notes.begin(), notes.end(), text) == notes.end()) notes.push_back(text);
}

int RunCases(Platform& platform, const Host& host, std::span<const Case> cases,
             const std::string& label, bool wine, const std::string& only) {
  int run = 0, failed = 0, differences = 0;
  for (const Case& c : cases) {
    if (!only.empty() && only != c.name) continue;
    ++run;
    const Checker checker = RunOne(platform, host, c, wine);
    failed += !checker.failures.empty();
    std::printf("[%s] %-4s %s\n", label.c_str(), checker.failures.empty() ? "ok" : "FAIL", c.name);
    for (const std::string& f : checker.failures) std::printf("         %s\n", f.c_str());
    for (const std::string& note : checker.notes) {
      ++differences;
      std::printf("         Wine differs from Windows: %s\n", note.c_str());
    }
  }
  std::printf("[%s] %d case(s), %d failed, %d known Wine difference(s) taken\n", label.c_str(),
              run, failed, differences);
  if (run == 0) std::printf("[%s] no case is named \"%s\"\n", label.c_str(), only.c_str());
  std::fflush(stdout);
  return run == 0 ? 1 : failed;
}

ScopedFile OpenFile(Platform& platform, const std::string& path, DWORD access, DWORD share,
                    DWORD disposition) {
  return {platform, platform.CreateFileA(path.c_str(), access, share, nullptr, disposition,
                                         FILE_ATTRIBUTE_NORMAL, kNullHandle)};
}

bool WriteText(Platform& platform, Checker& checker, const std::string& path,
               std::string_view text) {
  ScopedFile file = OpenFile(platform, path, GENERIC_WRITE, 0, CREATE_ALWAYS);
  DWORD written = 0;
  const auto* bytes = reinterpret_cast<const BYTE*>(text.data());
  const bool ok = file.is_valid() &&
                  platform.WriteFile(file.handle, std::span(bytes, text.size()), &written) &&
                  written == text.size();
  return checker.That("writing " + path, ok, "every byte written");
}

std::optional<std::string> ReadText(Platform& platform, const std::string& path) {
  ScopedFile file = OpenFile(platform, path, GENERIC_READ, kShareRW, OPEN_EXISTING);
  if (!file.is_valid()) return std::nullopt;
  std::string text;
  BYTE chunk[4096];
  DWORD got = 0;
  while (platform.ReadFile(file.handle, chunk, &got) && got > 0) {
    text.append(reinterpret_cast<const char*>(chunk), got);
  }
  return text;
}

bool Exists(Platform& platform, const std::string& path) {
  return platform.GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

}  // namespace orvane::contract
