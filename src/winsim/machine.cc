// The machine's core: the last-error value, faults, the journal, the clock, and
// the registry, file, heap and user-interface calls. Processes and system
// information, profile files, the spooler and the services are in machine_*.cc.
#include "winsim/machine.h"

#include <chrono>
#include <cstdlib>
#include <cstring>

#include "winsim/host_memory.h"
#include "winsim/journal.h"

namespace orvane::winsim {

using namespace orvane::win;

namespace {

// A block of the installer's is a whole file; a 32-bit process cannot have one
// much above this, so the simulator refuses it as HeapAlloc would.
constexpr SIZE_T kLargestBlock = SIZE_T{1} << 30;

std::int64_t ToMilliseconds(const SYSTEMTIME& t) {
  using namespace std::chrono;
  sys_days day = year_month_day{year{t.wYear}, month{t.wMonth}, std::chrono::day{t.wDay}};
  auto ms = duration_cast<milliseconds>(day.time_since_epoch()) + hours{t.wHour} +
            minutes{t.wMinute} + seconds{t.wSecond} + milliseconds{t.wMilliseconds};
  return ms.count();
}

SYSTEMTIME FromMilliseconds(std::int64_t value) {
  using namespace std::chrono;
  milliseconds ms{value};
  sys_days day = floor<days>(sys_time<milliseconds>{ms});
  year_month_day ymd{day};
  auto rest = ms - duration_cast<milliseconds>(day.time_since_epoch());
  SYSTEMTIME t;
  t.wYear = static_cast<WORD>(static_cast<int>(ymd.year()));
  t.wMonth = static_cast<WORD>(static_cast<unsigned>(ymd.month()));
  t.wDay = static_cast<WORD>(static_cast<unsigned>(ymd.day()));
  t.wDayOfWeek = static_cast<WORD>(weekday{day}.c_encoding());
  t.wHour = static_cast<WORD>(rest / hours{1});
  t.wMinute = static_cast<WORD>(rest % hours{1} / minutes{1});
  t.wSecond = static_cast<WORD>(rest % minutes{1} / seconds{1});
  t.wMilliseconds = static_cast<WORD>(rest % seconds{1} / milliseconds{1});
  return t;
}

std::string Text(const char* text) { return text ? text : "(null)"; }

}  // namespace

Machine::Machine(WindowsVersion version, std::filesystem::path driveC)
    : profile_(&Profile(version)),
      files_(std::move(driveC)),
      spooler_(*profile_, registry_, files_) {
  registry_.SetDeleteKeyRule(profile_->delete_rule);
  // NT renames a DLL in use; Windows 95/98/ME refuse.
  files_.SetRenameInUseAllowed(profile_->nt_family);
  // A fixed, plausible moment: the log time stamps of a fresh machine are known.
  SetClock(SYSTEMTIME{2003, 7, 5, 4, 9, 5, 0, 0});
  std::string windows = profile_->windows_dir;
  std::string system = profile_->system_dir;
  SetEnvironment({"ComSpec=" + (profile_->nt_family ? system + "\\cmd.exe"
                                                   : windows + "\\COMMAND.COM"),
                  "PATH=" + system + ";" + windows, "TEMP=" + windows + "\\TEMP",
                  "windir=" + windows});
}

Machine::~Machine() {
  for (auto& [block, mapped] : heap_) FreeHostBlock(block, mapped);
}

bool Machine::Fails(std::string_view call, std::string_view subject) {
  if (auto code = faults_.Fail(call, subject)) {
    last_error_ = *code;
    return true;
  }
  return false;
}

void Machine::LeaveStale(std::string_view call, std::string_view subject) {
  if (auto code = faults_.Stale(call, subject)) last_error_ = *code;
}

void Machine::Journal(std::string_view kind, const std::vector<std::string>& fields) {
  journal_.push_back(JournalLine(kind, fields));
}

SYSTEMTIME Machine::clock() const { return FromMilliseconds(clock_ms_); }

void Machine::SetClock(const SYSTEMTIME& now) { clock_ms_ = ToMilliseconds(now); }

void Machine::SetEnvironment(std::vector<std::string> variables) {
  environment_ = std::move(variables);
  environment_block_.clear();
  for (const std::string& v : environment_) {
    environment_block_ += v;
    environment_block_ += '\0';
  }
  environment_block_ += '\0';
}

DWORD Machine::GetLastError() { return last_error_; }

void Machine::SetLastError(DWORD code) { last_error_ = code; }

// --- Registry. The calls return their status and leave the last-error value
// alone, as Windows' registry functions do.

std::string Machine::RegSubject(HKEY key, const char* subKey) const {
  std::string subject = registry_.PathOf(key);
  if (subKey && *subKey) subject.append("\\").append(subKey);
  return subject;
}

LONG Machine::RegOpenKeyExA(HKEY key, const char* subKey, DWORD /*options*/,
                            REGSAM desired, HKEY* result) {
  auto subject = [&] { return RegSubject(key, subKey); };
  if (auto code = faults_.FailWith("RegOpenKeyExA", subject)) {
    if (result) *result = kNullKey;
    return static_cast<LONG>(*code);
  }
  return registry_.OpenKey(key, subKey, desired, result);
}

LONG Machine::RegCreateKeyA(HKEY key, const char* subKey, HKEY* result) {
  auto subject = [&] { return RegSubject(key, subKey); };
  if (auto code = faults_.FailWith("RegCreateKeyA", subject)) {
    if (result) *result = kNullKey;
    return static_cast<LONG>(*code);
  }
  return registry_.CreateKey(key, subKey, result);
}

LONG Machine::RegQueryValueExA(HKEY key, const char* valueName, DWORD* type,
                               std::span<BYTE> data, DWORD* cbData) {
  auto subject = [&] { return RegSubject(key, valueName); };
  if (auto code = faults_.FailWith("RegQueryValueExA", subject)) {
    return static_cast<LONG>(*code);
  }
  return registry_.QueryValue(key, valueName, type, data, cbData);
}

LONG Machine::RegSetValueExA(HKEY key, const char* valueName, DWORD /*reserved*/,
                             DWORD type, std::span<const BYTE> data) {
  auto subject = [&] { return RegSubject(key, valueName); };
  if (auto code = faults_.FailWith("RegSetValueExA", subject)) {
    return static_cast<LONG>(*code);
  }
  return registry_.SetValue(key, valueName, type, data);
}

LONG Machine::RegDeleteKeyA(HKEY key, const char* subKey) {
  auto subject = [&] { return RegSubject(key, subKey); };
  if (auto code = faults_.FailWith("RegDeleteKeyA", subject)) {
    return static_cast<LONG>(*code);
  }
  return registry_.DeleteKey(key, subKey);
}

LONG Machine::SHDeleteKeyA(HKEY key, const char* subKey) {
  auto subject = [&] { return RegSubject(key, subKey); };
  if (auto code = faults_.FailWith("SHDeleteKeyA", subject)) {
    return static_cast<LONG>(*code);
  }
  return registry_.DeleteTree(key, subKey);
}

LONG Machine::RegCloseKey(HKEY key) { return registry_.CloseKey(key); }

// --- Files.

HANDLE Machine::CreateFileA(const char* fileName, DWORD desiredAccess,
                            DWORD shareMode, SECURITY_ATTRIBUTES* /*security*/,
                            DWORD creationDisposition, DWORD flagsAndAttributes,
                            HANDLE /*templateFile*/) {
  std::string subject = Text(fileName);
  if (Fails("CreateFileA", subject)) return INVALID_HANDLE_VALUE;
  DWORD error = 0;
  HANDLE handle = files_.CreateFile(fileName, desiredAccess, shareMode,
                                    creationDisposition, flagsAndAttributes, &error);
  if (handle == INVALID_HANDLE_VALUE) {
    last_error_ = error;
    return handle;
  }
  // OPEN_ALWAYS and CREATE_ALWAYS say whether the file was there: 183 when it
  // was, 0 when it was made. Other dispositions leave the value alone.
  if (creationDisposition == OPEN_ALWAYS || creationDisposition == CREATE_ALWAYS) {
    last_error_ = error;
  }
  LeaveStale("CreateFileA", subject);
  return handle;
}

BOOL Machine::ReadFile(HANDLE file, std::span<BYTE> buffer, DWORD* bytesRead) {
  std::string subject = files_.PathOf(file);
  if (Fails("ReadFile", subject)) {
    if (bytesRead) *bytesRead = 0;
    return FALSE;
  }
  DWORD error = 0;
  if (!files_.Read(file, buffer, bytesRead, &error)) {
    last_error_ = error;
    return FALSE;
  }
  LeaveStale("ReadFile", subject);
  return TRUE;
}

BOOL Machine::WriteFile(HANDLE file, std::span<const BYTE> buffer,
                        DWORD* bytesWritten) {
  std::string subject = files_.PathOf(file);
  if (Fails("WriteFile", subject)) {
    if (bytesWritten) *bytesWritten = 0;
    return FALSE;
  }
  DWORD error = 0;
  if (!files_.Write(file, buffer, bytesWritten, &error)) {
    last_error_ = error;
    return FALSE;
  }
  LeaveStale("WriteFile", subject);
  return TRUE;
}

DWORD Machine::SetFilePointer(HANDLE file, LONG distance, LONG* distanceHigh,
                              DWORD moveMethod) {
  if (Fails("SetFilePointer", files_.PathOf(file))) return INVALID_SET_FILE_POINTER;
  DWORD error = 0;
  DWORD result = files_.Seek(file, distance, distanceHigh, moveMethod, &error);
  // Windows sets the value only on failure; a position whose low part is
  // 0xFFFFFFFF is told apart by a last-error value of 0, which it sets then.
  if (result == INVALID_SET_FILE_POINTER) last_error_ = error;
  return result;
}

DWORD Machine::GetFileSize(HANDLE file, DWORD* sizeHigh) {
  if (Fails("GetFileSize", files_.PathOf(file))) return INVALID_FILE_SIZE;
  DWORD error = 0;
  DWORD result = files_.Size(file, sizeHigh, &error);
  if (error != 0) last_error_ = error;
  return result;
}

BOOL Machine::CloseHandle(HANDLE handle) {
  std::string subject = files_.PathOf(handle);
  if (files_.IsFileHandle(handle) && Fails("CloseHandle", subject)) {
    // The handle is gone all the same, as when Windows fails to flush on close.
    DWORD ignored = 0;
    files_.Close(handle, &ignored);
    return FALSE;
  }
  DWORD error = 0;
  if (!files_.Close(handle, &error)) {
    last_error_ = error;
    return FALSE;
  }
  return TRUE;
}

BOOL Machine::DeleteFileA(const char* fileName) {
  std::string subject = Text(fileName);
  if (Fails("DeleteFileA", subject)) return FALSE;
  DWORD error = 0;
  if (!files_.Delete(fileName, &error)) {
    last_error_ = error;
    return FALSE;
  }
  LeaveStale("DeleteFileA", subject);
  return TRUE;
}

BOOL Machine::MoveFileA(const char* existingName, const char* newName) {
  std::string subject = Text(existingName);
  if (Fails("MoveFileA", subject)) return FALSE;
  DWORD error = 0;
  if (!files_.Move(existingName, newName, &error)) {
    last_error_ = error;
    return FALSE;
  }
  LeaveStale("MoveFileA", subject);
  return TRUE;
}

DWORD Machine::GetFileAttributesA(const char* fileName) {
  if (Fails("GetFileAttributesA", Text(fileName))) return INVALID_FILE_ATTRIBUTES;
  DWORD error = 0;
  DWORD attributes = files_.Attributes(fileName, &error);
  if (attributes == INVALID_FILE_ATTRIBUTES) last_error_ = error;
  return attributes;
}

BOOL Machine::GetFileAttributesExA(const char* fileName,
                                   WIN32_FILE_ATTRIBUTE_DATA* data) {
  if (Fails("GetFileAttributesExA", Text(fileName))) return FALSE;
  DWORD error = 0;
  if (!files_.AttributesEx(fileName, data, &error)) {
    last_error_ = error;
    return FALSE;
  }
  return TRUE;
}

// --- Heap. HeapAlloc does not set the last-error value when it fails.

void* Machine::HeapAlloc(SIZE_T bytes) {
  if (faults_.Fail("HeapAlloc", std::to_string(bytes))) return nullptr;
  if (bytes > kLargestBlock) return nullptr;
  std::size_t mapped = 0;
  void* block = AllocateHostBlock(bytes, &mapped);
  if (block) heap_[block] = mapped;
  return block;
}

void Machine::HeapFree(void* block) {
  if (!block) return;
  auto it = heap_.find(block);
  if (it == heap_.end()) return;  // not ours: Windows would fail the call
  FreeHostBlock(block, it->second);
  heap_.erase(it);
}

// --- User interface, time, output.

int Machine::MessageBoxA(HWND /*owner*/, const char* text, const char* caption,
                         UINT type) {
  bool yesNo = (type & 0xF) == MB_YESNO;
  int answer = yesNo ? IDNO : IDOK;
  if (yesNo && !answers_.empty()) {
    answer = answers_.front();
    answers_.pop_front();
  } else if (prompt_) {
    if (auto asked = prompt_(Text(text), Text(caption), type)) answer = *asked;
  }
  Journal("msgbox", {Text(caption), std::to_string(type), std::to_string(answer),
                     Text(text)});
  return answer;
}

void Machine::Sleep(DWORD milliseconds) {
  clock_ms_ += milliseconds;
  Journal("sleep", {std::to_string(milliseconds)});
  // A service stop whose time has come completes while the program waits.
  services_.Settle(clock_ms_, spooler_);
}

void Machine::GetLocalTime(SYSTEMTIME* time) {
  if (time) *time = clock();
}

void Machine::WriteStandardOutput(std::string_view text) {
  stdout_ += text;
  if (stdout_sink_) stdout_sink_(text);
}

std::vector<std::string> Machine::LeakReport() const {
  std::vector<std::string> report;
  if (std::size_t n = registry_.OpenHandleCount()) {
    report.push_back(std::to_string(n) + " registry key handle(s) left open");
  }
  if (std::size_t n = files_.OpenHandleCount()) {
    report.push_back(std::to_string(n) + " file handle(s) left open");
  }
  if (std::size_t n = spooler_.OpenHandleCount()) {
    report.push_back(std::to_string(n) + " printer handle(s) left open");
  }
  if (std::size_t n = services_.OpenHandleCount()) {
    report.push_back(std::to_string(n) + " service handle(s) left open");
  }
  if (!heap_.empty()) {
    report.push_back(std::to_string(heap_.size()) + " heap block(s) not freed");
  }
  return report;
}

}  // namespace orvane::winsim
