#include "install/copy_file.h"

#include <algorithm>
#include <span>
#include <utility>

#include "app/setup_log.h"
#include "platform/file.h"
#include "platform/heap_block.h"
#include "platform/format.h"

namespace orvane {
namespace {

constexpr win::UINT kSourceMode = File::modeRead | File::shareDenyNone | File::typeBinary;
constexpr win::UINT kDestinationMode =
    File::modeReadWrite | File::shareExclusive | File::modeCreate | File::typeBinary;

void LogFailure(Platform& platform, const char* what, const std::string& path) {
  WriteSetupLog(platform, Format("CopyFile %s Failed: %s", what, path));
}

// The write failed: the destination holds part of the file at most, so it goes.
// A destination that cannot be deleted (read-only meanwhile, held by another
// process) is named in a line of its own; the install goes on all the same.
void DiscardPartialCopy(Platform& platform, File& destination, const std::string& source,
                        const std::string& path) {
  destination.Abort();
  bool removed = true;
  try {
    File::Remove(platform, path.c_str());
  } catch (const FileException&) {
    removed = false;
  }
  LogFailure(platform, "Write", source);
  if (!removed) LogFailure(platform, "OutFile.Remove", path);
}

}  // namespace

int CopyFileChecked(Platform& platform, std::string source, std::string destination) {
  File in(platform);
  if (!in.Open(source.c_str(), kSourceMode)) {
    LogFailure(platform, "InFile.Open", source);
    return 0;
  }
  File out(platform);
  if (!out.Open(destination.c_str(), kDestinationMode)) {
    LogFailure(platform, "OutFile.Open", source);
    return 0;
  }

  win::DWORD length = 0;
  try {
    length = in.GetLength();
  } catch (const FileException&) {
    // Measuring is part of reading the source; an escaping error would end
    // the whole installation.
    LogFailure(platform, "Read", source);
    return 0;
  }
  HeapBlock buffer(platform, length);
  if (!buffer) {
    LogFailure(platform, "new", source);
    return 0;
  }
  win::UINT read = 0;
  try {
    read = in.Read(buffer.bytes());
  } catch (const FileException&) {
    buffer.Free();
    LogFailure(platform, "Read", source);
    return 0;
  }
  try {
    // One read gets the whole length; should the source have shrunk since it
    // was measured, only the bytes read are written, never the block's
    // uninitialised rest.
    out.Write(buffer.bytes().first(std::min<std::size_t>(read, length)));
  } catch (const FileException&) {
    buffer.Free();
    DiscardPartialCopy(platform, out, source, destination);
    return 0;
  }

  buffer.Free();
  in.Abort();  // everything has been read: a failing close loses nothing
  try {
    out.Close();
  } catch (const FileException&) {
    // Closing flushes: a failure leaves a destination that may be incomplete.
    DiscardPartialCopy(platform, out, source, destination);
    return 0;
  }
  return 1;
}

}  // namespace orvane
