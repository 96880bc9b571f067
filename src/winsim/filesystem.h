// The simulated disk: drive C: of the machine kept in a host folder (the machine
// folder's drive_c/), changed in place as a disk is.
//
// Windows' rules kept here:
// - Paths ("c:\orvane\res", "C:/x", relative to the current folder) resolve
//   without regard to case; a new file takes the case it is created with.
//   Drives other than C: do not exist (ERROR_PATH_NOT_FOUND).
// - Share modes between open handles, checked both ways as Windows does
//   (ERROR_SHARING_VIOLATION), including the holds of "another process".
// - CreateFileA's dispositions with Windows' codes (80, 2, 3; 183 left behind by
//   a successful OPEN_ALWAYS or CREATE_ALWAYS on an existing file).
// - Read-only files refuse write access and deletion (ERROR_ACCESS_DENIED);
//   files "in use" (a loaded DLL, a running program) refuse deletion
//   (ERROR_ACCESS_DENIED) and opens for writing (ERROR_SHARING_VIOLATION).
// - DeleteFileA on a file whose every opener shares delete succeeds and leaves
//   the file "delete pending": it goes when the last handle closes (or its hold
//   is released), and opens meanwhile fail with ERROR_ACCESS_DENIED.
// - A full disk: a write that would pass the free space fails with
//   ERROR_DISK_FULL and writes nothing.
//
// Every call returns its result and puts Windows' error code in *error (0 when a
// success leaves nothing to report). The machine turns that into the last-error
// value.
//
// The names on the drive are read from the host once per folder and then kept
// in memory (folder_index.h): while a FileSystem lives, it alone changes the
// folder. Changes made on the host meanwhile are not seen; a new FileSystem
// (the next run) sees them.
#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/win32_types.h"
#include "winsim/folder_index.h"

namespace orvane::winsim {

class FileSystem {
 public:
  // `driveC` is the host folder that holds drive C:; it must exist.
  explicit FileSystem(std::filesystem::path driveC);
  ~FileSystem();
  FileSystem(const FileSystem&) = delete;
  FileSystem& operator=(const FileSystem&) = delete;

  // --- The calls.
  win::HANDLE CreateFile(const char* path, win::DWORD access, win::DWORD share,
                         win::DWORD disposition, win::DWORD attributes,
                         win::DWORD* error);
  bool Read(win::HANDLE file, std::span<win::BYTE> buffer, win::DWORD* bytesRead,
            win::DWORD* error);
  bool Write(win::HANDLE file, std::span<const win::BYTE> buffer,
             win::DWORD* bytesWritten, win::DWORD* error);
  // SetFilePointer's contract: the low 32 bits of the new position, the high
  // ones in *distanceHigh; INVALID_SET_FILE_POINTER with an error on failure.
  win::DWORD Seek(win::HANDLE file, win::LONG distance, win::LONG* distanceHigh,
                  win::DWORD method, win::DWORD* error);
  win::DWORD Size(win::HANDLE file, win::DWORD* sizeHigh, win::DWORD* error);
  bool Close(win::HANDLE file, win::DWORD* error);
  bool Delete(const char* path, win::DWORD* error);
  bool Move(const char* from, const char* to, win::DWORD* error);
  win::DWORD Attributes(const char* path, win::DWORD* error);
  bool AttributesEx(const char* path, win::WIN32_FILE_ATTRIBUTE_DATA* data,
                    win::DWORD* error);

  // Is this handle one of ours, and what path (as opened) does it name?
  bool IsFileHandle(win::HANDLE file) const;
  std::string PathOf(win::HANDLE file) const;
  std::size_t OpenHandleCount() const;

  // --- Direct access for the simulator and for tests; no share checks.
  // Windows path to host path, resolved without regard to case. For a path
  // that does not exist, the existing part is resolved and the rest appended.
  // Null for paths outside drive C:.
  std::optional<std::filesystem::path> HostPath(std::string_view path) const;
  bool Exists(std::string_view path) const;
  bool IsDirectory(std::string_view path) const;
  // An existing file, not a folder.
  bool IsFile(std::string_view path) const;
  std::optional<std::vector<win::BYTE>> ReadAll(std::string_view path) const;
  // Writes the whole file, creating missing folders.
  void WriteAll(std::string_view path, std::span<const win::BYTE> bytes);
  void WriteAll(std::string_view path, std::string_view text);
  // WriteAll(to, ReadAll(from)); nothing when `from` cannot be read or both
  // name the same file.
  void CopyAll(std::string_view from, std::string_view to);
  void MakeDirectories(std::string_view path);
  bool Remove(std::string_view path);
  // Canonical Windows form of an existing path ("C:\ORVANE\res"), in the stored
  // case; for a missing tail the tail as given.
  std::string Canonical(std::string_view path) const;
  // The files below a folder, recursively, as Windows paths, sorted.
  std::vector<std::string> List(std::string_view folder) const;

  // Current folder for relative paths; default "C:\".
  void SetCurrentDirectory(std::string path);
  const std::string& current_directory() const { return current_directory_; }

  // --- State the simulator keeps beside the files (persisted in machine.ini).
  // Attributes that the host cannot keep (read-only, hidden, system).
  void SetAttributes(std::string_view path, win::DWORD attributes);
  const std::map<std::string, win::DWORD>& attribute_table() const {
    return attributes_;
  }
  // Another process holds the file open with this share mode and access
  // (GENERIC_READ | GENERIC_WRITE unless told otherwise); kept until Release.
  // It counts in the share check as a handle of this process would.
  struct Hold {
    win::DWORD share = 0;
    win::DWORD access = kHoldAccess;
  };
  static constexpr win::DWORD kHoldAccess = win::GENERIC_READ | win::GENERIC_WRITE;
  void HoldByOtherProcess(std::string_view path, win::DWORD shareMode,
                          win::DWORD access = kHoldAccess);
  // A loaded DLL or running program (Windows: the image is mapped): opens for
  // writing fail with ERROR_SHARING_VIOLATION, deletion with
  // ERROR_ACCESS_DENIED; reads succeed, and so does a rename on the NT family.
  void MarkInUse(std::string_view path);
  void Release(std::string_view path);
  void ReleaseAll();
  const std::map<std::string, Hold>& holds() const { return holds_; }
  const std::map<std::string, bool>& in_use() const { return in_use_; }
  // Free bytes on C:; unset means unlimited.
  void SetFreeSpace(std::optional<std::uint64_t> bytes) { free_space_ = bytes; }
  std::optional<std::uint64_t> free_space() const { return free_space_; }
  // NT renames a file in use (a loaded DLL can be moved aside); Windows
  // 95/98/ME refuse with ERROR_ACCESS_DENIED. Default: allowed.
  void SetRenameInUseAllowed(bool allowed) { rename_in_use_allowed_ = allowed; }

  struct OpenFile;

 private:
  struct Resolved;
  Resolved Resolve(std::string_view path) const;
  Resolved ResolveParts(std::vector<std::string> parts) const;
  std::string HostOf(const Resolved& r) const;
  void ListIndexed(FolderIndex::Folder& folder, const std::string& path,
                   std::vector<std::string>* out) const;
  static void ListOnHost(const std::string& host, const std::string& path,
                         std::vector<std::string>* out);
  bool StaysOnDrive(const std::string& host) const;
  int HostOpen(const Resolved& r, int flags) const;
  int HostStat(const Resolved& r, struct stat* st) const;
  std::optional<std::vector<win::BYTE>> ReadResolved(const Resolved& r) const;
  void WriteResolved(Resolved r, std::span<const win::BYTE> bytes);
  void Created(const Resolved& r, FolderIndex::Kind kind);
  void Removed(const Resolved& r);
  win::DWORD Split(std::string_view path, std::vector<std::string>* parts) const;
  std::string KeyOf(std::string_view path) const;
  OpenFile* Find(win::HANDLE file) const;
  win::DWORD SharingError(const std::string& key, win::DWORD access,
                          win::DWORD share, bool truncates) const;
  bool HasOpeners(const std::string& key) const;
  void FinishPendingDelete(const std::string& key);
  void Rekey(const std::string& from, const std::string& to);
  void Credit(std::uint64_t bytes);
  std::uint64_t SizeOf(OpenFile& file) const;
  void Resized(const OpenFile& by, std::uint64_t end, bool truncated);
  void ForgetSizes();

  std::string drive_c_;  // host path
  std::string current_directory_ = "C:\\";
  // Keys are canonical Windows paths in upper case.
  std::map<std::string, win::DWORD> attributes_;
  std::map<std::string, Hold> holds_;
  std::map<std::string, bool> in_use_;
  std::optional<std::uint64_t> free_space_;
  std::map<std::uintptr_t, std::unique_ptr<OpenFile>> handles_;
  std::uintptr_t next_handle_ = 0x1000;
  std::filesystem::path root_;  // drive_c_ with host links resolved
  // Files deleted while open: key to host path, removed when the last opener goes.
  std::map<std::string, std::string> delete_pending_;
  mutable FolderIndex index_;
  bool rename_in_use_allowed_ = true;
};

}  // namespace orvane::winsim
