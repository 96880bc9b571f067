// File cases, removing and renaming: DeleteFileA and MoveFileA, with the
// refusals Windows documents. Every file lives in the case's scratch folder.
#include <string>

#include "contract.h"

namespace orvane::contract {
namespace {

using namespace orvane::win;

// DeleteFileA: a missing file 2, a missing folder 3, a folder 5, a file open
// without FILE_SHARE_DELETE 32 (the file stays) [Wine test file.c:
// test_DeleteFileA; MS: DeleteFile].
void DeleteFileRefusals(Platform& p, Scratch& s, Checker& c) {
  std::string held = s.Path("held.dat");
  if (!WriteText(p, c, held, "held")) return;
  ScopedFile handle(p, OpenFile(p, held, kRead, FILE_SHARE_READ, OPEN_EXISTING));
  struct Row {
    const char* name;
    std::string path;
    DWORD error;
  };
  const Row rows[] = {
      {"missing file", s.Path("missing.dat"), ERROR_FILE_NOT_FOUND},
      {"missing folder", s.Path("nofolder\\missing.dat"), ERROR_PATH_NOT_FOUND},
      {"a folder", s.folder, ERROR_ACCESS_DENIED},
      {"open without share-delete", held, ERROR_SHARING_VIOLATION},
  };
  for (const Row& row : rows) {
    p.SetLastError(kPoison);
    c.Equal(row.name, p.DeleteFileA(row.path.c_str()), FALSE);
    c.Equal(std::string(row.name) + ": last error", p.GetLastError(), row.error);
  }
  handle.Close();
  c.Equal("held file afterwards", ReadText(p, held).value_or("(gone)"), "held");
  c.Equal("once closed", p.DeleteFileA(held.c_str()), TRUE);
  c.That("once closed", !Exists(p, held), "the file gone");
}

// A file whose every handle shares delete can be deleted while open: the call
// succeeds, new opens fail with 5 while the handle lives, and the file goes
// when the last handle closes [MS: DeleteFile: "Subsequent calls to CreateFile
// to open the file fail with ERROR_ACCESS_DENIED"].
void DeletePendingFile(Platform& p, Scratch& s, Checker& c) {
  std::string path = s.Path("pending.dat");
  if (!WriteText(p, c, path, "pending")) return;
  ScopedFile handle(p,
                    OpenFile(p, path, kRead, FILE_SHARE_READ | FILE_SHARE_DELETE, OPEN_EXISTING));
  if (!c.That("open", handle.is_valid(), "opens")) return;
  c.Equal("DeleteFileA", p.DeleteFileA(path.c_str()), TRUE);
  p.SetLastError(kPoison);
  ScopedFile again(p, OpenFile(p, path, kRead, kShareRW | FILE_SHARE_DELETE, OPEN_EXISTING));
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

// MoveFileA does not replace an existing file (183, both files unchanged),
// reports a missing source (2) and a missing target folder (3), refuses a
// source open without FILE_SHARE_DELETE (32), succeeds for the same name, and
// renames otherwise [MS: MoveFile; Wine test file.c: test_MoveFileA].
void MoveFileCases(Platform& p, Scratch& s, Checker& c) {
  std::string from = s.Path("from.dat");
  std::string to = s.Path("to.dat");
  if (!WriteText(p, c, from, "from") || !WriteText(p, c, to, "to")) return;
  struct Row {
    const char* name;
    std::string from, to;
    DWORD error;
  };
  const Row rows[] = {
      {"onto an existing file", from, to, ERROR_ALREADY_EXISTS},
      {"missing source", s.Path("missing.dat"), s.Path("new.dat"), ERROR_FILE_NOT_FOUND},
      {"missing target folder", from, s.Path("nofolder\\new.dat"), ERROR_PATH_NOT_FOUND},
      {"wildcard target", from, s.Path("n?w.dat"), ERROR_INVALID_NAME},
  };
  for (const Row& row : rows) {
    p.SetLastError(kPoison);
    c.Equal(row.name, p.MoveFileA(row.from.c_str(), row.to.c_str()), FALSE);
    c.Equal(std::string(row.name) + ": last error", p.GetLastError(), row.error);
  }
  c.Equal("source unchanged", ReadText(p, from).value_or("(gone)"), "from");
  c.Equal("target unchanged", ReadText(p, to).value_or("(gone)"), "to");
  {
    ScopedFile held(p, OpenFile(p, from, kRead, kShareRW, OPEN_EXISTING));
    p.SetLastError(kPoison);
    c.Equal("source open", p.MoveFileA(from.c_str(), s.Path("new.dat").c_str()), FALSE);
    c.Equal("source open: last error", p.GetLastError(), ERROR_SHARING_VIOLATION);
  }
  // The same name, in another case: nothing to do, and a success.
  c.Equal("same name", p.MoveFileA(from.c_str(), s.Path("FROM.DAT").c_str()), TRUE);
  c.Equal("same name", ReadText(p, from).value_or("(gone)"), "from");
  c.Equal("rename", p.MoveFileA(from.c_str(), s.Path("new.dat").c_str()), TRUE);
  c.That("rename", !Exists(p, from), "the old name gone");
  c.Equal("rename", ReadText(p, s.Path("new.dat")).value_or("(gone)"), "from");
}

const Case kCases[] = {
    {"DeleteFileRefusals", DeleteFileRefusals},
    {"DeletePendingFile", DeletePendingFile},
    {"MoveFileCases", MoveFileCases},
};

}  // namespace

std::span<const Case> DeleteMoveCases() { return kCases; }

}  // namespace orvane::contract
