// A fresh simulated machine over a temporary folder, removed afterwards.
#pragma once

#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "winsim/journal.h"
#include "winsim/layout.h"
#include "winsim/machine.h"

namespace orvane::winsim::testing {

// A temporary host folder, removed with all it holds on destruction.
class TempDir {
 public:
  TempDir() {
    static std::atomic<int> counter{0};
    path_ = std::filesystem::temp_directory_path() /
            ("orvane-test-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
  }
  ~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

// Set as the last-error value before a call, so that a value left alone shows.
constexpr win::DWORD kPoison = 0xDEADBEEF;

// Whether a call succeeded, by what it returned.
inline bool Succeeded(win::BOOL result) { return result != 0; }
inline bool Succeeded(win::SC_HANDLE h) { return h != win::kNullServiceHandle; }
inline bool Succeeded(win::HANDLE h) {
  return h != win::kNullHandle && h != win::INVALID_HANDLE_VALUE;
}

// The error of `call` made after SetLastError(kPoison): 0 for a success that
// left the value alone.
template <class Call>
win::DWORD ErrorOf(Machine& m, Call call) {
  m.SetLastError(kPoison);
  const bool ok = Succeeded(call());
  return ok && m.GetLastError() == kPoison ? 0 : m.GetLastError();
}

// Windows laid out as `winsim create` lays it out, or with no layout nothing at all.
struct SimMachine {
  explicit SimMachine(WindowsVersion version, std::optional<LayoutOptions> layout = LayoutOptions{}) {
    std::filesystem::create_directories(dir.path() / "drive_c");
    machine = std::make_unique<Machine>(version, dir.path() / "drive_c");
    if (layout) LayOutWindows(*machine, *layout);
  }
  Machine& operator*() { return *machine; }
  Machine* operator->() { return machine.get(); }
  // The journal events of one kind, each split into its fields (kind first).
  std::vector<std::vector<std::string>> Events(std::string_view kind) const {
    std::vector<std::vector<std::string>> events;
    for (const std::string& line : machine->journal()) {
      if (auto fields = SplitJournalLine(line); fields[0] == kind) events.push_back(fields);
    }
    return events;
  }

  TempDir dir;  // declared first: outlives the machine
  std::unique_ptr<Machine> machine;
};

}  // namespace orvane::winsim::testing
