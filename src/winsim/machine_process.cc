// System information and process start: what the running program can learn of
// its Windows, and CreateProcessA with Windows' search for the program.
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>

#include "winsim/machine.h"

namespace orvane::winsim {

using namespace orvane::win;

namespace {

// Copies `text` with its NUL when it fits: the length without the NUL; when it
// does not fit, the size needed with the NUL and nothing copied (GetSystem-
// DirectoryA's and GetWindowsDirectoryA's contract).
UINT CopyDirectory(const std::string& text, std::span<char> buffer) {
  if (text.size() + 1 > buffer.size()) return static_cast<UINT>(text.size() + 1);
  std::memcpy(buffer.data(), text.c_str(), text.size() + 1);
  return static_cast<UINT>(text.size());
}

bool HasExtension(std::string_view name) {
  std::size_t slash = name.find_last_of("\\/");
  std::size_t dot = name.find_last_of('.');
  return dot != std::string_view::npos && (slash == std::string_view::npos || dot > slash);
}

bool HasDirectory(std::string_view name) {
  return name.find_first_of("\\/:") != std::string_view::npos;
}

std::string FolderOf(const std::string& path) {
  std::size_t slash = path.find_last_of('\\');
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

}  // namespace

DWORD Machine::GetVersion() { return profile_->get_version; }

BOOL Machine::GetVersionExA(OSVERSIONINFOEXA* info) {
  if (!info) {
    last_error_ = ERROR_NOACCESS;
    return FALSE;
  }
  DWORD size = info->dwOSVersionInfoSize;
  // An unknown size, or the extended record on a Windows that predates it, is
  // refused with 122 (Wine's answer; Windows unverified).
  bool extended = size == kOsVersionInfoExSize;
  if ((size != kOsVersionInfoSize && !extended) ||
      (extended && !profile_->knows_extended_record)) {
    last_error_ = ERROR_INSUFFICIENT_BUFFER;
    return FALSE;
  }
  if (Fails("GetVersionExA", std::to_string(size))) return FALSE;
  info->dwMajorVersion = profile_->major;
  info->dwMinorVersion = profile_->minor;
  info->dwBuildNumber = profile_->build_number;
  info->dwPlatformId = profile_->platform_id;
  std::memset(info->szCSDVersion, 0, sizeof info->szCSDVersion);
  std::snprintf(info->szCSDVersion, sizeof info->szCSDVersion, "%s",
                profile_->csd_version);
  if (extended) {
    info->wServicePackMajor = profile_->service_pack_major;
    info->wServicePackMinor = 0;
    info->wSuiteMask = 0;
    info->wProductType = 1;  // VER_NT_WORKSTATION
    info->wReserved = 0;
  }
  return TRUE;
}

UINT Machine::GetSystemDirectoryA(std::span<char> buffer) {
  if (Fails("GetSystemDirectoryA", "")) return 0;
  return CopyDirectory(profile_->system_dir, buffer);
}

UINT Machine::GetWindowsDirectoryA(std::span<char> buffer) {
  if (Fails("GetWindowsDirectoryA", "")) return 0;
  return CopyDirectory(profile_->windows_dir, buffer);
}

HMODULE Machine::GetModuleHandleA(const char* moduleName) {
  // Only the program's own module is known; it loads at the usual base.
  if (moduleName == nullptr) return HMODULE{0x400000};
  last_error_ = ERROR_MOD_NOT_FOUND;
  return kNullModule;
}

DWORD Machine::GetModuleFileNameA(HMODULE module, std::span<char> buffer) {
  if (module != HMODULE{0x400000} && module != kNullModule) {
    last_error_ = ERROR_MOD_NOT_FOUND;
    return 0;
  }
  if (Fails("GetModuleFileNameA", module_path_)) return 0;
  if (buffer.empty()) return 0;
  // Windows XP and earlier: a path that does not fit is cut to the buffer's
  // size and left without its NUL; the result is the buffer size.
  if (module_path_.size() >= buffer.size()) {
    std::memcpy(buffer.data(), module_path_.data(), buffer.size());
    return static_cast<DWORD>(buffer.size());
  }
  std::memcpy(buffer.data(), module_path_.c_str(), module_path_.size() + 1);
  return static_cast<DWORD>(module_path_.size());
}

const char* Machine::GetCommandLineA() { return command_line_.c_str(); }

const char* Machine::GetEnvironmentStrings() { return environment_block_.c_str(); }

// The program that a command line names, found as CreateProcessA finds it when
// the application name is null: the first token, up to the closing quote when it
// starts with one; otherwise each blank-separated prefix in turn, shortest first,
// the first that names a file winning. A name without extension gets ".exe". A
// name with a directory is taken as given (relative to the current folder);
// a bare name is looked for in the program's folder, the current folder, the
// system folder, on NT the 16-bit system folder, the Windows folder, then PATH.
std::optional<std::string> Machine::FindProgram(std::string_view commandLine,
                                                std::string* resolved) const {
  std::vector<std::string> candidates;
  std::string_view line = commandLine;
  while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) {
    line.remove_prefix(1);
  }
  if (!line.empty() && line.front() == '"') {
    std::size_t close = line.find('"', 1);
    candidates.emplace_back(line.substr(1, close == std::string_view::npos
                                               ? std::string_view::npos
                                               : close - 1));
  } else {
    std::size_t pos = 0;
    while (true) {
      std::size_t blank = line.find_first_of(" \t", pos);
      candidates.emplace_back(line.substr(0, blank));
      if (blank == std::string_view::npos) break;
      pos = blank + 1;
    }
  }

  std::vector<std::string> folders = {FolderOf(module_path_),
                                      files_.current_directory(),
                                      profile_->system_dir};
  if (profile_->nt_family) folders.push_back(std::string(profile_->windows_dir) + "\\system");
  folders.push_back(profile_->windows_dir);
  for (const std::string& variable : environment_) {
    if (variable.size() > 5 && std::equal(variable.begin(), variable.begin() + 5, "PATH=",
                                          [](char a, char b) {
                                            return std::toupper(static_cast<unsigned char>(a)) == b;
                                          })) {
      std::string_view path = std::string_view(variable).substr(5);
      std::size_t start = 0;
      while (start <= path.size()) {
        std::size_t semi = path.find(';', start);
        std::string_view entry = path.substr(start, semi - start);
        if (!entry.empty()) folders.emplace_back(entry);
        if (semi == std::string_view::npos) break;
        start = semi + 1;
      }
    }
  }

  for (std::string name : candidates) {
    if (name.empty()) continue;
    if (!HasExtension(name)) name += ".exe";
    if (HasDirectory(name)) {
      if (files_.Exists(name) && !files_.IsDirectory(name)) {
        *resolved = files_.Canonical(name);
        return name;
      }
      continue;
    }
    for (const std::string& folder : folders) {
      std::string path = folder;
      if (!path.empty() && path.back() != '\\') path += '\\';
      path += name;
      if (files_.Exists(path) && !files_.IsDirectory(path)) {
        *resolved = files_.Canonical(path);
        return name;
      }
    }
  }
  return std::nullopt;
}

BOOL Machine::CreateProcessA(const char* applicationName, char* commandLine,
                             SECURITY_ATTRIBUTES* /*processAttributes*/,
                             SECURITY_ATTRIBUTES* /*threadAttributes*/,
                             BOOL /*inheritHandles*/, DWORD creationFlags,
                             const char* environment, const char* currentDirectory,
                             const STARTUPINFOA* startupInfo,
                             PROCESS_INFORMATION* processInfo) {
  std::string line = commandLine ? commandLine : "";
  char flags[16];
  std::snprintf(flags, sizeof flags, "0x%x", creationFlags);
  std::string startup = "none";
  if (startupInfo) {
    const STARTUPINFOA& si = *startupInfo;
    bool othersZero = !si.lpReserved && !si.lpDesktop && !si.lpTitle && !si.dwX &&
                      !si.dwY && !si.dwXSize && !si.dwYSize && !si.dwXCountChars &&
                      !si.dwYCountChars && !si.dwFillAttribute && !si.cbReserved2 &&
                      !si.lpReserved2 && si.hStdInput == kNullHandle &&
                      si.hStdOutput == kNullHandle && si.hStdError == kNullHandle;
    char text[96];
    std::snprintf(text, sizeof text, "cb=%u flags=0x%x show=%u zero=%s", si.cb,
                  si.dwFlags, si.wShowWindow, othersZero ? "yes" : "no");
    startup = text;
  }
  std::string env = "env=null";
  if (environment) {
    env = environment == environment_block_.c_str() ? "env=own" : "env=other";
  }

  std::string resolved;
  bool found = false;
  if (applicationName) {
    // Exactly the file named (a relative name from the current folder): no
    // search, and no ".exe" added.
    found = files_.Exists(applicationName) && !files_.IsDirectory(applicationName);
    if (found) resolved = files_.Canonical(applicationName);
    if (!found) last_error_ = ERROR_FILE_NOT_FOUND;
  } else if (line.empty()) {
    last_error_ = ERROR_PATH_NOT_FOUND;
  } else if (FindProgram(line, &resolved)) {
    found = true;
  } else {
    last_error_ = ERROR_FILE_NOT_FOUND;
  }
  // A current folder given for the child must be an existing folder (Wine's
  // process tests: ERROR_DIRECTORY).
  if (found && currentDirectory && !files_.IsDirectory(currentDirectory)) {
    found = false;
    last_error_ = ERROR_DIRECTORY;
  }
  if (found && Fails("CreateProcessA", line)) found = false;

  Journal("process", {found ? "1" : "0", flags, startup, env,
                      std::string("app=") + (applicationName ? applicationName : "null"),
                      std::string("dir=") + (currentDirectory ? currentDirectory : "null"),
                      "ran=" + (found ? resolved : std::string("none")), line});
  if (!found) return FALSE;
  if (processInfo) {
    processInfo->dwProcessId = next_process_id_;
    processInfo->dwThreadId = next_process_id_ + 4;
    processInfo->hProcess = HANDLE{0x50000u + next_process_id_};
    processInfo->hThread = HANDLE{0x60000u + next_process_id_};
    next_process_id_ += 8;
  }
  LeaveStale("CreateProcessA", line);
  return TRUE;
}

}  // namespace orvane::winsim
