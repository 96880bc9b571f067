// The names in drive C:'s folders, held in memory so that resolving a path asks
// the host nothing once its folders are known.
//
// A folder is read from the host (one open and one listing) the first time a
// path goes through it, and from then on the index is the truth: the file
// system updates it with each of its own creates, deletes and moves. Nothing
// else may change the drive meanwhile; the machine lock keeps other processes
// out for a whole run, and every new FileSystem (every run, every load of a
// machine folder) starts from an empty index, so changes made on the host
// between two runs are seen by the next.
//
// Each folder keeps an open descriptor, so the calls that must ask the host
// (open, stat, unlink, rename) name one component relative to it instead of a
// whole host path. Host links are recorded as links and never followed here:
// the file system resolves below them on the host, as it did before.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace orvane::winsim {

class FolderIndex {
 public:
  enum class Kind : std::uint8_t { kFile, kFolder, kLink, kOther };

  struct Folder;
  struct Entry {
    std::string name;  // as stored on the host
    Kind kind = Kind::kOther;
    std::unique_ptr<Folder> folder;  // a folder's own names, once read
  };
  // Names compared without regard to case (ASCII letters only, as the file
  // system compares them), looked up without a copy.
  struct CaseHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view name) const;
  };
  struct CaseEqual {
    using is_transparent = void;
    bool operator()(std::string_view a, std::string_view b) const;
  };
  struct Folder {
    Folder() = default;
    ~Folder();
    Folder(const Folder&) = delete;
    Folder& operator=(const Folder&) = delete;
    int fd = -1;
    // A name to the entries spelled so but for case, in name order (a host
    // folder may hold names that differ in case only).
    std::unordered_map<std::string, std::vector<Entry>, CaseHash, CaseEqual> names;
  };

  // `root` is the host folder of drive C:.
  explicit FolderIndex(std::string root) : root_path_(std::move(root)) {}

  // Drive C:'s root folder, read on first use; null when the host refuses it.
  Folder* Root();
  // The folder of `entry` (a folder entry of `parent`), read on first use;
  // null when the host refuses it.
  Folder* Open(Folder& parent, Entry& entry);

  // The entry `name` designates in `folder` regardless of case: an exact
  // match wins, then the lowest of the names that differ in case only.
  static Entry* Find(Folder& folder, std::string_view name);

  // The file system's own changes, made on the host already.
  static void Add(Folder& folder, std::string name, Kind kind);
  // A folder just made in `parent`: empty, so there is nothing to read.
  static void AddNewFolder(Folder& parent, std::string name);
  // Takes the entry out, with what is known below it.
  static Entry Take(Folder& folder, std::string_view exactName);
  static void Put(Folder& folder, Entry entry);

  // Forgets everything: the next lookups read the host again.
  void Clear() { root_.reset(); }

 private:
  static std::unique_ptr<Folder> Read(int fd);

  std::string root_path_;
  std::unique_ptr<Folder> root_;
};

}  // namespace orvane::winsim
