#include "winsim/filesystem.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <system_error>

namespace orvane::winsim {
namespace {

namespace fs = std::filesystem;
using win::DWORD;

// Access bits below the generic ones, with Windows' values.
constexpr DWORD kFileReadData = 0x0001;
constexpr DWORD kFileWriteData = 0x0002;
constexpr DWORD kFileAppendData = 0x0004;
constexpr DWORD kFileExecute = 0x0020;
constexpr DWORD kDeleteAccess = 0x00010000;
constexpr DWORD kGenericExecute = 0x20000000;
constexpr DWORD kGenericAll = 0x10000000;
constexpr DWORD kShareAll =
    win::FILE_SHARE_READ | win::FILE_SHARE_WRITE | win::FILE_SHARE_DELETE;
constexpr DWORD kKeptAttributes = win::FILE_ATTRIBUTE_READONLY |
                                  win::FILE_ATTRIBUTE_HIDDEN |
                                  win::FILE_ATTRIBUTE_SYSTEM;
// A WriteFile goes to the host in pieces of this size. Measured on the
// project's host with the file on ext4: one write of a 256 MiB block took two
// to five times as long as the same bytes in 1 MiB pieces (8 MiB pieces were
// as slow as one write); on tmpfs the pieces cost nothing.
constexpr std::size_t kHostPiece = std::size_t{1} << 20;
// STATUS_USER_MAPPED_FILE: truncating a file that is mapped.
constexpr DWORD kErrorUserMappedFile = 1224;
constexpr DWORD kErrorBadNetPath = 53;
// Seconds from 1601-01-01 (FILETIME's epoch) to 1970-01-01.
constexpr std::uint64_t kEpochDifference = 11644473600ull;

// What an access mask counts as when share modes are compared: FILE_EXECUTE
// counts as reading, FILE_APPEND_DATA as writing (Wine server/fd.c: check_sharing).
struct Rights {
  bool read = false;
  bool write = false;
  bool del = false;
  bool any() const { return read || write || del; }
};

Rights SharingRights(DWORD access) {
  Rights r;
  r.read = access & (win::GENERIC_READ | kGenericExecute | kGenericAll |
                     kFileReadData | kFileExecute);
  r.write = access & (win::GENERIC_WRITE | kGenericAll | kFileWriteData |
                      kFileAppendData);
  r.del = access & (kDeleteAccess | kGenericAll);
  return r;
}

bool MayRead(DWORD access) {
  return access & (win::GENERIC_READ | kGenericAll | kFileReadData);
}

bool MayWrite(DWORD access) {
  return access & (win::GENERIC_WRITE | kGenericAll | kFileWriteData |
                   kFileAppendData);
}

bool AppendOnly(DWORD access) {
  return (access & kFileAppendData) &&
         !(access & (win::GENERIC_WRITE | kGenericAll | kFileWriteData));
}

void SetError(DWORD* error, DWORD code) {
  if (error) *error = code;
}

bool Fail(DWORD* error, DWORD code) {
  SetError(error, code);
  return false;
}

char Upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }

std::string ToUpper(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = Upper(c);
  return out;
}

// Case is folded for ASCII letters only; other bytes compare as they are.
bool EqualNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(),
                    [](char x, char y) { return Upper(x) == Upper(y); });
}

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// Characters Windows refuses in a name (ERROR_INVALID_NAME), wildcards included.
bool HasInvalidChar(std::string_view name) {
  return std::any_of(name.begin(), name.end(), [](char c) {
    switch (c) {
      case '<': case '>': case ':': case '"': case '|': case '?': case '*': return true;
      default: return static_cast<unsigned char>(c) < 0x20;
    }
  });
}

std::string Join(const std::vector<std::string>& parts, bool upper = false) {
  std::size_t size = 3;
  for (const std::string& part : parts) size += part.size() + 1;
  std::string out;
  out.reserve(size);
  out = "C:\\";
  for (std::size_t i = 0; i < parts.size(); ++i) {
    if (i) out += '\\';
    out += parts[i];
  }
  if (upper) {
    for (char& c : out) c = Upper(c);
  }
  return out;
}

// The key itself and every key below it.
bool IsSameOrBelow(const std::string& key, const std::string& top) {
  if (key == top) return true;
  std::string prefix = top.ends_with('\\') ? top : top + '\\';
  return key.starts_with(prefix);
}

DWORD ErrorFromErrno(int err) {
  switch (err) {
    case ENOENT: return win::ERROR_FILE_NOT_FOUND;
    case ENOTDIR: return win::ERROR_PATH_NOT_FOUND;
    case EEXIST: return win::ERROR_FILE_EXISTS;
    case ENOSPC:
    case EDQUOT: return win::ERROR_DISK_FULL;
    default: return win::ERROR_ACCESS_DENIED;
  }
}

std::uint64_t HostSize(int fd) {
  struct stat st {};
  return ::fstat(fd, &st) == 0 ? static_cast<std::uint64_t>(st.st_size) : 0;
}

// `dir` and `name` as one host path.
std::string HostJoin(const std::string& dir, std::string_view name) {
  std::string out;
  out.reserve(dir.size() + 1 + name.size());
  out = dir;
  if (!out.ends_with('/')) out += '/';
  out += name;
  return out;
}

void HostAppend(std::string* dir, std::string_view name) {
  if (!dir->ends_with('/')) *dir += '/';
  *dir += name;
}

// Below a host link the index is not used: the name of the entry in host
// folder `dir` that `name` designates regardless of case, by the index's rule
// (an exact match wins, then the lowest of the names that differ in case only).
std::optional<std::string> FindOnHost(const std::string& dir, const std::string& name) {
  struct stat st {};
  if (::lstat(HostJoin(dir, name).c_str(), &st) == 0) return name;
  std::optional<std::string> found;
  std::error_code ec;
  for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
    std::string entry = it->path().filename().string();
    if (EqualNoCase(entry, name) && (!found || entry < *found)) found = entry;
  }
  return found;
}

}  // namespace

struct FileSystem::OpenFile {
  int fd = -1;
  std::string key;   // upper-case canonical path
  std::string path;  // as given to CreateFile
  DWORD access = 0;
  DWORD share = 0;
  std::uint64_t position = 0;
  bool on_index = false;               // opened by a path without a host link
  std::optional<std::uint64_t> size;   // as last seen; see SizeOf
};

// A Windows path resolved against the host folder: the existing prefix in its
// stored case, the rest as given.
struct FileSystem::Resolved {
  DWORD error = 0;
  std::vector<std::string> parts;   // normalized components, as given
  std::vector<std::string> stored;  // stored names, then the missing rest
  std::size_t matched = 0;          // leading components that exist
  std::string host;  // set where the host was asked; else see HostOf
  bool exists = false;
  bool is_directory = false;
  bool parent_is_directory = false;
  bool found_is_directory = true;   // the existing prefix is a folder
  std::string key;
  // The indexed folder that holds the last component, when no host link lies
  // on the way: the host calls then go through its descriptor.
  FolderIndex::Folder* parent = nullptr;
};

FileSystem::FileSystem(fs::path driveC)
    : drive_c_(driveC.string()), index_(driveC.string()) {
  std::error_code ec;
  root_ = fs::canonical(driveC, ec);
  if (ec) root_ = fs::absolute(driveC);
}

FileSystem::~FileSystem() {
  for (auto& [value, file] : handles_) ::close(file->fd);
  handles_.clear();
  // The process ends: files deleted while open go unless another process holds them.
  std::vector<std::string> pending;
  for (const auto& [key, host] : delete_pending_) pending.push_back(key);
  for (const auto& key : pending) FinishPendingDelete(key);
}

// Win32 path normalization (GetFullPathName): separators "\" and "/", runs of
// them, "." and ".." (which stops at the root), a trailing "." dropped from
// inner components and trailing dots and blanks from the last one.
DWORD FileSystem::Split(std::string_view path, std::vector<std::string>* parts) const {
  parts->clear();
  if (path.empty()) return win::ERROR_PATH_NOT_FOUND;  // NT; 9x gives 161 or 87
  if (path.size() >= 4 && IsSeparator(path[0]) && IsSeparator(path[1]) &&
      (path[2] == '?' || path[2] == '.') && IsSeparator(path[3])) {
    path.remove_prefix(4);
    if (path.empty()) return win::ERROR_PATH_NOT_FOUND;
  } else if (path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1])) {
    return kErrorBadNetPath;  // \\server\share: no network on this machine
  }
  bool absolute = IsSeparator(path[0]);
  if (path.size() >= 2 && path[1] == ':') {
    if (Upper(path[0]) != 'C') return win::ERROR_PATH_NOT_FOUND;
    path.remove_prefix(2);
    absolute = !path.empty() && IsSeparator(path[0]);
  }
  if (!absolute) {
    std::string_view cwd = current_directory_;
    cwd.remove_prefix(std::min<std::size_t>(2, cwd.size()));
    for (std::size_t i = 0; i < cwd.size();) {
      std::size_t j = cwd.find('\\', i);
      if (j == std::string_view::npos) j = cwd.size();
      if (j > i) parts->emplace_back(cwd.substr(i, j - i));
      i = j + 1;
    }
  }
  std::size_t first_new = parts->size();
  for (std::size_t i = 0; i < path.size();) {
    std::size_t j = i;
    while (j < path.size() && !IsSeparator(path[j])) ++j;
    std::string_view seg = path.substr(i, j - i);
    i = j + 1;
    if (seg.empty() || seg == ".") continue;
    if (seg == "..") {
      if (parts->size() > 0) parts->pop_back();
      first_new = std::min(first_new, parts->size());
      continue;
    }
    parts->emplace_back(seg);
  }
  bool ends_with_separator = !path.empty() && IsSeparator(path.back());
  for (std::size_t i = first_new; i < parts->size(); ++i) {
    std::string& seg = (*parts)[i];
    bool last = i + 1 == parts->size();
    if (last && !ends_with_separator) {
      while (!seg.empty() && (seg.back() == '.' || seg.back() == ' ')) seg.pop_back();
    } else if (seg.size() >= 2 && seg.back() == '.' && seg[seg.size() - 2] != '.') {
      seg.pop_back();
    }
  }
  std::erase_if(*parts, [](const std::string& s) { return s.empty(); });
  for (const auto& seg : *parts) {
    if (HasInvalidChar(seg)) return win::ERROR_INVALID_NAME;
  }
  return 0;
}

FileSystem::Resolved FileSystem::Resolve(std::string_view path) const {
  std::vector<std::string> parts;
  parts.reserve(8);
  if (DWORD error = Split(path, &parts)) {
    Resolved r;
    r.error = error;
    return r;
  }
  return ResolveParts(std::move(parts));
}

// Each component is looked up in the index while the way goes through indexed
// folders; below a host link (or a folder the host refuses to list) it is
// looked up on the host.
FileSystem::Resolved FileSystem::ResolveParts(std::vector<std::string> parts) const {
  using Kind = FolderIndex::Kind;
  Resolved r;
  r.parts = std::move(parts);
  const std::size_t n = r.parts.size();
  r.stored.reserve(n);
  FolderIndex::Folder* folder = index_.Root();
  bool on_index = folder != nullptr;
  if (!on_index) r.host = drive_c_;
  bool cur_is_dir = true;
  for (std::size_t i = 0; i < n && cur_is_dir; ++i) {
    const std::string& part = r.parts[i];
    bool link = false;
    if (on_index) {
      if (i + 1 == n) r.parent = folder;
      FolderIndex::Entry* entry = FolderIndex::Find(*folder, part);
      if (!entry) break;
      link = entry->kind == Kind::kLink;
      cur_is_dir = entry->kind == Kind::kFolder;
      if (cur_is_dir && i + 1 < n) folder = index_.Open(*folder, *entry);
      r.stored.push_back(entry->name);
      ++r.matched;
      if (link || !folder) {
        on_index = false;
        r.host = HostOf(r);
      }
    } else {
      std::optional<std::string> found = FindOnHost(r.host, part);
      if (!found) break;
      struct stat st {};
      HostAppend(&r.host, *found);
      bool ok = ::lstat(r.host.c_str(), &st) == 0;
      link = ok && S_ISLNK(st.st_mode);
      cur_is_dir = ok && S_ISDIR(st.st_mode);
      r.stored.push_back(std::move(*found));
      ++r.matched;
    }
    if (link) {
      // A host link may point anywhere; only links that stay on the drive count.
      if (!StaysOnDrive(r.host)) {
        r.error = win::ERROR_ACCESS_DENIED;
        return r;
      }
      struct stat st {};
      cur_is_dir = ::stat(r.host.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
    }
  }
  r.exists = r.matched == n;
  r.is_directory = r.exists && cur_is_dir;
  r.found_is_directory = cur_is_dir;
  r.parent_is_directory = n > 0 && (r.matched == n || (r.matched + 1 == n && cur_is_dir));
  for (std::size_t i = r.matched; i < n; ++i) {
    if (!on_index) HostAppend(&r.host, r.parts[i]);
    r.stored.push_back(r.parts[i]);
  }
  r.key = Join(r.parts, /*upper=*/true);
  return r;
}

// The host path of what is resolved so far; built only when asked for, as
// the index answers most calls without it.
std::string FileSystem::HostOf(const Resolved& r) const {
  if (!r.host.empty()) return r.host;
  std::string host = drive_c_;
  for (const std::string& name : r.stored) HostAppend(&host, name);
  return host;
}

bool FileSystem::StaysOnDrive(const std::string& host) const {
  std::error_code ec;
  fs::path target = fs::canonical(host, ec);
  auto rel = target.lexically_relative(root_);
  return !ec && !rel.empty() && *rel.begin() != "..";
}

// The host calls on a resolved path: one component relative to its folder's
// descriptor where the index holds the folder, else the whole host path.
int FileSystem::HostOpen(const Resolved& r, int flags) const {
  if (r.parent) return ::openat(r.parent->fd, r.stored.back().c_str(), flags, 0666);
  return ::open(HostOf(r).c_str(), flags, 0666);
}

int FileSystem::HostStat(const Resolved& r, struct stat* st) const {
  if (r.parent) return ::fstatat(r.parent->fd, r.stored.back().c_str(), st, 0);
  return ::stat(HostOf(r).c_str(), st);
}

// The index follows what the file system itself created or removed; a change
// made below a host link may show anywhere on the drive, so the index starts
// afresh.
void FileSystem::Created(const Resolved& r, FolderIndex::Kind kind) {
  if (r.parent && kind == FolderIndex::Kind::kFolder) {
    FolderIndex::AddNewFolder(*r.parent, r.stored.back());
  } else if (r.parent) {
    FolderIndex::Add(*r.parent, r.stored.back(), kind);
  } else {
    index_.Clear();
  }
}

void FileSystem::Removed(const Resolved& r) {
  if (r.parent) {
    FolderIndex::Take(*r.parent, r.stored.back());
  } else {
    index_.Clear();
  }
}

std::string FileSystem::KeyOf(std::string_view path) const {
  std::vector<std::string> parts;
  if (Split(path, &parts)) return ToUpper(path);
  return Join(parts, /*upper=*/true);
}

FileSystem::OpenFile* FileSystem::Find(win::HANDLE file) const {
  auto it = handles_.find(static_cast<std::uintptr_t>(file));
  return it == handles_.end() ? nullptr : it->second.get();
}

// Windows' share check, both ways (Wine server/fd.c: check_sharing, which the
// conformance table in Wine's file.c: test_file_sharing confirms on Windows;
// MS: Creating and Opening Files, the table of first and second opens): the
// new open's access must be shared by every opener, and its share mode must
// share every opener's access. Handles of other processes count alike, so
// "another process" holding the file counts as one opener with its access and
// share mode.
DWORD FileSystem::SharingError(const std::string& key, DWORD access, DWORD share,
                               bool truncates) const {
  Rights want = SharingRights(access);
  DWORD existing_share = kShareAll;
  Rights existing;
  auto add = [&](Rights r, DWORD s) {
    if (r.any()) existing_share &= s;  // an opener without data access shares all
    existing.read |= r.read;
    existing.write |= r.write;
    existing.del |= r.del;
  };
  for (const auto& [value, file] : handles_) {
    if (file->key == key) add(SharingRights(file->access), file->share);
  }
  if (auto hold = holds_.find(key); hold != holds_.end()) {
    add(SharingRights(hold->second.access), hold->second.share);
  }
  if ((want.read && !(existing_share & win::FILE_SHARE_READ)) ||
      (want.write && !(existing_share & win::FILE_SHARE_WRITE)) ||
      (want.del && !(existing_share & win::FILE_SHARE_DELETE))) {
    return win::ERROR_SHARING_VIOLATION;
  }
  bool mapped = in_use_.count(key) > 0;
  // A mapped image refuses write access with a sharing violation and
  // truncation with STATUS_USER_MAPPED_FILE (Wine server/fd.c: check_sharing).
  if (mapped && want.write) return win::ERROR_SHARING_VIOLATION;
  if (mapped && truncates) return kErrorUserMappedFile;
  if (!want.any()) return 0;
  if ((existing.read && !(share & win::FILE_SHARE_READ)) ||
      (existing.write && !(share & win::FILE_SHARE_WRITE)) ||
      (existing.del && !(share & win::FILE_SHARE_DELETE))) {
    return win::ERROR_SHARING_VIOLATION;
  }
  return 0;
}

bool FileSystem::HasOpeners(const std::string& key) const {
  if (holds_.count(key)) return true;
  return std::any_of(handles_.begin(), handles_.end(),
                     [&](const auto& h) { return h.second->key == key; });
}

// An open file's size without asking the host where that can be known: a
// handle keeps the size it last saw, and the file system's own writes and
// truncations keep it current for every handle of the file. A write through
// a host link may reach a file that is open under another name, and a whole
// file written or removed by path may be open: then every handle asks again.
std::uint64_t FileSystem::SizeOf(OpenFile& file) const {
  if (file.size) return *file.size;
  std::uint64_t size = HostSize(file.fd);
  if (file.on_index) file.size = size;
  return size;
}

void FileSystem::Resized(const OpenFile& by, std::uint64_t end, bool truncated) {
  if (!by.on_index) return ForgetSizes();
  for (auto& [value, file] : handles_) {
    if (file->key != by.key || !file->size) continue;
    file->size = truncated ? end : std::max(*file->size, end);
  }
}

void FileSystem::ForgetSizes() {
  for (auto& [value, file] : handles_) file->size.reset();
}

void FileSystem::Credit(std::uint64_t bytes) {
  if (free_space_) *free_space_ += bytes;
}

void FileSystem::FinishPendingDelete(const std::string& key) {
  auto it = delete_pending_.find(key);
  if (it == delete_pending_.end() || HasOpeners(key)) return;
  struct stat st {};
  std::uint64_t size =
      ::stat(it->second.c_str(), &st) == 0 ? static_cast<std::uint64_t>(st.st_size) : 0;
  if (::unlink(it->second.c_str()) == 0) {
    Credit(size);
    // The key names the file still, unless a name differing in case only came
    // to stand before it: then the index starts afresh.
    Resolved r = Resolve(key);
    if (!r.error && r.exists && HostOf(r) == it->second) {
      Removed(r);
    } else {
      index_.Clear();
    }
  }
  attributes_.erase(key);
  delete_pending_.erase(it);
}

win::HANDLE FileSystem::CreateFile(const char* path, DWORD access, DWORD share,
                                   DWORD disposition, DWORD attributes, DWORD* error) {
  auto fail = [&](DWORD code) {
    SetError(error, code);
    return win::INVALID_HANDLE_VALUE;
  };
  if (disposition < win::CREATE_NEW || disposition > win::TRUNCATE_EXISTING) {
    return fail(win::ERROR_INVALID_PARAMETER);
  }
  // Checked before the path is looked at (Wine kernelbase: CreateFileW).
  if (disposition == win::TRUNCATE_EXISTING && !(access & win::GENERIC_WRITE)) {
    return fail(win::ERROR_INVALID_PARAMETER);
  }
  if (!path) return fail(win::ERROR_PATH_NOT_FOUND);
  Resolved r = Resolve(path);
  if (r.error) return fail(r.error);
  if (!r.exists && !r.parent_is_directory) return fail(win::ERROR_PATH_NOT_FOUND);

  bool truncates = false;
  int flags = O_CLOEXEC | (MayWrite(access) ? O_RDWR : O_RDONLY);
  if (r.exists) {
    if (disposition == win::CREATE_NEW) return fail(win::ERROR_FILE_EXISTS);
    // Without FILE_FLAG_BACKUP_SEMANTICS a folder cannot be opened.
    if (r.is_directory) return fail(win::ERROR_ACCESS_DENIED);
    if (delete_pending_.count(r.key)) return fail(win::ERROR_ACCESS_DENIED);
    truncates = disposition == win::CREATE_ALWAYS ||
                disposition == win::TRUNCATE_EXISTING;
    DWORD stored = attributes_.count(r.key) ? attributes_.at(r.key) : 0;
    if ((stored & win::FILE_ATTRIBUTE_READONLY) && (MayWrite(access) || truncates)) {
      return fail(win::ERROR_ACCESS_DENIED);
    }
    // MS CreateFile: CREATE_ALWAYS over a hidden or system file must repeat
    // those attributes.
    DWORD hs = win::FILE_ATTRIBUTE_HIDDEN | win::FILE_ATTRIBUTE_SYSTEM;
    if (disposition == win::CREATE_ALWAYS && (stored & hs & ~attributes)) {
      return fail(win::ERROR_ACCESS_DENIED);
    }
    if (DWORD code = SharingError(r.key, access, share, truncates)) return fail(code);
    if (truncates) flags = O_CLOEXEC | O_RDWR;
  } else {
    if (disposition == win::OPEN_EXISTING || disposition == win::TRUNCATE_EXISTING) {
      return fail(win::ERROR_FILE_NOT_FOUND);
    }
    flags |= O_CREAT | O_EXCL;
  }

  int fd = HostOpen(r, flags);
  if (fd < 0) return fail(ErrorFromErrno(errno));
  if (!r.exists) Created(r, FolderIndex::Kind::kFile);
  if (truncates) {
    std::uint64_t old_size = free_space_ ? HostSize(fd) : 0;
    if (::ftruncate(fd, 0) != 0) {
      int err = errno;
      ::close(fd);
      return fail(ErrorFromErrno(err));
    }
    Credit(old_size);
  }
  if (!r.exists || disposition == win::CREATE_ALWAYS) {
    // New contents take the attributes asked for, with ARCHIVE as always.
    if (attributes & kKeptAttributes) {
      attributes_[r.key] = (attributes & kKeptAttributes) | win::FILE_ATTRIBUTE_ARCHIVE;
    } else {
      attributes_.erase(r.key);
    }
  }
  auto file = std::make_unique<OpenFile>();
  file->fd = fd;
  file->key = r.key;
  file->path = path;
  file->access = access;
  file->share = share;
  file->on_index = r.parent != nullptr;
  if (file->on_index && (!r.exists || truncates)) file->size = 0;
  if (truncates) Resized(*file, 0, /*truncated=*/true);
  std::uintptr_t value = next_handle_;
  next_handle_ += 4;
  handles_[value] = std::move(file);
  bool existed = r.exists && (disposition == win::OPEN_ALWAYS ||
                              disposition == win::CREATE_ALWAYS);
  SetError(error, existed ? win::ERROR_ALREADY_EXISTS : 0);
  return win::HANDLE{value};
}

bool FileSystem::Read(win::HANDLE handle, std::span<win::BYTE> buffer,
                      DWORD* bytesRead, DWORD* error) {
  if (bytesRead) *bytesRead = 0;
  OpenFile* file = Find(handle);
  if (!file) return Fail(error, win::ERROR_INVALID_HANDLE);
  if (!MayRead(file->access)) return Fail(error, win::ERROR_ACCESS_DENIED);
  std::size_t want = std::min<std::size_t>(buffer.size(), 0xFFFFFFFFu);
  std::size_t done = 0;
  while (done < want) {
    ssize_t n = ::pread(file->fd, buffer.data() + done, want - done,
                        static_cast<off_t>(file->position + done));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return Fail(error, win::ERROR_READ_FAULT);
    if (n == 0) break;  // end of file: success with what was read
    done += static_cast<std::size_t>(n);
  }
  file->position += done;
  if (bytesRead) *bytesRead = static_cast<DWORD>(done);
  SetError(error, 0);
  return true;
}

bool FileSystem::Write(win::HANDLE handle, std::span<const win::BYTE> buffer,
                       DWORD* bytesWritten, DWORD* error) {
  if (bytesWritten) *bytesWritten = 0;
  OpenFile* file = Find(handle);
  if (!file) return Fail(error, win::ERROR_INVALID_HANDLE);
  if (!MayWrite(file->access)) return Fail(error, win::ERROR_ACCESS_DENIED);
  std::size_t want = std::min<std::size_t>(buffer.size(), 0xFFFFFFFFu);
  const bool append = AppendOnly(file->access);
  std::uint64_t size = free_space_ || append ? SizeOf(*file) : 0;
  std::uint64_t start = append ? size : file->position;
  std::uint64_t end = start + want;
  std::uint64_t growth = end > size ? end - size : 0;
  // The whole write is refused before a byte is written (partial writes on a
  // full disk are not modelled).
  if (want > 0 && free_space_ && growth > *free_space_) {
    return Fail(error, win::ERROR_DISK_FULL);
  }
  std::size_t done = 0;
  while (done < want) {
    ssize_t n = ::pwrite(file->fd, buffer.data() + done, std::min(want - done, kHostPiece),
                         static_cast<off_t>(start + done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      DWORD code = (n < 0 && (errno == ENOSPC || errno == EDQUOT))
                       ? win::ERROR_DISK_FULL : win::ERROR_WRITE_FAULT;
      if (done > 0) ForgetSizes();  // part of it may have been written
      return Fail(error, code);
    }
    done += static_cast<std::size_t>(n);
  }
  if (want > 0) {
    file->position = end;
    if (free_space_) *free_space_ -= growth;
    Resized(*file, end, /*truncated=*/false);
  }
  if (bytesWritten) *bytesWritten = static_cast<DWORD>(done);
  SetError(error, 0);
  return true;
}

DWORD FileSystem::Seek(win::HANDLE handle, win::LONG distance, win::LONG* distanceHigh,
                       DWORD method, DWORD* error) {
  auto fail = [&](DWORD code) {
    SetError(error, code);
    return win::INVALID_SET_FILE_POINTER;
  };
  OpenFile* file = Find(handle);
  if (!file) return fail(win::ERROR_INVALID_HANDLE);
  std::int64_t move = distance;
  if (distanceHigh) {
    auto high = static_cast<std::uint64_t>(static_cast<std::uint32_t>(*distanceHigh));
    std::uint64_t bits = (high << 32) | static_cast<std::uint32_t>(distance);
    move = static_cast<std::int64_t>(bits);
  }
  std::int64_t base = 0;
  switch (method) {
    case win::FILE_BEGIN: base = 0; break;
    case win::FILE_CURRENT: base = static_cast<std::int64_t>(file->position); break;
    case win::FILE_END: base = static_cast<std::int64_t>(SizeOf(*file)); break;
    default: return fail(win::ERROR_INVALID_PARAMETER);
  }
  if ((move < 0 && base < INT64_MIN - move) || (move > 0 && base > INT64_MAX - move)) {
    return fail(win::ERROR_INVALID_PARAMETER);
  }
  std::int64_t target = base + move;
  if (target < 0) return fail(win::ERROR_NEGATIVE_SEEK);
  // MS SetFilePointer: without a high part the position must fit in 32 bits.
  if (!distanceHigh && target > 0xFFFFFFFFll) return fail(win::ERROR_INVALID_PARAMETER);
  file->position = static_cast<std::uint64_t>(target);
  if (distanceHigh) *distanceHigh = static_cast<win::LONG>(file->position >> 32);
  SetError(error, 0);
  return static_cast<DWORD>(file->position & 0xFFFFFFFFu);
}

DWORD FileSystem::Size(win::HANDLE handle, DWORD* sizeHigh, DWORD* error) {
  OpenFile* file = Find(handle);
  if (!file) {
    SetError(error, win::ERROR_INVALID_HANDLE);
    return win::INVALID_FILE_SIZE;
  }
  std::uint64_t size = SizeOf(*file);
  if (sizeHigh) *sizeHigh = static_cast<DWORD>(size >> 32);
  SetError(error, 0);
  return static_cast<DWORD>(size & 0xFFFFFFFFu);
}

bool FileSystem::Close(win::HANDLE handle, DWORD* error) {
  auto it = handles_.find(static_cast<std::uintptr_t>(handle));
  if (it == handles_.end()) return Fail(error, win::ERROR_INVALID_HANDLE);
  std::string key = it->second->key;
  ::close(it->second->fd);
  handles_.erase(it);
  FinishPendingDelete(key);
  SetError(error, 0);
  return true;
}

// DeleteFileA opens the file for DELETE sharing everything, then marks it for
// deletion: the share check comes first (32), then read-only and mapped
// images (STATUS_CANNOT_DELETE, 5).
bool FileSystem::Delete(const char* path, DWORD* error) {
  if (!path) return Fail(error, win::ERROR_PATH_NOT_FOUND);
  Resolved r = Resolve(path);
  if (r.error) return Fail(error, r.error);
  if (!r.exists) {
    DWORD code = r.parent_is_directory ? win::ERROR_FILE_NOT_FOUND
                                       : win::ERROR_PATH_NOT_FOUND;
    return Fail(error, code);
  }
  if (r.is_directory || delete_pending_.count(r.key)) {
    return Fail(error, win::ERROR_ACCESS_DENIED);
  }
  if (SharingError(r.key, kDeleteAccess, kShareAll, false)) {
    return Fail(error, win::ERROR_SHARING_VIOLATION);
  }
  auto attr = attributes_.find(r.key);
  if ((attr != attributes_.end() && (attr->second & win::FILE_ATTRIBUTE_READONLY)) ||
      in_use_.count(r.key)) {
    return Fail(error, win::ERROR_ACCESS_DENIED);
  }
  if (HasOpeners(r.key)) {
    delete_pending_[r.key] = HostOf(r);  // every opener shares delete
  } else {
    struct stat st {};
    std::uint64_t size = HostStat(r, &st) == 0 ? static_cast<std::uint64_t>(st.st_size) : 0;
    int done = r.parent ? ::unlinkat(r.parent->fd, r.stored.back().c_str(), 0)
                        : ::unlink(HostOf(r).c_str());
    if (done != 0) return Fail(error, ErrorFromErrno(errno));
    Removed(r);
    Credit(size);
    attributes_.erase(r.key);
  }
  SetError(error, 0);
  return true;
}

// MoveFileA renames through a DELETE open of the source (so the source's
// openers must share delete), then refuses an existing target.
bool FileSystem::Move(const char* from, const char* to, DWORD* error) {
  if (!from || !to) return Fail(error, win::ERROR_PATH_NOT_FOUND);
  Resolved src = Resolve(from);
  if (src.error) return Fail(error, src.error);
  if (!src.exists) {
    DWORD code = src.parent_is_directory ? win::ERROR_FILE_NOT_FOUND
                                         : win::ERROR_PATH_NOT_FOUND;
    return Fail(error, code);
  }
  if (src.parts.empty() || delete_pending_.count(src.key)) {
    return Fail(error, win::ERROR_ACCESS_DENIED);
  }
  if (src.is_directory) {
    // A folder with anything open below it cannot be renamed.
    for (const auto& [value, file] : handles_) {
      if (IsSameOrBelow(file->key, src.key)) {
        return Fail(error, win::ERROR_ACCESS_DENIED);
      }
    }
  } else if (SharingError(src.key, kDeleteAccess, kShareAll, false)) {
    return Fail(error, win::ERROR_SHARING_VIOLATION);
  }
  // NT renames a mapped image (MS: Dynamic-Link Library Updates); 9x refuses
  // (Wine test file.c: test_MoveFileA, broken() result on Win9x).
  if (!rename_in_use_allowed_ && in_use_.count(src.key)) {
    return Fail(error, win::ERROR_ACCESS_DENIED);
  }
  Resolved dst = Resolve(to);
  if (dst.error) return Fail(error, dst.error);
  if (!dst.exists && !dst.parent_is_directory) {
    return Fail(error, win::ERROR_PATH_NOT_FOUND);
  }
  if (dst.key == src.key) {
    // Same file: only the spelling of the name may change.
    const std::string& name = dst.parts.back();
    if (name != src.stored.back()) {
      if (src.parent) {
        int fd = src.parent->fd;
        if (::renameat(fd, src.stored.back().c_str(), fd, name.c_str()) == 0) {
          FolderIndex::Entry entry = FolderIndex::Take(*src.parent, src.stored.back());
          entry.name = name;
          FolderIndex::Put(*src.parent, std::move(entry));
        }
      } else {
        std::string from = HostOf(src);
        std::string renamed = from.substr(0, from.rfind('/') + 1) + name;
        if (::rename(from.c_str(), renamed.c_str()) == 0) index_.Clear();
      }
    }
    SetError(error, 0);
    return true;
  }
  if (dst.exists) return Fail(error, win::ERROR_ALREADY_EXISTS);
  if (IsSameOrBelow(dst.key, src.key)) {
    return Fail(error, win::ERROR_ACCESS_DENIED);
  }
  if (src.parent && dst.parent) {
    if (::renameat(src.parent->fd, src.stored.back().c_str(), dst.parent->fd,
                   dst.stored.back().c_str()) != 0) {
      return Fail(error, ErrorFromErrno(errno));
    }
    FolderIndex::Entry entry = FolderIndex::Take(*src.parent, src.stored.back());
    entry.name = dst.stored.back();
    FolderIndex::Put(*dst.parent, std::move(entry));
  } else {
    if (::rename(HostOf(src).c_str(), HostOf(dst).c_str()) != 0) {
      return Fail(error, ErrorFromErrno(errno));
    }
    index_.Clear();
  }
  Rekey(src.key, dst.key);
  SetError(error, 0);
  return true;
}

// What the simulator keeps about a path follows it to its new name.
void FileSystem::Rekey(const std::string& from, const std::string& to) {
  auto move_keys = [&](auto& table) {
    using Table = std::remove_reference_t<decltype(table)>;
    Table moved;
    for (auto it = table.begin(); it != table.end();) {
      if (IsSameOrBelow(it->first, from)) {
        moved.emplace(to + it->first.substr(from.size()), std::move(it->second));
        it = table.erase(it);
      } else {
        ++it;
      }
    }
    for (auto& entry : moved) {
      table.insert_or_assign(entry.first, std::move(entry.second));
    }
  };
  move_keys(attributes_);
  move_keys(holds_);
  move_keys(in_use_);
  for (auto& [value, file] : handles_) {
    if (IsSameOrBelow(file->key, from)) file->key = to + file->key.substr(from.size());
  }
}

DWORD FileSystem::Attributes(const char* path, DWORD* error) {
  win::WIN32_FILE_ATTRIBUTE_DATA data;
  if (!AttributesEx(path, &data, error)) return win::INVALID_FILE_ATTRIBUTES;
  return data.dwFileAttributes;
}

bool FileSystem::AttributesEx(const char* path, win::WIN32_FILE_ATTRIBUTE_DATA* data,
                              DWORD* error) {
  if (!path) return Fail(error, win::ERROR_PATH_NOT_FOUND);
  Resolved r = Resolve(path);
  if (r.error) return Fail(error, r.error);
  if (!r.exists) {
    DWORD code = r.parent_is_directory ? win::ERROR_FILE_NOT_FOUND
                                       : win::ERROR_PATH_NOT_FOUND;
    return Fail(error, code);
  }
  if (delete_pending_.count(r.key)) return Fail(error, win::ERROR_ACCESS_DENIED);
  struct stat st {};
  if (HostStat(r, &st) != 0) return Fail(error, ErrorFromErrno(errno));
  DWORD attrs = r.is_directory ? 0 : win::FILE_ATTRIBUTE_ARCHIVE;
  if (auto it = attributes_.find(r.key); it != attributes_.end()) {
    attrs = it->second & ~win::FILE_ATTRIBUTE_DIRECTORY;
  }
  if (r.is_directory) attrs |= win::FILE_ATTRIBUTE_DIRECTORY;
  if (attrs == 0) attrs = win::FILE_ATTRIBUTE_NORMAL;
  if (data) {
    std::uint64_t ticks =
        (static_cast<std::uint64_t>(st.st_mtim.tv_sec) + kEpochDifference) * 10000000u +
        static_cast<std::uint64_t>(st.st_mtim.tv_nsec) / 100u;
    win::FILETIME time{static_cast<DWORD>(ticks & 0xFFFFFFFFu),
                       static_cast<DWORD>(ticks >> 32)};
    std::uint64_t size = r.is_directory ? 0 : static_cast<std::uint64_t>(st.st_size);
    data->dwFileAttributes = attrs;
    data->ftCreationTime = time;
    data->ftLastAccessTime = time;
    data->ftLastWriteTime = time;
    data->nFileSizeHigh = static_cast<DWORD>(size >> 32);
    data->nFileSizeLow = static_cast<DWORD>(size & 0xFFFFFFFFu);
  }
  SetError(error, 0);
  return true;
}

bool FileSystem::IsFileHandle(win::HANDLE file) const { return Find(file) != nullptr; }

std::string FileSystem::PathOf(win::HANDLE file) const {
  const OpenFile* open = Find(file);
  return open ? open->path : std::string();
}

std::size_t FileSystem::OpenHandleCount() const { return handles_.size(); }

// --- Direct access.

std::optional<fs::path> FileSystem::HostPath(std::string_view path) const {
  Resolved r = Resolve(path);
  if (r.error) return std::nullopt;
  return fs::path(HostOf(r));
}

bool FileSystem::Exists(std::string_view path) const {
  Resolved r = Resolve(path);
  return !r.error && r.exists;
}

bool FileSystem::IsDirectory(std::string_view path) const {
  Resolved r = Resolve(path);
  return !r.error && r.is_directory;
}

bool FileSystem::IsFile(std::string_view path) const {
  Resolved r = Resolve(path);
  return !r.error && r.exists && !r.is_directory;
}

std::optional<std::vector<win::BYTE>> FileSystem::ReadAll(std::string_view path) const {
  return ReadResolved(Resolve(path));
}

std::optional<std::vector<win::BYTE>> FileSystem::ReadResolved(const Resolved& r) const {
  if (r.error || !r.exists || r.is_directory) return std::nullopt;
  int fd = HostOpen(r, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  // A read of a regular file that comes short has met its end: a small file
  // takes one read, and only one that fills the buffer asks for its size.
  std::vector<win::BYTE> bytes(4096);
  std::size_t done = 0;
  for (;;) {
    ssize_t n = ::read(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<std::size_t>(n);
    if (done < bytes.size()) break;
    bytes.resize(std::max<std::size_t>(HostSize(fd) + 1, 2 * bytes.size()));
  }
  ::close(fd);
  bytes.resize(done);
  return bytes;
}

void FileSystem::WriteAll(std::string_view path, std::span<const win::BYTE> bytes) {
  WriteResolved(Resolve(path), bytes);
}

void FileSystem::WriteResolved(Resolved r, std::span<const win::BYTE> bytes) {
  if (r.error || r.parts.empty() || r.is_directory) return;
  if (!r.parent_is_directory) {
    std::vector<std::string> parent(r.parts.begin(), r.parts.end() - 1);
    MakeDirectories(Join(parent));
    r = ResolveParts(std::move(r.parts));
    if (r.error || !r.parent_is_directory) return;
  }
  int fd = HostOpen(r, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC);
  if (fd < 0) return;
  if (!r.exists) Created(r, FolderIndex::Kind::kFile);
  ForgetSizes();
  for (std::size_t done = 0; done < bytes.size();) {
    ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<std::size_t>(n);
  }
  ::close(fd);
}

void FileSystem::CopyAll(std::string_view from, std::string_view to) {
  Resolved source = Resolve(from);
  Resolved destination = Resolve(to);
  if (source.error || destination.error ||
      EqualNoCase(Join(source.stored), Join(destination.stored))) {
    return;
  }
  if (auto bytes = ReadResolved(source)) WriteResolved(std::move(destination), *bytes);
}

void FileSystem::WriteAll(std::string_view path, std::string_view text) {
  WriteAll(path, std::span<const win::BYTE>(
                     reinterpret_cast<const win::BYTE*>(text.data()), text.size()));
}

void FileSystem::MakeDirectories(std::string_view path) {
  Resolved r = Resolve(path);
  // The existing prefix must be a folder to go on below it.
  if (r.error || r.exists || !r.found_is_directory) return;
  for (std::size_t i = r.matched; i < r.parts.size(); ++i) {
    Resolved step = ResolveParts({r.parts.begin(), r.parts.begin() + i + 1});
    if (step.exists) {
      if (!step.is_directory) return;
      continue;
    }
    int done = step.parent ? ::mkdirat(step.parent->fd, step.stored.back().c_str(), 0777)
                           : ::mkdir(HostOf(step).c_str(), 0777);
    if (done != 0) return;
    Created(step, FolderIndex::Kind::kFolder);
  }
}

bool FileSystem::Remove(std::string_view path) {
  Resolved r = Resolve(path);
  if (r.error || !r.exists || r.parts.empty()) return false;
  std::error_code ec;
  std::uintmax_t removed = fs::remove_all(HostOf(r), ec);
  ForgetSizes();
  if (ec) index_.Clear();  // some of the tree may be gone
  if (removed == 0 || ec) return false;
  Removed(r);
  std::erase_if(attributes_,
                [&](const auto& e) { return IsSameOrBelow(e.first, r.key); });
  return true;
}

std::string FileSystem::Canonical(std::string_view path) const {
  Resolved r = Resolve(path);
  return r.error ? std::string() : Join(r.stored);
}

std::vector<std::string> FileSystem::List(std::string_view folder) const {
  std::vector<std::string> out;
  Resolved r = Resolve(folder);
  if (r.error || !r.is_directory) return out;
  FolderIndex::Folder* top = r.parts.empty() ? index_.Root() : nullptr;
  if (r.parent) {
    FolderIndex::Entry* entry = FolderIndex::Find(*r.parent, r.stored.back());
    if (entry && entry->kind == FolderIndex::Kind::kFolder) top = index_.Open(*r.parent, *entry);
  }
  if (top) {
    ListIndexed(*top, Join(r.stored), &out);
  } else {
    ListOnHost(HostOf(r), Join(r.stored), &out);
  }
  std::sort(out.begin(), out.end());
  return out;
}

// The regular files below a folder; host links are neither listed nor followed.
void FileSystem::ListIndexed(FolderIndex::Folder& folder, const std::string& path,
                             std::vector<std::string>* out) const {
  for (auto& [key, entries] : folder.names) {
    for (FolderIndex::Entry& entry : entries) {
      std::string name = path.ends_with('\\') ? path + entry.name : path + '\\' + entry.name;
      if (entry.kind == FolderIndex::Kind::kFile) {
        out->push_back(std::move(name));
      } else if (entry.kind == FolderIndex::Kind::kFolder) {
        if (FolderIndex::Folder* below = index_.Open(folder, entry)) {
          ListIndexed(*below, name, out);
        } else {
          ListOnHost(HostOf(Resolve(name)), name, out);
        }
      }
    }
  }
}

void FileSystem::ListOnHost(const std::string& host, const std::string& path,
                            std::vector<std::string>* out) {
  std::error_code ec;
  const fs::path top(host);
  for (fs::recursive_directory_iterator it(top, ec), end; !ec && it != end;
       it.increment(ec)) {
    if (it->is_symlink(ec) || !it->is_regular_file(ec)) continue;
    std::string name = path;
    for (const auto& part : it->path().lexically_relative(top)) {
      if (!name.ends_with('\\')) name += '\\';
      name += part.string();
    }
    out->push_back(std::move(name));
  }
}

void FileSystem::SetCurrentDirectory(std::string path) {
  Resolved r = Resolve(path);
  if (!r.error) current_directory_ = Join(r.stored);
}

// --- State beside the files.

void FileSystem::SetAttributes(std::string_view path, DWORD attributes) {
  std::string key = KeyOf(path);
  attributes &= ~win::FILE_ATTRIBUTE_DIRECTORY;
  if (attributes == win::FILE_ATTRIBUTE_ARCHIVE) {
    attributes_.erase(key);  // what every file has without an entry
  } else {
    attributes_[key] = attributes;
  }
}

void FileSystem::HoldByOtherProcess(std::string_view path, DWORD shareMode, DWORD access) {
  holds_[KeyOf(path)] = Hold{shareMode, access};
}

void FileSystem::MarkInUse(std::string_view path) { in_use_[KeyOf(path)] = true; }

void FileSystem::Release(std::string_view path) {
  std::string key = KeyOf(path);
  holds_.erase(key);
  in_use_.erase(key);
  FinishPendingDelete(key);
}

void FileSystem::ReleaseAll() {
  holds_.clear();
  in_use_.clear();
  std::vector<std::string> pending;
  for (const auto& [key, host] : delete_pending_) pending.push_back(key);
  for (const auto& key : pending) FinishPendingDelete(key);
}

}  // namespace orvane::winsim
