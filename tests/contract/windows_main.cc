// contract.exe [case]: the cases over the real API, each in
// <temp>\orvane-contract-<pid>\<case>; under Wine (ntdll exports
// wine_get_version) Wine's known differences are taken and named.
#include <cstdio>
#include <string>

#include "contract.h"
#include "platform/win32/win32_platform.h"

// Last: see windows_api.h.
#include "platform/win32/windows_api.h"

namespace {

// Removes a folder and everything below it; what stays shows in the next run.
void RemoveTree(const std::string& folder) {
  WIN32_FIND_DATAA entry;
  HANDLE find = ::FindFirstFileA((folder + "\\*").c_str(), &entry);
  for (bool more = find != INVALID_HANDLE_VALUE; more; more = ::FindNextFileA(find, &entry)) {
    const std::string name = entry.cFileName, path = folder + "\\" + name;
    if (name == "." || name == "..") continue;
    if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      RemoveTree(path);
    } else {
      ::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
      ::DeleteFileA(path.c_str());
    }
  }
  if (find != INVALID_HANDLE_VALUE) ::FindClose(find);
  ::RemoveDirectoryA(folder.c_str());
}

}  // namespace

int main(int argc, char** argv) {
  using namespace orvane::contract;
  char temp[MAX_PATH + 1] = {};
  const DWORD length = ::GetTempPathA(sizeof temp, temp);
  const std::string root = (length > 0 && length < sizeof temp ? std::string(temp, length)
                                                               : std::string("C:\\")) +
                           "orvane-contract-" + std::to_string(::GetCurrentProcessId());
  const Host host{root, [](const std::string& f) { ::CreateDirectoryA(f.c_str(), nullptr); },
                  RemoveTree};
  RemoveTree(root);
  ::CreateDirectoryA(root.c_str(), nullptr);
  HMODULE ntdll = ::GetModuleHandleA("ntdll.dll");
  const bool wine = ntdll != nullptr && ::GetProcAddress(ntdll, "wine_get_version") != nullptr;
  std::printf("[%s] scratch folders under %s\n", wine ? "wine" : "windows", root.c_str());
  orvane::Win32Platform platform;
  const int failed = RunCases(platform, host, AllCases(), wine ? "wine" : "windows", wine,
                              argc > 1 ? argv[1] : "");
  RemoveTree(root);
  return failed == 0 ? 0 : 1;
}
