// File cases: CreateFileA's dispositions and refusals, share modes between two
// handles (another process's handle counts the same), reading, writing and
// positions, read-only files, attributes, DeleteFileA and MoveFileA; every file
// lives in the case's scratch folder. Then the buffer protocols of the calls
// that name folders and the running program, and the environment block.
#include <cstring>
#include <string>
#include <vector>

#include "contract.h"

namespace orvane::contract {
namespace {

using namespace orvane::win;

// A success for which Windows documents no last-error value: not checked.
// (Wine sets 0 after every successful CreateFileA; the simulator leaves the
// value as it was for CREATE_NEW, OPEN_EXISTING and TRUNCATE_EXISTING.)
constexpr DWORD kUndocumented = kPoison;

// CreateFileA against an existing file f.dat ("1234"), a missing file and a
// missing folder, with the codes Windows documents; OPEN_ALWAYS and
// CREATE_ALWAYS tell an existing file by leaving 183 behind, a created one by
// 0; a file is no folder (3); a wildcard is no name (123) [MS: CreateFileA;
// Wine test file.c: test_CreateFileA].
void CreateFileDispositions(Platform& p, Scratch& s, Checker& c) {
  struct Row {
    const char* name;
    DWORD disposition, access;
    const char* leaf;  // in the scratch folder; f.dat exists
    bool opens;
    DWORD error;       // the last-error value afterwards, or kUndocumented
    long long size;    // of the file afterwards; -1: no file
  };
  const Row rows[] = {
      {"CREATE_NEW, file", CREATE_NEW, kWrite, "f.dat", false, ERROR_FILE_EXISTS, 4},
      {"CREATE_NEW, no file", CREATE_NEW, kWrite, "n.dat", true, kUndocumented, 0},
      {"CREATE_NEW, no folder", CREATE_NEW, kWrite, "no\\n.dat", false, ERROR_PATH_NOT_FOUND, -1},
      {"CREATE_ALWAYS, file", CREATE_ALWAYS, kWrite, "f.dat", true, ERROR_ALREADY_EXISTS, 0},
      {"CREATE_ALWAYS, no file", CREATE_ALWAYS, kWrite, "n.dat", true, 0, 0},
      {"CREATE_ALWAYS, no folder", CREATE_ALWAYS, kWrite, "no\\n.dat", false, 3, -1},
      {"OPEN_EXISTING, file", OPEN_EXISTING, kRead, "f.dat", true, kUndocumented, 4},
      {"OPEN_EXISTING, no file", OPEN_EXISTING, kRead, "n.dat", false, ERROR_FILE_NOT_FOUND, -1},
      {"OPEN_EXISTING, no folder", OPEN_EXISTING, kRead, "no\\n.dat", false, 3, -1},
      {"OPEN_ALWAYS, file", OPEN_ALWAYS, kReadWrite, "f.dat", true, ERROR_ALREADY_EXISTS, 4},
      {"OPEN_ALWAYS, no file", OPEN_ALWAYS, kReadWrite, "n.dat", true, 0, 0},
      {"OPEN_ALWAYS, no folder", OPEN_ALWAYS, kReadWrite, "no\\n.dat", false, 3, -1},
      {"TRUNCATE_EXISTING, file", TRUNCATE_EXISTING, kWrite, "f.dat", true, kUndocumented, 0},
      {"TRUNCATE_EXISTING, no file", TRUNCATE_EXISTING, kWrite, "n.dat", false, 2, -1},
      {"TRUNCATE_EXISTING, no folder", TRUNCATE_EXISTING, kWrite, "no\\n.dat", false, 3, -1},
      {"a file as folder", OPEN_ALWAYS, kReadWrite, "f.dat\\n.dat", false, 3, -1},
      {"a wildcard", OPEN_ALWAYS, kReadWrite, "*.dat", false, ERROR_INVALID_NAME, -1},
  };
  for (const Row& row : rows) {
    if (!WriteText(p, c, s.Path("f.dat"), "1234")) return;
    p.DeleteFileA(s.Path("n.dat").c_str());
    p.SetLastError(kPoison);
    ScopedFile file = OpenFile(p, s.Path(row.leaf), row.access, 0, row.disposition);
    DWORD error = p.GetLastError();
    c.Equal(row.name, file.is_valid(), row.opens);
    if (row.error != kUndocumented) c.Equal(std::string(row.name) + ": error", error, row.error);
    file.Close();
    const auto text = ReadText(p, s.Path(row.leaf));
    c.Equal(std::string(row.name) + ": size", text ? static_cast<long long>(text->size()) : -1,
            row.size);
  }
  p.SetLastError(kPoison);
  ScopedFile empty = OpenFile(p, "", kRead, 0, OPEN_EXISTING);
  c.Equal("empty name", p.GetLastError(), ERROR_PATH_NOT_FOUND);
}

// The second open needs every earlier handle to share what it asks for, and
// must itself share what they were granted; otherwise 32, and the first handle
// is unaffected. An open without data access neither needs nor grants sharing
// for data; delete access needs FILE_SHARE_DELETE [MS: Creating and Opening
// Files, the table of first and second calls; Wine test file.c:
// test_file_sharing]. A handle of another process counts alike.
void ShareModes(Platform& p, Scratch& s, Checker& c) {
  constexpr DWORD kDelete = 0x00010000;
  constexpr DWORD SR = FILE_SHARE_READ, SD = FILE_SHARE_DELETE;
  std::string path = s.Path("shared.dat");
  if (!WriteText(p, c, path, "shared")) return;
  struct Row {
    DWORD access1, share1, access2, share2;
    bool second_opens;
  };
  const Row rows[] = {
      {kRead, SR, kRead, SR, true},
      {kRead, SR, kWrite, kShareRW, false},
      {kWrite, SR, kRead, SR, false},
      {kWrite, SR, kRead, kShareRW, true},
      {kRead, 0, kRead, kShareRW, false},
      {kReadWrite, kShareRW, kRead, kShareRW, true},
      {kReadWrite, kShareRW, kRead, SR, false},
      {kReadWrite, kShareRW, kReadWrite, SR, false},
      {kWrite, FILE_SHARE_WRITE, kWrite, FILE_SHARE_WRITE, true},
      {kRead, SR | SD, kRead, SR, true},
      {kRead, kShareRW, kRead, FILE_SHARE_WRITE, false},
      {0, 0, kReadWrite, 0, true},
      {kReadWrite, kShareRW | SD, 0, 0, true},
      {kRead, SR, kDelete, kShareRW | SD, false},
      {kRead, SR | SD, kDelete, kShareRW | SD, true},
  };
  int n = 0;
  for (const Row& row : rows) {
    const std::string name = "row " + std::to_string(n++);
    ScopedFile first = OpenFile(p, path, row.access1, row.share1, OPEN_EXISTING);
    if (!c.That(name + ": first open", first.is_valid(), "opens")) continue;
    p.SetLastError(kPoison);
    ScopedFile second = OpenFile(p, path, row.access2, row.share2, OPEN_EXISTING);
    c.Equal(name + ": second open", second.is_valid(), row.second_opens);
    if (row.second_opens) continue;
    c.Equal(name + ": last error", p.GetLastError(), ERROR_SHARING_VIOLATION);
    BYTE byte = 0;
    DWORD got = 0;
    if (row.access1 & kRead) {
      c.That(name + ": first handle", p.ReadFile(first.handle, std::span(&byte, 1), &got) &&
                                          got == 1 && byte == 's', "still reads");
    }
    first.Close();
    ScopedFile again = OpenFile(p, path, row.access2, row.share2, OPEN_EXISTING);
    c.That(name + ": after the first closes", again.is_valid(), "the second opens");
  }
}

// Bytes written come back; the size follows; each handle keeps its own
// position; a read at the end gives 0 bytes and succeeds; a position before
// the start is refused (131); a handle does only what it was opened for (5)
// [MS: ReadFile, WriteFile, SetFilePointer].
void ReadWrite(Platform& p, Scratch& s, Checker& c) {
  std::string path = s.Path("data.dat");
  ScopedFile file = OpenFile(p, path, kReadWrite, kShareRW, CREATE_NEW);
  if (!c.That("create", file.is_valid(), "creates")) return;
  const BYTE data[] = {'a', 0, '\r', '\n', 0xFF, 'z'};
  DWORD done = 0;
  c.Equal("WriteFile", p.WriteFile(file.handle, data, &done), TRUE);
  c.Equal("written", done, sizeof data);
  DWORD high = kPoison;
  c.Equal("GetFileSize", p.GetFileSize(file.handle, &high), sizeof data);
  c.Equal("GetFileSize high", high, 0);
  ScopedFile other = OpenFile(p, path, kRead, kShareRW, OPEN_EXISTING);
  c.Equal("SetFilePointer", p.SetFilePointer(file.handle, 2, nullptr, FILE_BEGIN), 2);
  BYTE back[16] = {};
  c.Equal("ReadFile", p.ReadFile(file.handle, back, &done), TRUE);
  c.That("read", done == 4 && back[0] == '\r' && back[3] == 'z', "the 4 bytes from 2 on");
  c.Equal("ReadFile at the end", p.ReadFile(file.handle, back, &done), TRUE);
  c.Equal("read at the end", done, 0);
  c.Equal("other handle", p.ReadFile(other.handle, std::span(back, 2), &done), TRUE);
  c.That("other handle", done == 2 && back[0] == 'a', "reads from its own position 0");
  c.Equal("FILE_END - 1", p.SetFilePointer(other.handle, -1, nullptr, FILE_END), 5);
  p.SetLastError(kPoison);
  c.Equal("before the start", p.SetFilePointer(file.handle, -1, nullptr, FILE_BEGIN),
          INVALID_SET_FILE_POINTER);
  c.Equal("before the start: last error", p.GetLastError(), ERROR_NEGATIVE_SEEK);
  p.SetLastError(kPoison);
  c.Equal("WriteFile through a read handle", p.WriteFile(other.handle, data, &done), FALSE);
  c.Equal("WriteFile through a read handle: error", p.GetLastError(), ERROR_ACCESS_DENIED);
  ScopedFile writer = OpenFile(p, path, kWrite, kShareRW, OPEN_EXISTING);
  p.SetLastError(kPoison);
  c.Equal("ReadFile through a write handle", p.ReadFile(writer.handle, back, &done), FALSE);
  c.Equal("ReadFile through a write handle: error", p.GetLastError(), ERROR_ACCESS_DENIED);

  // A write of several MiB comes back whole.
  std::vector<BYTE> block((std::size_t{3} << 20) + 5, 'x');
  block.back() = 'y';
  ScopedFile big = OpenFile(p, s.Path("big.dat"), kWrite, 0, CREATE_NEW);
  c.Equal("big write", p.WriteFile(big.handle, block, &done), TRUE);
  big.Close();
  auto text = ReadText(p, s.Path("big.dat"));
  c.That("big file", text && text->size() == block.size() && text->back() == 'y', "read whole");
}

// A file created read-only: the creating handle writes; afterwards opening it
// for writing, truncating it and deleting it fail with 5; reading works
// [MS: CreateFileA, FILE_ATTRIBUTE_READONLY; DeleteFile].
void ReadOnlyFiles(Platform& p, Scratch& s, Checker& c) {
  std::string path = s.Path("ro.dat");
  ScopedFile created(p, p.CreateFileA(path.c_str(), kReadWrite, 0, nullptr, CREATE_NEW,
                                      FILE_ATTRIBUTE_READONLY, kNullHandle));
  DWORD done = 0;
  const BYTE data[] = {'a', 'b', 'c'};
  c.Equal("creating handle writes", p.WriteFile(created.handle, data, &done), TRUE);
  created.Close();
  c.Equal("attributes", p.GetFileAttributesA(path.c_str()) & FILE_ATTRIBUTE_READONLY,
          FILE_ATTRIBUTE_READONLY);
  p.SetLastError(kPoison);
  c.Equal("delete", p.DeleteFileA(path.c_str()), FALSE);
  c.Equal("delete: last error", p.GetLastError(), ERROR_ACCESS_DENIED);
  // Wine run by root opens a read-only file for writing: the host grants it.
  if (s.wine) return c.Note("run by root, a read-only file opens for writing (Windows: 5)");
  for (DWORD disposition : {DWORD{OPEN_EXISTING}, DWORD{CREATE_ALWAYS}}) {
    p.SetLastError(kPoison);
    ScopedFile w = OpenFile(p, path, kWrite, kShareRW, disposition);
    c.Equal("open for writing, " + std::to_string(disposition), p.GetLastError(),
            ERROR_ACCESS_DENIED);
  }
  c.Equal("read", ReadText(p, path).value_or("(refused)"), "abc");
}

// A buffer too small: GetSystemDirectoryA returns the size with the NUL;
// GetPrinterDriverDirectoryA fails with 122 and sets the size needed, and
// knows level 1 only (1801); GetModuleFileNameA cuts the path to nSize
// without a NUL and returns nSize [MS: GetSystemDirectoryA,
// GetPrinterDriverDirectory, GetModuleFileNameA (Windows XP and later)].
void BuffersTooSmall(Platform& p, Scratch&, Checker& c) {
  char full[512] = {};
  const UINT length = p.GetSystemDirectoryA(full);
  c.That("system folder", length > 3 && length == std::strlen(full), "its length");
  char small[6] = {};
  c.Equal("system folder in 6", p.GetSystemDirectoryA(small), length + 1);
  DWORD needed = 0;
  c.Equal("driver folder", p.GetPrinterDriverDirectoryA(nullptr, nullptr, 1, full, &needed), TRUE);
  const DWORD size = static_cast<DWORD>(std::strlen(full) + 1);
  c.Equal("driver folder: needed", needed, size);
  needed = 0;
  p.SetLastError(kPoison);
  c.Equal("driver folder in 6", p.GetPrinterDriverDirectoryA(nullptr, nullptr, 1, small, &needed),
          FALSE);
  c.Equal("driver folder in 6: error", p.GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  c.Equal("driver folder in 6: needed", needed, size);
  p.SetLastError(kPoison);
  c.Equal("driver folder, level 2",
          p.GetPrinterDriverDirectoryA(nullptr, nullptr, 2, full, &needed), FALSE);
  c.Equal("driver folder, level 2: error", p.GetLastError(), ERROR_INVALID_LEVEL);
  const DWORD module = p.GetModuleFileNameA(p.GetModuleHandleA(nullptr), full);
  c.Equal("module in 6", p.GetModuleFileNameA(p.GetModuleHandleA(nullptr), small), 6);
  c.That("module in 6", module > 6 && std::string(small, 6) == std::string(full, 6),
         "the path's first 6 characters");
  // The environment: NAME=value strings, the block closed by a second NUL.
  int variables = 0;
  for (const char* v = p.GetEnvironmentStrings(); *v; v += std::strlen(v) + 1) {
    c.That(v, std::strchr(v + 1, '=') != nullptr, "NAME=value");
    ++variables;
  }
  c.That("environment", variables > 0, "variables");
}


// A file whose every handle shares delete can be deleted while open: the call
// succeeds, new opens fail with 5 while the handle lives, and the file goes
// when the last handle closes [MS: DeleteFile: "Subsequent calls to CreateFile
// to open the file fail with ERROR_ACCESS_DENIED"].
void DeletePendingFile(Platform& p, Scratch& s, Checker& c) {
  std::string path = s.Path("pending.dat");
  if (!WriteText(p, c, path, "pending")) return;
  ScopedFile handle = OpenFile(p, path, kRead, FILE_SHARE_READ | FILE_SHARE_DELETE, OPEN_EXISTING);
  if (!c.That("open", handle.is_valid(), "opens")) return;
  c.Equal("DeleteFileA", p.DeleteFileA(path.c_str()), TRUE);
  p.SetLastError(kPoison);
  ScopedFile again = OpenFile(p, path, kRead, kShareRW | FILE_SHARE_DELETE, OPEN_EXISTING);
  const DWORD error = p.GetLastError();
  // Wine 8 does not refuse opens of a file whose deletion is pending: the open
  // succeeds (last error 0) and the file still goes when the last handle
  // closes. Windows refuses it with ERROR_ACCESS_DENIED.
  const char* why = "opening a file whose deletion is pending succeeds (Windows: 5)";
  c.Equal("open while pending", again.is_valid(), ExpectUnlessWine(s, c, false, true, why));
  c.Equal("open while pending: last error", error,
          ExpectUnlessWine(s, c, ERROR_ACCESS_DENIED, DWORD{0}, why));
  again.Close();
  handle.Close();
  p.SetLastError(kPoison);
  c.Equal("after the last close", p.GetFileAttributesA(path.c_str()), INVALID_FILE_ATTRIBUTES);
  c.Equal("after the last close: last error", p.GetLastError(), ERROR_FILE_NOT_FOUND);
}

// Refusals, each with its last-error value: GetFileAttributesA 2 for a missing
// file, 3 for a missing folder; DeleteFileA the same, 5 for a folder, 32 for a
// file open without FILE_SHARE_DELETE (the file stays) [Wine test file.c:
// test_DeleteFileA; MS: DeleteFile]; MoveFileA does not replace an existing
// file (183, both files unchanged), reports a missing source (2), a missing
// target folder (3) and a wildcard target (123), refuses a source open without
// FILE_SHARE_DELETE (32) [MS: MoveFile; Wine test file.c: test_MoveFileA];
// CreateFileA refuses to open a folder without FILE_FLAG_BACKUP_SEMANTICS (5).
// Then what succeeds: the directory bit for a folder only, the size from
// GetFileAttributesExA, the deletion once the file is closed, a move to the
// same name in another case (nothing to do) and a rename.
void AttributesDeleteAndMove(Platform& p, Scratch& s, Checker& c) {
  const std::string held = s.Path("held.dat"), from = s.Path("from.dat"), to = s.Path("to.dat");
  const std::string missing = s.Path("missing.dat"), nofolder = s.Path("nofolder\\missing.dat");
  if (!WriteText(p, c, held, "held") || !WriteText(p, c, from, "from") ||
      !WriteText(p, c, to, "to")) {
    return;
  }
  ScopedFile handle = OpenFile(p, held, kRead, FILE_SHARE_READ, OPEN_EXISTING);
  enum Call { kAttributes, kDelete, kMove };
  const struct {
    const char* name;
    Call call;
    std::string path, to;
    DWORD error;
  } rows[] = {
      {"attributes, missing file", kAttributes, missing, "", ERROR_FILE_NOT_FOUND},
      {"attributes, missing folder", kAttributes, nofolder, "", ERROR_PATH_NOT_FOUND},
      {"delete, missing file", kDelete, missing, "", ERROR_FILE_NOT_FOUND},
      {"delete, missing folder", kDelete, nofolder, "", ERROR_PATH_NOT_FOUND},
      {"delete, a folder", kDelete, s.folder, "", ERROR_ACCESS_DENIED},
      {"delete, open without share-delete", kDelete, held, "", ERROR_SHARING_VIOLATION},
      {"move onto an existing file", kMove, from, to, ERROR_ALREADY_EXISTS},
      {"move, missing source", kMove, missing, s.Path("new.dat"), ERROR_FILE_NOT_FOUND},
      {"move, missing target folder", kMove, from, nofolder, ERROR_PATH_NOT_FOUND},
      {"move, wildcard target", kMove, from, s.Path("n?w.dat"), ERROR_INVALID_NAME},
      {"move, open without share-delete", kMove, held, s.Path("new.dat"), ERROR_SHARING_VIOLATION},
  };
  for (const auto& row : rows) {
    p.SetLastError(kPoison);
    const char* path = row.path.c_str();
    const bool done = row.call == kMove     ? p.MoveFileA(path, row.to.c_str()) != FALSE
                      : row.call == kDelete ? p.DeleteFileA(path) != FALSE
                                            : p.GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
    c.Equal(row.name, done, false);
    c.Equal(std::string(row.name) + ": last error", p.GetLastError(), row.error);
  }
  p.SetLastError(kPoison);
  ScopedFile folder = OpenFile(p, s.folder, kRead, kShareRW, OPEN_EXISTING);
  c.Equal("open the folder", folder.is_valid(), false);
  c.Equal("open the folder: last error", p.GetLastError(), ERROR_ACCESS_DENIED);
  handle.Close();
  c.Equal("held file afterwards", ReadText(p, held).value_or("(gone)"), "held");
  c.Equal("source unchanged", ReadText(p, from).value_or("(gone)"), "from");
  c.Equal("target unchanged", ReadText(p, to).value_or("(gone)"), "to");

  const DWORD folder_attributes = p.GetFileAttributesA(s.folder.c_str());
  c.That("folder", folder_attributes != INVALID_FILE_ATTRIBUTES &&
                       (folder_attributes & FILE_ATTRIBUTE_DIRECTORY), "the directory bit");
  const DWORD file_attributes = p.GetFileAttributesA(held.c_str());
  c.That("file", file_attributes != INVALID_FILE_ATTRIBUTES &&
                     !(file_attributes & FILE_ATTRIBUTE_DIRECTORY), "found, no directory bit");
  WIN32_FILE_ATTRIBUTE_DATA data{};
  c.Equal("GetFileAttributesExA", p.GetFileAttributesExA(held.c_str(), &data), TRUE);
  c.Equal("GetFileAttributesExA: size", data.nFileSizeLow, 4);
  c.Equal("delete once closed", p.DeleteFileA(held.c_str()), TRUE);
  c.That("delete once closed", !Exists(p, held), "the file gone");
  c.Equal("same name", p.MoveFileA(from.c_str(), s.Path("FROM.DAT").c_str()), TRUE);
  c.Equal("same name", ReadText(p, from).value_or("(gone)"), "from");
  c.Equal("rename", p.MoveFileA(from.c_str(), s.Path("new.dat").c_str()), TRUE);
  c.That("rename", !Exists(p, from), "the old name gone");
  c.Equal("rename", ReadText(p, s.Path("new.dat")).value_or("(gone)"), "from");
}

const Case kCases[] = {
    {"CreateFileDispositions", CreateFileDispositions}, {"ShareModes", ShareModes},
    {"ReadWrite", ReadWrite}, {"ReadOnlyFiles", ReadOnlyFiles},
    {"BuffersTooSmall", BuffersTooSmall}, {"DeletePendingFile", DeletePendingFile},
    {"AttributesDeleteAndMove", AttributesDeleteAndMove},
};

[[maybe_unused]] const bool added = AddCases(kCases);

}  // namespace
}  // namespace orvane::contract
