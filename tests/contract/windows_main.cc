// contract.exe [case]: the cases over the real API, each in
// <temp>\orvane-contract-<pid>\<case>; under Wine (ntdll exports
// wine_get_version) Wine's known differences are taken and named.
#include <cstdio>
#include <string>
#include <vector>

#include "contract.h"
#include "platform/win32/win32_platform.h"

// Last: see windows_api.h.
#include "platform/win32/windows_api.h"

namespace orvane::contract {
namespace {

bool RunningUnderWine() {
  HMODULE ntdll = ::GetModuleHandleA("ntdll.dll");
  return ntdll != nullptr && ::GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

// Removes a folder and everything below it; failures are left to show in the
// next run's scratch check.
void RemoveTree(const std::string& folder) {
  WIN32_FIND_DATAA entry;
  HANDLE find = ::FindFirstFileA((folder + "\\*").c_str(), &entry);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      std::string name = entry.cFileName;
      if (name == "." || name == "..") continue;
      std::string path = folder + "\\" + name;
      if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveTree(path);
      } else {
        ::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        ::DeleteFileA(path.c_str());
      }
    } while (::FindNextFileA(find, &entry));
    ::FindClose(find);
  }
  ::RemoveDirectoryA(folder.c_str());
}

class Win32Host final : public Host {
 public:
  Win32Host() {
    char temp[MAX_PATH + 1] = {};
    DWORD length = ::GetTempPathA(sizeof temp, temp);
    root_ = length > 0 && length < sizeof temp ? std::string(temp, length) : "C:\\";
    if (root_.back() == '\\') root_.pop_back();
    root_ += "\\orvane-contract-" + std::to_string(::GetCurrentProcessId());
    RemoveTree(root_);
    ::CreateDirectoryA(root_.c_str(), nullptr);
  }
  ~Win32Host() override { RemoveTree(root_); }

  std::string MakeFolder(std::string_view caseName) override {
    std::string folder = root_ + "\\" + std::string(caseName);
    RemoveTree(folder);
    ::CreateDirectoryA(folder.c_str(), nullptr);
    return folder;
  }
  void RemoveFolder(const std::string& folder) override { RemoveTree(folder); }

  const std::string& root() const { return root_; }

 private:
  std::string root_;
};

}  // namespace
}  // namespace orvane::contract

int main(int argc, char** argv) {
  using namespace orvane::contract;
  orvane::Win32Platform platform;
  Win32Host host;
  RunOptions options;
  options.wine = RunningUnderWine();
  options.label = options.wine ? "wine" : "windows";
  options.only = argc > 1 ? argv[1] : "";
  std::printf("[%s] scratch folders under %s\n", options.label.c_str(), host.root().c_str());
  std::vector<Case> cases = AllCases();
  int failed = RunCases(platform, host, cases, options, stdout);
  return failed == 0 ? 0 : 1;
}
