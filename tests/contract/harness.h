// The contract suite's harness, on the C++ library alone (MinGW builds it too).
// A case, `void Case(Platform&, Scratch&, Checker&)`, gets a scratch key and
// folder of its own and reports every disagreement (file:line, row, actual,
// expected) through the Checker, going on unless what follows cannot run.
// Where Wine is known to answer otherwise, a case says so (what Wine does,
// what Windows does) and takes Wine's answer through ExpectUnlessWine, only
// under Wine; the runner prints each difference taken.
#pragma once

#include <concepts>
#include <cstdio>
#include <source_location>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include "platform/platform.h"
#include "platform/win32_types.h"

namespace orvane::contract {

struct Scratch {
  std::string name;      // the case's name
  std::string folder;    // an existing, empty folder (Windows path, no trailing '\')
  std::string key_path;  // "Software\OrvaneContract\<case>" below HKEY_CURRENT_USER
  win::HKEY key{};       // that key, created and opened for the case
  bool wine = false;     // the Win32 backend runs under Wine

  // `leaf` inside the scratch folder.
  std::string Path(std::string_view leaf) const { return folder + "\\" + std::string(leaf); }
};

// A value in a failure message: numbers in decimal (large ones in hex too),
// text quoted with its control characters escaped.
std::string Hex(unsigned long long value);
std::string Describe(std::string_view text);
inline std::string Describe(const std::string& text) { return Describe(std::string_view(text)); }
inline std::string Describe(const char* text) {
  return text ? Describe(std::string_view(text)) : "(null)";
}
inline std::string Describe(bool value) { return value ? "true" : "false"; }
inline std::string Describe(char value) { return Describe(std::string_view(&value, 1)); }
std::string Describe(std::integral auto value) {
  std::string text = std::to_string(value);
  if (value > 0xFFFF) text += " (" + Hex(static_cast<unsigned long long>(value)) + ")";
  return text;
}

class Checker {
 public:
  struct Failure {
    std::string where;  // file:line
    std::string row;
    std::string actual;
    std::string expected;
  };

  // Records a failure unless actual equals expected (integers by value).
  template <typename A, typename E>
  bool Equal(std::string_view row, const A& actual, const E& expected,
             std::source_location where = std::source_location::current()) {
    if (Same(actual, expected)) return true;
    Fail(row, Describe(actual), Describe(expected), where);
    return false;
  }

  bool That(std::string_view row, bool condition, std::string_view what,
            std::source_location where = std::source_location::current()) {
    if (condition) return true;
    Fail(row, "not so", std::string(what), where);
    return false;
  }

  void Fail(std::string_view row, std::string actual, std::string expected,
            std::source_location where = std::source_location::current());
  // A known Wine difference this run took (each noted once).
  void Note(std::string text) {
    for (const std::string& note : notes_) {
      if (note == text) return;
    }
    notes_.push_back(std::move(text));
  }

  const std::vector<Failure>& failures() const { return failures_; }
  const std::vector<std::string>& notes() const { return notes_; }

 private:
  template <typename A, typename E>
  static bool Same(const A& a, const E& e) {
    if constexpr (std::is_same_v<A, E>) {
      return a == e;
    } else if constexpr (std::is_integral_v<A> && std::is_integral_v<E>) {
      return std::cmp_equal(a, e);
    } else {
      return a == e;
    }
  }

  std::vector<Failure> failures_;
  std::vector<std::string> notes_;
};

// Windows' answer, or Wine's under Wine (noted with `why`).
template <typename T>
T ExpectUnlessWine(const Scratch& scratch, Checker& checker, T windows, T wine,
                   std::string_view why) {
  if (!scratch.wine || windows == wine) return windows;
  checker.Note(std::string(why));
  return wine;
}

using CaseFn = void (*)(Platform&, Scratch&, Checker&);

struct Case {
  const char* name;
  CaseFn run;
  bool also_9x = false;  // holds on 95/98/ME too (the simulator runs it on 98)
};

// What a runner provides around each case.
class Host {
 public:
  virtual ~Host() = default;
  virtual std::string MakeFolder(std::string_view caseName) = 0;  // empty; its Windows path
  virtual void RemoveFolder(const std::string& folder) = 0;        // with what it holds
  virtual std::vector<std::string> Leaks() { return {}; }          // left open, a line each
};

struct RunOptions {
  std::string label;  // printed before every line ("xp", "win32")
  bool wine = false;  // Scratch::wine for every case
  std::string only;   // run only the case of this name (empty: all)
};

// Runs the cases, a line each (failures and Wine differences below it), then a
// summary; returns the count of cases that failed.
int RunCases(Platform& platform, Host& host, std::span<const Case> cases, const RunOptions& options,
             std::FILE* out);

}  // namespace orvane::contract
