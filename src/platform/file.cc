#include "platform/file.h"

#include <utility>

namespace orvane {
namespace {

// Windows error codes and the file-error cause the framework reports for them.
// Codes not listed are `generic`.
struct CauseEntry {
  win::DWORD code;
  FileException::Cause cause;
};
constexpr CauseEntry kCauses[] = {
    {0, FileException::none},
    {win::ERROR_FILE_NOT_FOUND, FileException::fileNotFound},
    {win::ERROR_PATH_NOT_FOUND, FileException::badPath},
    {4, FileException::tooManyOpenFiles},  // ERROR_TOO_MANY_OPEN_FILES
    {win::ERROR_ACCESS_DENIED, FileException::accessDenied},
    {win::ERROR_INVALID_HANDLE, FileException::fileNotFound},
    {15, FileException::badPath},           // ERROR_INVALID_DRIVE
    {16, FileException::removeCurrentDir},  // ERROR_CURRENT_DIRECTORY
    {19, FileException::accessDenied},      // ERROR_WRITE_PROTECT
    {win::ERROR_WRITE_FAULT, FileException::hardIO},
    {win::ERROR_READ_FAULT, FileException::hardIO},
    {win::ERROR_SHARING_VIOLATION, FileException::sharingViolation},
    {33, FileException::lockViolation},  // ERROR_LOCK_VIOLATION
    {win::ERROR_HANDLE_EOF, FileException::endOfFile},
    {39, FileException::diskFull},  // ERROR_HANDLE_DISK_FULL
    {win::ERROR_FILE_EXISTS, FileException::accessDenied},
    {win::ERROR_DISK_FULL, FileException::diskFull},
    {win::ERROR_INVALID_NAME, FileException::badPath},
    {win::ERROR_NEGATIVE_SEEK, FileException::badSeek},
    {132, FileException::badSeek},  // ERROR_SEEK_ON_DEVICE
    {win::ERROR_BAD_PATHNAME, FileException::badPath},
    {win::ERROR_ALREADY_EXISTS, FileException::accessDenied},
    {206, FileException::badPath},  // ERROR_FILENAME_EXCED_RANGE
};

// The access that the mode bits (the low two) ask for; 0 for the undefined 3.
win::DWORD AccessOf(win::UINT flags) {
  switch (flags & 0x3) {
    case File::modeRead:
      return win::GENERIC_READ;
    case File::modeWrite:
      return win::GENERIC_WRITE;
    case File::modeReadWrite:
      return win::GENERIC_READ | win::GENERIC_WRITE;
  }
  return 0;
}

// The share mode: compatibility mode is taken as exclusive, as the framework
// does on Win32 (there is no compatibility mode there).
win::DWORD ShareOf(win::UINT flags) {
  switch (flags & 0x70) {
    case File::shareDenyWrite:
      return win::FILE_SHARE_READ;
    case File::shareDenyRead:
      return win::FILE_SHARE_WRITE;
    case File::shareDenyNone:
      return win::FILE_SHARE_READ | win::FILE_SHARE_WRITE;
    default:  // shareCompat, shareExclusive and the undefined 0x50..0x70
      return 0;
  }
}

win::DWORD DispositionOf(win::UINT flags) {
  if ((flags & File::modeCreate) == 0) return win::OPEN_EXISTING;
  return (flags & File::modeNoTruncate) != 0 ? win::OPEN_ALWAYS : win::CREATE_ALWAYS;
}

}  // namespace

FileException::FileException(Cause cause, win::LONG osError, std::string fileName)
    : std::runtime_error("file error " + std::to_string(osError) + " on \"" + fileName +
                         "\""),
      m_cause(cause),
      m_lOsError(osError),
      m_strFileName(std::move(fileName)) {}

FileException::Cause FileException::OsErrorToCause(win::LONG osError) {
  for (const CauseEntry& entry : kCauses) {
    if (entry.code == static_cast<win::DWORD>(osError)) return entry.cause;
  }
  return generic;
}

void FileException::ThrowOsError(win::LONG osError, std::string fileName) {
  throw FileException(OsErrorToCause(osError), osError, std::move(fileName));
}

File::File(Platform& platform) : platform_(&platform) {}

File::~File() { Abort(); }

File::File(File&& other) noexcept
    : platform_(other.platform_),
      handle_(std::exchange(other.handle_, win::INVALID_HANDLE_VALUE)),
      path_(std::move(other.path_)) {
  other.path_.clear();
}

File& File::operator=(File&& other) noexcept {
  if (this != &other) {
    Abort();
    platform_ = other.platform_;
    handle_ = std::exchange(other.handle_, win::INVALID_HANDLE_VALUE);
    path_ = std::move(other.path_);
    other.path_.clear();
  }
  return *this;
}

bool File::Open(const char* path, win::UINT flags) {
  Abort();
  const win::DWORD access = AccessOf(flags);
  if (access == 0) {
    platform_->SetLastError(win::ERROR_INVALID_PARAMETER);
    return false;
  }
  const win::HANDLE handle =
      platform_->CreateFileA(path, access, ShareOf(flags), nullptr, DispositionOf(flags),
                             win::FILE_ATTRIBUTE_NORMAL, win::kNullHandle);
  if (handle == win::INVALID_HANDLE_VALUE) return false;
  handle_ = handle;
  path_ = path;
  return true;
}

// Measured as the framework does, by seeking: the current position, the end,
// and back. Seeking leaves the last-error value alone on success, where
// GetFileSize would make a stale value ambiguous for a 4 GB - 1 byte file.
win::DWORD File::GetLength() {
  RequireOpen();
  const win::DWORD current =
      platform_->SetFilePointer(handle_, 0, nullptr, win::FILE_CURRENT);
  if (current == win::INVALID_SET_FILE_POINTER) ThrowLastError();
  const win::DWORD length = SeekToEnd();
  if (platform_->SetFilePointer(handle_, static_cast<win::LONG>(current), nullptr,
                                win::FILE_BEGIN) == win::INVALID_SET_FILE_POINTER) {
    ThrowLastError();
  }
  return length;
}

win::UINT File::Read(std::span<win::BYTE> buffer) {
  RequireOpen();
  if (buffer.empty()) return 0;
  win::DWORD read = 0;
  if (!platform_->ReadFile(handle_, buffer, &read)) ThrowLastError();
  return read;
}

void File::Write(std::span<const win::BYTE> buffer) {
  RequireOpen();
  if (buffer.empty()) return;
  win::DWORD written = 0;
  if (!platform_->WriteFile(handle_, buffer, &written)) ThrowLastError();
  if (written != buffer.size()) {
    throw FileException(FileException::diskFull, -1, path_);
  }
}

win::DWORD File::SeekToEnd() {
  RequireOpen();
  const win::DWORD position =
      platform_->SetFilePointer(handle_, 0, nullptr, win::FILE_END);
  if (position == win::INVALID_SET_FILE_POINTER) ThrowLastError();
  return position;
}

void File::Close() {
  if (!is_open()) return;
  const bool closed = platform_->CloseHandle(handle_) != win::FALSE;
  handle_ = win::INVALID_HANDLE_VALUE;
  std::string path = std::move(path_);
  path_.clear();
  if (!closed) {
    FileException::ThrowOsError(static_cast<win::LONG>(platform_->GetLastError()),
                                std::move(path));
  }
}

void File::Abort() noexcept {
  if (!is_open()) return;
  platform_->CloseHandle(handle_);
  handle_ = win::INVALID_HANDLE_VALUE;
  path_.clear();
}

bool File::GetStatus(Platform& platform, const char* path, FileStatus* status) {
  win::WIN32_FILE_ATTRIBUTE_DATA data;
  if (!platform.GetFileAttributesExA(path, &data)) return false;
  status->m_size = static_cast<win::LONG>(data.nFileSizeLow);
  status->m_attribute = static_cast<win::BYTE>(data.dwFileAttributes & 0xFF);
  return true;
}

void File::Remove(Platform& platform, const char* path) {
  if (!platform.DeleteFileA(path)) {
    FileException::ThrowOsError(static_cast<win::LONG>(platform.GetLastError()), path);
  }
}

void File::Rename(Platform& platform, const char* from, const char* to) {
  if (!platform.MoveFileA(from, to)) {
    FileException::ThrowOsError(static_cast<win::LONG>(platform.GetLastError()), from);
  }
}

void File::RequireOpen() const {
  if (!is_open()) {
    throw FileException(FileException::fileNotFound,
                        static_cast<win::LONG>(win::ERROR_INVALID_HANDLE), path_);
  }
}

void File::ThrowLastError() {
  FileException::ThrowOsError(static_cast<win::LONG>(platform_->GetLastError()), path_);
}

}  // namespace orvane
