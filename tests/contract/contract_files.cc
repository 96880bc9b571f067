// File cases, opening and using files: CreateFileA's dispositions, share modes
// between two handles of this process, reading and writing, attributes. Every
// file lives in the case's scratch folder.
#include <string>

#include "contract.h"

namespace orvane::contract {
namespace {

using namespace orvane::win;

// The size of a file, or -1 when it cannot be opened.
long long SizeOf(Platform& p, const std::string& path) {
  auto text = ReadText(p, path);
  return text ? static_cast<long long>(text->size()) : -1;
}

enum class Before { kFile, kNoFile, kNoFolder };

// A success for which Windows documents no last-error value: not checked.
// (Wine sets 0 after every successful CreateFileA; the simulator leaves the
// value as it was for CREATE_NEW, OPEN_EXISTING and TRUNCATE_EXISTING.)
constexpr DWORD kUndocumented = kPoison;

struct DispositionRow {
  const char* name;
  DWORD disposition;
  Before before;
  DWORD access;
  bool opens;
  DWORD error;     // the last-error value afterwards, or kUndocumented
  long long size;  // of the file afterwards; -1: no file
};

// CreateFileA's dispositions against an existing file ("1234"), a missing
// file and a missing folder, with the codes Windows documents; OPEN_ALWAYS and
// CREATE_ALWAYS tell an existing file by leaving 183 behind, a created one by
// 0 [MS: CreateFileA; Wine test file.c: test_CreateFileA].
void CreateFileDispositions(Platform& p, Scratch& s, Checker& c) {
  const DispositionRow rows[] = {
      {"CREATE_NEW, file", CREATE_NEW, Before::kFile, kWrite, false, ERROR_FILE_EXISTS, 4},
      {"CREATE_NEW, no file", CREATE_NEW, Before::kNoFile, kWrite, true, kUndocumented, 0},
      {"CREATE_NEW, no folder", CREATE_NEW, Before::kNoFolder, kWrite, false, ERROR_PATH_NOT_FOUND,
       -1},
      {"CREATE_ALWAYS, file", CREATE_ALWAYS, Before::kFile, kWrite, true, ERROR_ALREADY_EXISTS, 0},
      {"CREATE_ALWAYS, no file", CREATE_ALWAYS, Before::kNoFile, kWrite, true, 0, 0},
      {"CREATE_ALWAYS, no folder", CREATE_ALWAYS, Before::kNoFolder, kWrite, false,
       ERROR_PATH_NOT_FOUND, -1},
      {"OPEN_EXISTING, file", OPEN_EXISTING, Before::kFile, kRead, true, kUndocumented, 4},
      {"OPEN_EXISTING, no file", OPEN_EXISTING, Before::kNoFile, kRead, false, ERROR_FILE_NOT_FOUND,
       -1},
      {"OPEN_EXISTING, no folder", OPEN_EXISTING, Before::kNoFolder, kRead, false,
       ERROR_PATH_NOT_FOUND, -1},
      {"OPEN_ALWAYS, file", OPEN_ALWAYS, Before::kFile, kReadWrite, true, ERROR_ALREADY_EXISTS, 4},
      {"OPEN_ALWAYS, no file", OPEN_ALWAYS, Before::kNoFile, kReadWrite, true, 0, 0},
      {"OPEN_ALWAYS, no folder", OPEN_ALWAYS, Before::kNoFolder, kReadWrite, false,
       ERROR_PATH_NOT_FOUND, -1},
      {"TRUNCATE_EXISTING, file", TRUNCATE_EXISTING, Before::kFile, kWrite, true, kUndocumented, 0},
      {"TRUNCATE_EXISTING, no file", TRUNCATE_EXISTING, Before::kNoFile, kWrite, false,
       ERROR_FILE_NOT_FOUND, -1},
      {"TRUNCATE_EXISTING, no folder", TRUNCATE_EXISTING, Before::kNoFolder, kWrite, false,
       ERROR_PATH_NOT_FOUND, -1},
  };
  int n = 0;
  for (const DispositionRow& row : rows) {
    // (Appended, not "f" + ...: GCC 12 warns falsely about the temporary.)
    std::string leaf = "f";
    leaf += std::to_string(n++) + ".dat";
    std::string path = s.Path(row.before == Before::kNoFolder ? "nofolder\\" + leaf : leaf);
    if (row.before == Before::kFile && !WriteText(p, c, path, "1234")) continue;
    p.SetLastError(kPoison);
    ScopedFile file(p, OpenFile(p, path, row.access, 0, row.disposition));
    DWORD error = p.GetLastError();
    c.Equal(row.name, file.is_valid(), row.opens);
    if (row.error != kUndocumented)
      c.Equal(std::string(row.name) + ": last error", error, row.error);
    file.Close();
    c.Equal(std::string(row.name) + ": size afterwards", SizeOf(p, path), row.size);
  }
}

struct ShareRow {
  DWORD access1, share1;
  DWORD access2, share2;
  bool second_opens;
};

// The second open needs the first handle to share what it asks for, and must
// itself share what the first handle was granted; otherwise 32, and the first
// handle is unaffected [Wine test file.c: test_file_sharing].
void ShareModes(Platform& p, Scratch& s, Checker& c) {
  std::string path = s.Path("shared.dat");
  if (!WriteText(p, c, path, "shared")) return;
  const ShareRow rows[] = {
      {kRead, FILE_SHARE_READ, kRead, FILE_SHARE_READ, true},
      {kRead, FILE_SHARE_READ, kWrite, kShareRW, false},
      {kWrite, FILE_SHARE_READ, kRead, FILE_SHARE_READ, false},
      {kWrite, FILE_SHARE_READ, kRead, kShareRW, true},
      {kRead, 0, kRead, kShareRW, false},
      {kReadWrite, kShareRW, kRead, kShareRW, true},
      {kReadWrite, kShareRW, kReadWrite, FILE_SHARE_READ, false},
      {kWrite, FILE_SHARE_WRITE, kWrite, FILE_SHARE_WRITE, true},
      {kRead, FILE_SHARE_READ | FILE_SHARE_DELETE, kRead, FILE_SHARE_READ, true},
  };
  int n = 0;
  for (const ShareRow& row : rows) {
    std::string name = "row ";
    name += std::to_string(n++);
    ScopedFile first(p, OpenFile(p, path, row.access1, row.share1, OPEN_EXISTING));
    if (!c.That(name + ": first open", first.is_valid(), "opens")) continue;
    p.SetLastError(kPoison);
    ScopedFile second(p, OpenFile(p, path, row.access2, row.share2, OPEN_EXISTING));
    c.Equal(name + ": second open", second.is_valid(), row.second_opens);
    if (!row.second_opens) {
      c.Equal(name + ": last error", p.GetLastError(), ERROR_SHARING_VIOLATION);
      BYTE byte = 0;
      DWORD got = 0;
      if (row.access1 & kRead) {
        c.That(name + ": first handle",
               p.ReadFile(first.get(), std::span(&byte, 1), &got) && got == 1 && byte == 's',
               "still reads");
      }
      // Once the first handle is closed, nothing stands in the way.
      first.Close();
      ScopedFile again(p, OpenFile(p, path, row.access2, row.share2, OPEN_EXISTING));
      c.That(name + ": after the first closes", again.is_valid(), "the second opens");
    }
  }
}

// Bytes written come back; the size follows; a read at the end gives 0 bytes
// and succeeds; a position before the start is refused (131).
void ReadWrite(Platform& p, Scratch& s, Checker& c) {
  std::string path = s.Path("data.dat");
  ScopedFile file(p, OpenFile(p, path, kReadWrite, 0, CREATE_NEW));
  if (!c.That("create", file.is_valid(), "creates")) return;
  const BYTE data[] = {'a', 0, '\r', '\n', 0xFF, 'z'};
  DWORD done = 0;
  c.Equal("WriteFile", p.WriteFile(file.get(), data, &done), TRUE);
  c.Equal("written", done, sizeof data);
  DWORD high = kPoison;
  c.Equal("GetFileSize", p.GetFileSize(file.get(), &high), sizeof data);
  c.Equal("GetFileSize high", high, 0);
  c.Equal("SetFilePointer", p.SetFilePointer(file.get(), 2, nullptr, FILE_BEGIN), 2);
  BYTE back[16] = {};
  c.Equal("ReadFile", p.ReadFile(file.get(), back, &done), TRUE);
  c.Equal("read", done, sizeof data - 2);
  c.That("read", back[0] == '\r' && back[2] == 0xFF && back[3] == 'z', "the bytes from 2 on");
  c.Equal("ReadFile at the end", p.ReadFile(file.get(), back, &done), TRUE);
  c.Equal("read at the end", done, 0);
  p.SetLastError(kPoison);
  c.Equal("SetFilePointer before the start", p.SetFilePointer(file.get(), -1, nullptr, FILE_BEGIN),
          INVALID_SET_FILE_POINTER);
  c.Equal("SetFilePointer before the start: last error", p.GetLastError(), ERROR_NEGATIVE_SEEK);
  file.Close();

  // A handle does only what it was opened for: 5 otherwise [MS: WriteFile, ReadFile].
  ScopedFile reader(p, OpenFile(p, path, kRead, kShareRW, OPEN_EXISTING));
  p.SetLastError(kPoison);
  c.Equal("WriteFile through a read handle", p.WriteFile(reader.get(), data, &done), FALSE);
  c.Equal("WriteFile through a read handle: last error", p.GetLastError(), ERROR_ACCESS_DENIED);
  ScopedFile writer(p, OpenFile(p, path, kWrite, kShareRW, OPEN_EXISTING));
  p.SetLastError(kPoison);
  c.Equal("ReadFile through a write handle", p.ReadFile(writer.get(), back, &done), FALSE);
  c.Equal("ReadFile through a write handle: last error", p.GetLastError(), ERROR_ACCESS_DENIED);
  reader.Close();
  writer.Close();
  c.Equal("file afterwards", SizeOf(p, path), sizeof data);
}

// GetFileAttributesA: 2 for a missing file, 3 for a missing folder, the
// directory bit for a folder; CreateFileA refuses to open a folder without
// FILE_FLAG_BACKUP_SEMANTICS (5).
void AttributesAndFolders(Platform& p, Scratch& s, Checker& c) {
  std::string file = s.Path("plain.dat");
  if (!WriteText(p, c, file, "x")) return;
  struct Row {
    const char* name;
    std::string path;
    DWORD error;  // 0: found
    bool directory;
  };
  const Row rows[] = {
      {"missing file", s.Path("missing.dat"), ERROR_FILE_NOT_FOUND, false},
      {"missing folder", s.Path("nofolder\\missing.dat"), ERROR_PATH_NOT_FOUND, false},
      {"folder", s.folder, 0, true},
      {"file", file, 0, false},
  };
  for (const Row& row : rows) {
    p.SetLastError(kPoison);
    DWORD attributes = p.GetFileAttributesA(row.path.c_str());
    if (row.error) {
      c.Equal(row.name, attributes, INVALID_FILE_ATTRIBUTES);
      c.Equal(std::string(row.name) + ": last error", p.GetLastError(), row.error);
    } else {
      c.That(row.name, attributes != INVALID_FILE_ATTRIBUTES, "found");
      c.Equal(std::string(row.name) + ": directory bit",
              (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0, row.directory);
    }
  }
  p.SetLastError(kPoison);
  ScopedFile folder(p, OpenFile(p, s.folder, kRead, kShareRW, OPEN_EXISTING));
  c.Equal("open the folder", folder.is_valid(), false);
  c.Equal("open the folder: last error", p.GetLastError(), ERROR_ACCESS_DENIED);
}

const Case kCases[] = {
    {"CreateFileDispositions", CreateFileDispositions},
    {"ShareModes", ShareModes},
    {"ReadWrite", ReadWrite},
    {"AttributesAndFolders", AttributesAndFolders},
};

}  // namespace

std::span<const Case> FileCases() { return kCases; }

}  // namespace orvane::contract
