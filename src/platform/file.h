// File: the installer's file object, built once on the Platform's file
// primitives so that it behaves the same over the real API and the simulator.
//
// It keeps the application framework's file semantics, because the install
// steps are written against them:
// - Open reports failure through its result and never throws; the last-error
//   value is the one CreateFileA left.
// - Every other failing operation throws FileException carrying Windows' code.
// - A write that the system reports as shorter than asked throws a disk-full
//   FileException (there is no OS code for it: m_lOsError is -1).
// - Reading or writing zero bytes of an open file calls nothing, cannot fail.
// - GetLength, Read, Write and SeekToEnd on an object that holds no file throw
//   (ERROR_INVALID_HANDLE, fileNotFound) without calling the platform.
// - The destructor closes the handle and swallows any failure (a destructor
//   must not throw); call Close to see one.
//
// The flag values are the framework's, so the modes read as the numbers the
// installer was written with (0xB002 for the log, 0x8040 and 0x9012 for a copy).
#pragma once

#include <span>
#include <stdexcept>
#include <string>

#include "platform/platform.h"
#include "platform/win32_types.h"

namespace orvane {

// The framework's file-error exception. The cause names keep the framework's
// spelling so that code reads as it would against the framework.
class FileException : public std::runtime_error {
 public:
  enum Cause : int {
    none = 0,
    generic = 1,
    fileNotFound = 2,
    badPath = 3,
    tooManyOpenFiles = 4,
    accessDenied = 5,
    invalidFile = 6,
    removeCurrentDir = 7,
    directoryFull = 8,
    badSeek = 9,
    hardIO = 10,
    sharingViolation = 11,
    lockViolation = 12,
    diskFull = 13,
    endOfFile = 14,
  };

  FileException(Cause cause, win::LONG osError, std::string fileName);

  // The cause that the framework derives from a Windows error code; codes it
  // does not classify give `generic`.
  static Cause OsErrorToCause(win::LONG osError);
  // Throws a FileException for a Windows error code.
  [[noreturn]] static void ThrowOsError(win::LONG osError, std::string fileName);

  Cause m_cause;
  win::LONG m_lOsError;  // Windows' error code, or -1 when there is none
  std::string m_strFileName;
};

// What GetStatus reports about a path.
struct FileStatus {
  // The size as the framework kept it: the low 32 bits of the size, as a
  // signed count (a file of 2 GB or more shows as negative).
  win::LONG m_size = 0;
  win::BYTE m_attribute = 0;  // the low byte of the file attributes
};

class File {
 public:
  // Open flags, with the framework's values.
  static constexpr win::UINT modeRead = 0x0000;
  static constexpr win::UINT modeWrite = 0x0001;
  static constexpr win::UINT modeReadWrite = 0x0002;
  static constexpr win::UINT shareCompat = 0x0000;
  static constexpr win::UINT shareExclusive = 0x0010;
  static constexpr win::UINT shareDenyWrite = 0x0020;
  static constexpr win::UINT shareDenyRead = 0x0030;
  static constexpr win::UINT shareDenyNone = 0x0040;
  static constexpr win::UINT modeNoInherit = 0x0080;
  static constexpr win::UINT modeCreate = 0x1000;
  static constexpr win::UINT modeNoTruncate = 0x2000;
  static constexpr win::UINT typeText = 0x4000;
  static constexpr win::UINT typeBinary = 0x8000;

  explicit File(Platform& platform);
  ~File();
  File(File&& other) noexcept;
  File& operator=(File&& other) noexcept;
  File(const File&) = delete;
  File& operator=(const File&) = delete;

  // CreateFileA with the access, share mode and disposition the flags stand for
  // (see file.cc) and FILE_ATTRIBUTE_NORMAL. True when the file is open. On
  // failure the object holds no file and the last-error value is CreateFileA's.
  // A file this object already held is closed first (failures ignored). Access
  // bits 3 (no such mode) fail with ERROR_INVALID_PARAMETER without a call.
  // modeNoInherit, typeText and typeBinary change nothing here.
  bool Open(const char* path, win::UINT flags);

  // The length in bytes (32 bits, as the framework had it). The file position
  // is unchanged afterwards. Throws FileException on failure.
  win::DWORD GetLength();
  // Reads up to buffer.size() bytes at the current position; returns the count
  // read (0 at the end of the file). Throws FileException on failure.
  win::UINT Read(std::span<win::BYTE> buffer);
  // Writes the whole buffer at the current position. Throws FileException on
  // failure, and a diskFull one (m_lOsError -1) when fewer bytes were written.
  void Write(std::span<const win::BYTE> buffer);
  // Moves to the end of the file; returns the new position. Throws on failure.
  win::DWORD SeekToEnd();
  // Closes the file. Closing a file that is not open does nothing. Throws
  // FileException when CloseHandle fails; the object holds no file afterwards
  // either way.
  void Close();
  // Closes the file, ignoring any failure. Never throws.
  void Abort() noexcept;

  bool is_open() const { return handle_ != win::INVALID_HANDLE_VALUE; }
  win::HANDLE handle() const { return handle_; }
  // The path as given to Open; empty when no file is open.
  const std::string& path() const { return path_; }

  // True when `path` names an existing file or folder; then *status holds its
  // size and attributes. On false *status is untouched.
  static bool GetStatus(Platform& platform, const char* path, FileStatus* status);
  // DeleteFileA; throws FileException (naming `path`) on failure.
  static void Remove(Platform& platform, const char* path);
  // MoveFileA; throws FileException (naming `from`) on failure. An existing
  // `to` is not replaced: that fails with ERROR_ALREADY_EXISTS.
  static void Rename(Platform& platform, const char* from, const char* to);

 private:
  void RequireOpen() const;
  [[noreturn]] void ThrowLastError();

  Platform* platform_;
  win::HANDLE handle_ = win::INVALID_HANDLE_VALUE;
  std::string path_;
};

}  // namespace orvane
