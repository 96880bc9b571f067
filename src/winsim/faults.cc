#include "winsim/faults.h"

#include <algorithm>
#include <cctype>

namespace orvane::winsim {
namespace {

bool ContainsIgnoringCase(std::string_view text, std::string_view part) {
  if (part.empty()) return true;
  auto it = std::search(text.begin(), text.end(), part.begin(), part.end(),
                        [](char a, char b) {
                          return std::tolower(static_cast<unsigned char>(a)) ==
                                 std::tolower(static_cast<unsigned char>(b));
                        });
  return it != text.end();
}

}  // namespace

std::optional<FaultMode> ParseFaultMode(std::string_view text) {
  if (text == "once") return FaultMode::kOnce;
  if (text == "always") return FaultMode::kAlways;
  if (text == "stale") return FaultMode::kStale;
  return std::nullopt;
}

const char* FaultModeName(FaultMode mode) {
  switch (mode) {
    case FaultMode::kOnce:
      return "once";
    case FaultMode::kAlways:
      return "always";
    case FaultMode::kStale:
      return "stale";
  }
  return "once";
}

std::optional<win::DWORD> FaultTable::Fail(std::string_view call,
                                           std::string_view subject) {
  return Take(call, subject, false);
}

std::optional<win::DWORD> FaultTable::Stale(std::string_view call,
                                            std::string_view subject) {
  return Take(call, subject, true);
}

bool FaultTable::Names(std::string_view call) const {
  return std::any_of(faults_.begin(), faults_.end(),
                     [&](const Fault& f) { return f.call == call; });
}

std::optional<win::DWORD> FaultTable::Take(std::string_view call,
                                           std::string_view subject, bool stale) {
  for (auto it = faults_.begin(); it != faults_.end(); ++it) {
    if ((it->mode == FaultMode::kStale) != stale || it->spent()) continue;
    if (it->call != call || !ContainsIgnoringCase(subject, it->match)) continue;
    ++it->fired;
    return it->code;
  }
  return std::nullopt;
}

}  // namespace orvane::winsim
