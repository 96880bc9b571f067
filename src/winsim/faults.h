// The fault table: failures that a test or a user injects into the simulated
// machine, each at a named call.
//
// A fault names the call as Windows names it ("CreateFileA", "RegOpenKeyExA",
// "HeapAlloc", "ReadFile", "SendMessageA" ...), optionally a text that the call's
// subject must contain (a path, a key path, a printer name; compared without
// regard to case), the Windows error code, and how it fires:
//   once    the next matching call fails with the code, then the fault is spent;
//   always  every matching call fails with the code;
//   stale   the call runs normally, then leaves the code as the last-error
//           value, as calls that succeed without clearing it do (once).
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/win32_types.h"

namespace orvane::winsim {

enum class FaultMode { kOnce, kAlways, kStale };

struct Fault {
  std::string call;
  std::string match;  // empty: every call of that name
  win::DWORD code = 0;
  FaultMode mode = FaultMode::kOnce;
  int fired = 0;  // how often it has fired; a fired once/stale fault is spent
  bool spent() const { return mode != FaultMode::kAlways && fired > 0; }
};

std::optional<FaultMode> ParseFaultMode(std::string_view text);
const char* FaultModeName(FaultMode mode);

class FaultTable {
 public:
  void Add(Fault fault) { faults_.push_back(std::move(fault)); }
  // A failure for this call and subject, if one is armed (once/always). Spent
  // faults stay in the table, so that a report can tell which ones fired.
  std::optional<win::DWORD> Fail(std::string_view call, std::string_view subject);
  // A stale last-error value for this call and subject, if one is armed.
  std::optional<win::DWORD> Stale(std::string_view call, std::string_view subject);
  // Fail, with the subject made only when a fault names the call: most calls
  // meet no fault, and some subjects (a key's whole path) cost to make.
  template <typename MakeSubject>
  std::optional<win::DWORD> FailWith(std::string_view call, MakeSubject&& subject) {
    if (!Names(call)) return std::nullopt;
    return Fail(call, subject());
  }
  bool Names(std::string_view call) const;
  const std::vector<Fault>& faults() const { return faults_; }
  void Clear() { faults_.clear(); }

 private:
  std::optional<win::DWORD> Take(std::string_view call, std::string_view subject,
                                 bool stale);
  std::vector<Fault> faults_;
};

}  // namespace orvane::winsim
