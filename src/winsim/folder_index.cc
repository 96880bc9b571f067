#include "winsim/folder_index.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace orvane::winsim {
namespace {

constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;

constexpr char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; }

// The listing's type where the host file system gives one, else lstat's.
FolderIndex::Kind KindOf(int dirFd, const char* name, unsigned char type) {
  if (type == DT_UNKNOWN) {
    struct stat st {};
    if (::fstatat(dirFd, name, &st, AT_SYMLINK_NOFOLLOW) != 0) return FolderIndex::Kind::kOther;
    type = S_ISDIR(st.st_mode) ? DT_DIR : S_ISLNK(st.st_mode) ? DT_LNK
                                        : S_ISREG(st.st_mode) ? DT_REG : DT_UNKNOWN;
  }
  switch (type) {
    case DT_DIR: return FolderIndex::Kind::kFolder;
    case DT_LNK: return FolderIndex::Kind::kLink;
    case DT_REG: return FolderIndex::Kind::kFile;
    default: return FolderIndex::Kind::kOther;
  }
}

}  // namespace

std::size_t FolderIndex::CaseHash::operator()(std::string_view name) const {
  std::size_t h = 14695981039346656037ull;  // FNV-1a
  for (char c : name) h = (h ^ static_cast<unsigned char>(Upper(c))) * 1099511628211ull;
  return h;
}

bool FolderIndex::CaseEqual::operator()(std::string_view a, std::string_view b) const {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(),
                    [](char x, char y) { return Upper(x) == Upper(y); });
}

FolderIndex::Folder::~Folder() {
  if (fd >= 0) ::close(fd);
}

// Takes `fd` (a folder open for reading) and lists it; null, with `fd`
// closed, when the listing fails.
std::unique_ptr<FolderIndex::Folder> FolderIndex::Read(int fd) {
  if (fd < 0) return nullptr;
  auto folder = std::make_unique<Folder>();
  folder->fd = fd;
  alignas(dirent64) char buffer[16384];
  for (;;) {
    ssize_t n = ::getdents64(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return nullptr;
    if (n == 0) return folder;
    for (ssize_t at = 0; at < n;) {
      const auto* d = reinterpret_cast<const dirent64*>(buffer + at);
      at += d->d_reclen;
      std::string_view name = d->d_name;
      if (name == "." || name == "..") continue;
      Add(*folder, std::string(name), KindOf(fd, d->d_name, d->d_type));
    }
  }
}

FolderIndex::Folder* FolderIndex::Root() {
  if (!root_) root_ = Read(::open(root_path_.c_str(), kFolderFlags));
  return root_.get();
}

FolderIndex::Folder* FolderIndex::Open(Folder& parent, Entry& entry) {
  if (!entry.folder) {
    entry.folder = Read(::openat(parent.fd, entry.name.c_str(), kFolderFlags | O_NOFOLLOW));
  }
  return entry.folder.get();
}

FolderIndex::Entry* FolderIndex::Find(Folder& folder, std::string_view name) {
  auto it = folder.names.find(name);
  if (it == folder.names.end() || it->second.empty()) return nullptr;
  for (Entry& e : it->second) {
    if (e.name == name) return &e;
  }
  return &it->second.front();
}

void FolderIndex::Add(Folder& folder, std::string name, Kind kind) {
  Put(folder, Entry{std::move(name), kind, nullptr});
}

void FolderIndex::AddNewFolder(Folder& parent, std::string name) {
  auto folder = std::make_unique<Folder>();
  folder->fd = ::openat(parent.fd, name.c_str(), kFolderFlags | O_NOFOLLOW);
  // Without a descriptor it is read like any other, on first use.
  if (folder->fd < 0) folder.reset();
  Put(parent, Entry{std::move(name), Kind::kFolder, std::move(folder)});
}

void FolderIndex::Put(Folder& folder, Entry entry) {
  std::vector<Entry>& same = folder.names[entry.name];
  auto at = std::find_if(same.begin(), same.end(),
                         [&](const Entry& e) { return e.name >= entry.name; });
  if (at != same.end() && at->name == entry.name) {
    *at = std::move(entry);  // the host has one entry of a name
  } else {
    same.insert(at, std::move(entry));
  }
}

FolderIndex::Entry FolderIndex::Take(Folder& folder, std::string_view exactName) {
  auto it = folder.names.find(exactName);
  if (it == folder.names.end()) return {};
  std::vector<Entry>& same = it->second;
  auto at = std::find_if(same.begin(), same.end(),
                         [&](const Entry& e) { return e.name == exactName; });
  if (at == same.end()) return {};
  Entry taken = std::move(*at);
  same.erase(at);
  if (same.empty()) folder.names.erase(it);
  return taken;
}

}  // namespace orvane::winsim
