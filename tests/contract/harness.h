// The contract suite's harness: cases written only against the Platform
// interface, run by a small runner per backend (the simulator on Linux, the
// real API on Windows and under Wine).
//
// It has no dependency but the C++ library, so that the same cases build with
// the Linux compiler and with MinGW.
//
// A case is `void Case(Platform&, Scratch&, Checker&)`. It gets a scratch area
// of its own (a registry key and an empty folder) and reports every
// disagreement through the Checker, which keeps the place (file:line), the row,
// the actual and the expected value. A case never stops at the first
// disagreement unless what follows cannot run.
//
// Wine: a case whose call Wine is known to answer differently from Windows says
// so in a comment (what Wine does, what Windows does) and takes Wine's answer
// through ExpectUnlessWine, only when `Scratch::wine` is set; the runner prints
// each difference taken. Every other disagreement fails.
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

// The scratch area of one case.
struct Scratch {
  std::string name;      // the case's name
  std::string folder;    // an existing, empty folder (Windows path, no trailing '\')
  std::string key_path;  // "Software\OrvaneContract\<case>" below HKEY_CURRENT_USER
  win::HKEY key{};       // that key, created and opened for the case
  bool wine = false;     // the Win32 backend runs under Wine

  // `leaf` inside the scratch folder.
  std::string Path(std::string_view leaf) const { return folder + "\\" + std::string(leaf); }
};

// Text for a value in a failure message: numbers in decimal, text quoted with
// its control characters escaped.
std::string Hex(unsigned long long value);
std::string Describe(std::string_view text);
inline std::string Describe(const std::string& text) { return Describe(std::string_view(text)); }
inline std::string Describe(const char* text) {
  return text ? Describe(std::string_view(text)) : "(null)";
}
inline std::string Describe(bool value) { return value ? "true" : "false"; }
inline std::string Describe(char value) { return Describe(std::string_view(&value, 1)); }
// Large values (poison, INVALID_FILE_ATTRIBUTES) in hexadecimal too.
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

  // True when actual equals expected; otherwise records a failure. Integers
  // of different types compare by value.
  template <typename A, typename E>
  bool Equal(std::string_view row, const A& actual, const E& expected,
             std::source_location where = std::source_location::current()) {
    if (Same(actual, expected)) return true;
    Fail(row, Describe(actual), Describe(expected), where);
    return false;
  }

  // Records a failure when `condition` does not hold; `what` says what should.
  bool That(std::string_view row, bool condition, std::string_view what,
            std::source_location where = std::source_location::current()) {
    if (condition) return true;
    Fail(row, "not so", std::string(what), where);
    return false;
  }

  void Fail(std::string_view row, std::string actual, std::string expected,
            std::source_location where = std::source_location::current());
  // A known Wine difference that this run accepted (each noted once).
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

// Windows' answer, or Wine's where Wine is known to differ and this run is
// under Wine; the difference taken is noted with `why`.
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
  // Its expectations hold on Windows 95/98/ME too (it is also run there).
  bool also_9x = false;
};

// What a runner provides around each case.
class Host {
 public:
  virtual ~Host() = default;
  // Creates an empty folder for the case and returns its Windows path.
  virtual std::string MakeFolder(std::string_view caseName) = 0;
  // Removes the folder and whatever the case left in it.
  virtual void RemoveFolder(const std::string& folder) = 0;
  // What the case left open (handles, blocks), one line each; empty when
  // nothing or when the backend cannot tell.
  virtual std::vector<std::string> Leaks() { return {}; }
};

struct RunOptions {
  std::string label;  // printed before every line ("xp", "win32")
  bool wine = false;  // Scratch::wine for every case
  std::string only;   // run only the case of this name (empty: all)
};

// Runs the cases, printing one line per case (with its failures and Wine
// differences below it) and a summary line. Returns the count of cases that
// failed; a case the filter leaves out is not counted.
int RunCases(Platform& platform, Host& host, std::span<const Case> cases, const RunOptions& options,
             std::FILE* out);

}  // namespace orvane::contract
