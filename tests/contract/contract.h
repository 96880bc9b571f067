// The contract suite: how Windows answers the registry, profile-file, file and
// system calls the installer makes, stated once against Platform (plain C++,
// so MinGW builds it) and run on every backend. A case,
// `void Case(Platform&, Scratch&, Checker&)`, gets a key and a folder of its
// own and reports each disagreement (file:line, row, actual, expected); where
// Wine is known to answer otherwise it takes Wine's answer through
// ExpectUnlessWine, only under Wine, and the run names the difference.
#pragma once

#include <concepts>
#include <functional>
#include <optional>
#include <source_location>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/platform.h"
#include "platform/win32_types.h"

namespace orvane::contract {

struct Scratch {
  std::string folder;  // an existing, empty folder (Windows path, no trailing '\')
  win::HKEY key{};     // HKCU\Software\OrvaneContract\<case>, created for the case
  bool wine = false;   // the Win32 backend runs under Wine
  std::string Path(std::string_view leaf) const { return folder + "\\" + std::string(leaf); }
};

// A value in a failure message: text quoted with its control bytes escaped.
std::string Describe(std::string_view text);
inline std::string Describe(const char* text) {
  return text ? Describe(std::string_view(text)) : "(null)";
}
inline std::string Describe(bool value) { return value ? "true" : "false"; }
inline std::string Describe(std::integral auto value) { return std::to_string(value); }

class Checker {
 public:
  // Records a failure unless actual equals expected (integers by value).
  template <typename A, typename E>
  bool Equal(std::string_view row, const A& actual, const E& expected,
             std::source_location where = std::source_location::current()) {
    bool same;
    if constexpr (std::integral<A> && std::integral<E> && !std::same_as<A, E>) {
      same = std::cmp_equal(actual, expected);
    } else {
      same = actual == expected;
    }
    if (!same) Fail(row, Describe(actual), Describe(expected), where);
    return same;
  }
  bool That(std::string_view row, bool condition, std::string_view what,
            std::source_location where = std::source_location::current()) {
    if (!condition) Fail(row, "not so", std::string(what), where);
    return condition;
  }
  void Fail(std::string_view row, const std::string& actual, const std::string& expected,
            std::source_location where = std::source_location::current());
  void Note(const std::string& text);  // a known Wine difference taken (each once)

  std::vector<std::string> failures, notes;
};

// Windows' answer, or Wine's under Wine (noted with `why`).
template <typename T>
T ExpectUnlessWine(const Scratch& scratch, Checker& checker, T windows, T wine,
                   std::string_view why) {
  if (!scratch.wine || windows == wine) return windows;
  checker.Note(std::string(why));
  return wine;
}

struct Case {
  const char* name;
  void (*run)(Platform&, Scratch&, Checker&);
  bool also_9x = false;  // holds on 95/98/ME too (the simulator runs it on 98)
};
// Every case file adds its table: `const bool added = AddCases(kCases);`.
inline std::vector<Case>& AllCases() {
  static std::vector<Case> cases;
  return cases;
}
inline bool AddCases(std::span<const Case> cases) {
  AllCases().insert(AllCases().end(), cases.begin(), cases.end());
  return true;
}

// What a runner provides around each case: the folder under which each case
// gets a fresh one of its name (a Windows path), making and removing a folder,
// what was left open.
struct Host {
  std::string root;
  std::function<void(const std::string&)> make_folder, remove_folder;
  std::function<std::vector<std::string>()> leaks = [] { return std::vector<std::string>(); };
};

// Runs the cases named `only` (all when empty) with a line each, failures and
// Wine differences below it, then a summary; returns the count that failed.
int RunCases(Platform& platform, const Host& host, std::span<const Case> cases,
             const std::string& label, bool wine, const std::string& only);

// Set as the last-error value before a call, so that "left unchanged" is seen.
inline constexpr win::DWORD kPoison = 0xDEADBEEF;
inline constexpr win::DWORD kRead = win::GENERIC_READ;
inline constexpr win::DWORD kWrite = win::GENERIC_WRITE;
inline constexpr win::DWORD kReadWrite = win::GENERIC_READ | win::GENERIC_WRITE;
inline constexpr win::DWORD kShareRW = win::FILE_SHARE_READ | win::FILE_SHARE_WRITE;

// Owns one file handle and closes it through the Platform.
struct ScopedFile {
  ScopedFile(Platform& platform, win::HANDLE handle) : platform(platform), handle(handle) {}
  ScopedFile(const ScopedFile&) = delete;
  ~ScopedFile() { Close(); }
  bool is_valid() const { return handle != win::INVALID_HANDLE_VALUE; }
  void Close() {
    if (is_valid()) platform.CloseHandle(std::exchange(handle, win::INVALID_HANDLE_VALUE));
  }
  Platform& platform;
  win::HANDLE handle;
};

// CreateFileA with FILE_ATTRIBUTE_NORMAL and no template.
ScopedFile OpenFile(Platform& platform, const std::string& path, win::DWORD access,
                    win::DWORD share, win::DWORD disposition);
// Creates or truncates the file and writes `text`; a failure is recorded.
bool WriteText(Platform& platform, Checker& checker, const std::string& path,
               std::string_view text);
// The whole file, or nullopt when it cannot be opened for reading.
std::optional<std::string> ReadText(Platform& platform, const std::string& path);
bool Exists(Platform& platform, const std::string& path);

}  // namespace orvane::contract
