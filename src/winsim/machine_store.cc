#include "winsim/machine_store.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>

#include "winsim/journal.h"

namespace orvane::winsim {

using namespace orvane::win;
namespace fs = std::filesystem;

namespace {

constexpr const char* kIni = "machine.ini";
constexpr const char* kReg = "system.reg";
constexpr const char* kJournal = "journal.log";
constexpr const char* kLock = ".lock";

std::string ReadText(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw HostError(path.string() + ": cannot be read");
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// Write beside, flush to the disk, rename over: the old file or the new one,
// never a torn one.
void WriteAtomically(const fs::path& path, const std::string& text) {
  fs::path temp = path;
  temp += ".tmp";
  int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) throw HostError(temp.string() + ": " + std::strerror(errno));
  std::size_t done = 0;
  while (done < text.size()) {
    ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      int err = errno;
      ::close(fd);
      throw HostError(temp.string() + ": " + std::strerror(err));
    }
    done += static_cast<std::size_t>(n);
  }
  if (::fsync(fd) != 0 || ::close(fd) != 0) {
    throw HostError(temp.string() + ": " + std::strerror(errno));
  }
  if (::rename(temp.c_str(), path.c_str()) != 0) {
    throw HostError(path.string() + ": " + std::strerror(errno));
  }
  int dir = ::open(path.parent_path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    ::fsync(dir);
    ::close(dir);
  }
}

std::string FormatTime(const SYSTEMTIME& t) {
  char text[48];
  std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u.%03u", t.wYear,
                t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds);
  return text;
}

std::optional<SYSTEMTIME> ParseTime(const std::string& text) {
  unsigned y, mo, d, h, mi, s, ms;
  char tail;
  if (std::sscanf(text.c_str(), "%4u-%2u-%2u %2u:%2u:%2u.%3u%c", &y, &mo, &d, &h, &mi,
                  &s, &ms, &tail) != 7) {
    return std::nullopt;
  }
  if (y < 1601 || y > 30827 || mo < 1 || mo > 12 || d < 1 || d > 31 || h > 23 ||
      mi > 59 || s > 59) {
    return std::nullopt;
  }
  SYSTEMTIME t;
  t.wYear = static_cast<WORD>(y);
  t.wMonth = static_cast<WORD>(mo);
  t.wDay = static_cast<WORD>(d);
  t.wHour = static_cast<WORD>(h);
  t.wMinute = static_cast<WORD>(mi);
  t.wSecond = static_cast<WORD>(s);
  t.wMilliseconds = static_cast<WORD>(ms);
  return t;
}

std::optional<DWORD> ParseNumber(const std::string& text) {
  if (text.empty() || text.size() > 12) return std::nullopt;
  char* end = nullptr;
  errno = 0;
  unsigned long long value = std::strtoull(text.c_str(), &end, 0);
  if (*end != '\0' || errno != 0 || value > 0xFFFFFFFFull || text[0] == '-') {
    return std::nullopt;
  }
  return static_cast<DWORD>(value);
}

}  // namespace

std::chrono::milliseconds DefaultLockWait() {
  if (const char* text = std::getenv("ORVANE_LOCK_WAIT_MS")) {
    if (auto ms = ParseNumber(text)) return std::chrono::milliseconds(*ms);
  }
  return std::chrono::seconds(60);
}

MachineFolder::MachineFolder(fs::path dir, std::chrono::milliseconds lockWait,
                             bool create)
    : dir_(std::move(dir)) {
  if (create) {
    std::error_code error;
    fs::create_directories(dir_ / "drive_c", error);
    if (error) throw HostError(dir_.string() + ": " + error.message());
  }
  if (!fs::is_directory(dir_)) {
    throw HostError("no machine at " + dir_.string() + " (create one with: winsim create " +
                    dir_.string() + ")");
  }
  fs::path lock = dir_ / kLock;
  lock_fd_ = ::open(lock.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (lock_fd_ < 0) throw HostError(lock.string() + ": " + std::strerror(errno));
  auto deadline = std::chrono::steady_clock::now() + lockWait;
  while (::flock(lock_fd_, LOCK_EX | LOCK_NB) != 0) {
    if (errno != EWOULDBLOCK && errno != EINTR) {
      int err = errno;
      ::close(lock_fd_);
      throw HostError(lock.string() + ": " + std::strerror(err));
    }
    if (std::chrono::steady_clock::now() >= deadline) {
      ::close(lock_fd_);
      throw HostError("the machine at " + dir_.string() +
                      " is in use by another process; gave up waiting after " +
                      std::to_string(lockWait.count()) + " ms");
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

MachineFolder::~MachineFolder() {
  if (lock_fd_ >= 0) ::close(lock_fd_);  // closing releases the lock
}

bool MachineFolder::HoldsMachine(const fs::path& dir) {
  return fs::is_regular_file(dir / kIni);
}

std::unique_ptr<Machine> MachineFolder::Load() const {
  if (!HoldsMachine(dir_)) {
    throw HostError("no machine at " + dir_.string() + " (" + kIni + " is missing)");
  }
  fs::create_directories(drive_c());
  std::string ini = ReadText(dir_ / kIni);
  auto machine = ParseMachineIni(ini, (dir_ / kIni).string(), drive_c());
  if (fs::exists(dir_ / kReg)) {
    try {
      machine->registry().ImportRegedit4(ReadText(dir_ / kReg));
    } catch (const RegFileError& e) {
      throw HostError((dir_ / kReg).string() + ":" + std::to_string(e.line()) + ": " +
                      e.what());
    }
  }
  if (fs::exists(dir_ / kJournal)) {
    std::vector<std::string> lines;
    std::istringstream in(ReadText(dir_ / kJournal));
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    machine->SetJournal(std::move(lines));
  }
  return machine;
}

void MachineFolder::Save(const Machine& machine) const {
  std::string journal;
  for (const std::string& line : machine.journal()) journal += line + "\n";
  WriteAtomically(dir_ / kReg, machine.registry().ExportRegedit4());
  WriteAtomically(dir_ / kJournal, journal);
  // machine.ini last: a folder with it holds a whole machine.
  WriteAtomically(dir_ / kIni, FormatMachineIni(machine));
}

// machine.ini:
//   [machine]      windows, clock, module, current_directory, administrator
//   [environment]  one variable a line, in block order
//   [answers]      queue = yes no ...
//   [faults]       fault = CALL|CODE|MODE|FIRED|MATCH
//   [attributes]   PATH = attributes (hex)
//   [holds]        PATH = SHARE or SHARE|ACCESS: the share mode and access
//                  of another process's handle (ACCESS absent: read and write)
//   [in_use]       PATH = 1
//   [disk]         free_space = bytes (absent: unlimited)
//   [services]     spooler = running|stop_pending|stopped; while stopping,
//                  spooler_stop_remaining_ms = the virtual time the stop still
//                  takes from the saved clock; spooler_stop_ms = how long a stop
//                  takes (the slow-stop fault when long; absent: 200)
std::string FormatMachineIni(const Machine& m) {
  std::ostringstream out;
  out << "[machine]\n"
      << "windows=" << m.profile().name << "\n"
      << "clock=" << FormatTime(m.clock()) << "\n"
      << "module=" << m.module_path() << "\n"
      << "current_directory=" << m.files().current_directory() << "\n"
      << "administrator=" << (m.administrator() ? "yes" : "no") << "\n";
  out << "\n[environment]\n";
  for (const std::string& v : m.environment()) out << "var=" << EscapeJournalField(v) << "\n";
  out << "\n[answers]\nqueue=";
  for (std::size_t i = 0; i < m.answers().size(); ++i) {
    out << (i ? " " : "") << (m.answers()[i] == IDYES ? "yes" : "no");
  }
  out << "\n\n[faults]\n";
  for (const Fault& f : m.faults().faults()) {
    out << "fault=" << f.call << "|" << f.code << "|" << FaultModeName(f.mode) << "|"
        << f.fired << "|" << EscapeJournalField(f.match) << "\n";
  }
  out << "\n[attributes]\n";
  for (const auto& [path, attributes] : m.files().attribute_table()) {
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%x", attributes);
    out << path << "=" << hex << "\n";
  }
  out << "\n[holds]\n";
  for (const auto& [path, hold] : m.files().holds()) {
    out << path << "=" << hold.share;
    if (hold.access != FileSystem::kHoldAccess) {
      char hex[16];
      std::snprintf(hex, sizeof hex, "|0x%x", hold.access);
      out << hex;
    }
    out << "\n";
  }
  out << "\n[in_use]\n";
  for (const auto& [path, used] : m.files().in_use()) {
    if (used) out << path << "=1\n";
  }
  out << "\n[disk]\n";
  if (m.files().free_space()) out << "free_space=" << *m.files().free_space() << "\n";
  const ServiceManager& services = m.services();
  ServiceState spooler = services.SpoolerState(m.now_ms());
  out << "\n[services]\nspooler=" << ServiceStateName(spooler) << "\n";
  if (spooler == ServiceState::kStopPending) {
    out << "spooler_stop_remaining_ms=" << *services.spooler_stop_due_ms() - m.now_ms()
        << "\n";
  }
  out << "spooler_stop_ms=" << services.spooler_stop_ms() << "\n";
  return out.str();
}

std::unique_ptr<Machine> ParseMachineIni(const std::string& text,
                                         const std::string& fileName,
                                         const fs::path& driveC) {
  struct Entry {
    int line;
    std::string section, key, value;
  };
  std::vector<Entry> entries;
  std::istringstream in(text);
  std::string section;
  int number = 0;
  auto damaged = [&](int line, const std::string& what) {
    return HostError(fileName + ":" + std::to_string(line) + ": " + what);
  };
  for (std::string line; std::getline(in, line);) {
    ++number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == ';' || line[0] == '#') continue;
    if (line[0] == '[') {
      if (line.back() != ']') throw damaged(number, "unterminated section header");
      section = line.substr(1, line.size() - 2);
      continue;
    }
    std::size_t eq = line.find('=');
    if (eq == std::string::npos) throw damaged(number, "expected name=value");
    if (section.empty()) throw damaged(number, "value outside a section");
    entries.push_back({number, section, line.substr(0, eq), line.substr(eq + 1)});
  }

  std::optional<WindowsVersion> version;
  int version_line = 0;
  for (const Entry& e : entries) {
    if (e.section == "machine" && e.key == "windows") {
      version = ParseVersion(e.value);
      version_line = e.line;
      if (!version) throw damaged(e.line, "unknown Windows version '" + e.value + "'");
    }
  }
  if (!version) throw damaged(version_line, "no windows= in [machine]");

  auto machine = std::make_unique<Machine>(*version, driveC);
  std::vector<std::string> environment;
  bool has_environment = false;
  ServiceState spooler = ServiceState::kRunning;
  DWORD spooler_stop_remaining = 0;
  for (const Entry& e : entries) {
    const std::string& v = e.value;
    if (e.section == "machine") {
      if (e.key == "windows") continue;
      if (e.key == "clock") {
        auto t = ParseTime(v);
        if (!t) throw damaged(e.line, "clock must be YYYY-MM-DD HH:MM:SS.mmm");
        machine->SetClock(*t);
      } else if (e.key == "module") {
        machine->SetModulePath(v);
      } else if (e.key == "current_directory") {
        machine->files().SetCurrentDirectory(v);
      } else if (e.key == "administrator") {
        if (v != "yes" && v != "no") throw damaged(e.line, "administrator is yes or no");
        machine->SetAdministrator(v == "yes");
      } else {
        throw damaged(e.line, "unknown key '" + e.key + "' in [machine]");
      }
    } else if (e.section == "environment") {
      has_environment = true;
      environment.push_back(UnescapeJournalField(v));
    } else if (e.section == "answers") {
      std::istringstream words(v);
      for (std::string word; words >> word;) {
        if (word == "yes") {
          machine->answers().push_back(IDYES);
        } else if (word == "no") {
          machine->answers().push_back(IDNO);
        } else {
          throw damaged(e.line, "answers are yes or no, not '" + word + "'");
        }
      }
    } else if (e.section == "faults") {
      // The match comes last and may hold any character.
      std::vector<std::string> parts;
      std::size_t start = 0;
      while (parts.size() < 4) {
        std::size_t bar = v.find('|', start);
        if (bar == std::string::npos) break;
        parts.push_back(v.substr(start, bar - start));
        start = bar + 1;
      }
      constexpr const char* kForm = "fault is CALL|CODE|MODE|FIRED|MATCH";
      if (parts.size() != 4) throw damaged(e.line, kForm);
      auto code = ParseNumber(parts[1]);
      auto mode = ParseFaultMode(parts[2]);
      auto fired = ParseNumber(parts[3]);
      if (parts[0].empty() || !code || !mode || !fired) throw damaged(e.line, kForm);
      machine->faults().Add({parts[0], UnescapeJournalField(v.substr(start)), *code, *mode,
                             static_cast<int>(*fired)});
    } else if (e.section == "attributes") {
      auto attributes = ParseNumber(v);
      if (!attributes) throw damaged(e.line, "attributes must be a number");
      machine->files().SetAttributes(e.key, *attributes);
    } else if (e.section == "holds") {
      const std::size_t bar = v.find('|');
      auto share = ParseNumber(v.substr(0, bar));
      auto access = bar == std::string::npos ? std::optional(FileSystem::kHoldAccess)
                                             : ParseNumber(v.substr(bar + 1));
      if (!share || !access) throw damaged(e.line, "a hold is SHARE or SHARE|ACCESS, numbers");
      machine->files().HoldByOtherProcess(e.key, *share, *access);
    } else if (e.section == "in_use") {
      machine->files().MarkInUse(e.key);
    } else if (e.section == "disk") {
      if (e.key != "free_space") throw damaged(e.line, "unknown key '" + e.key + "' in [disk]");
      char* end = nullptr;
      unsigned long long bytes = std::strtoull(v.c_str(), &end, 10);
      if (v.empty() || *end != '\0') throw damaged(e.line, "free_space must be a number");
      machine->files().SetFreeSpace(bytes);
    } else if (e.section == "services") {
      if (e.key == "spooler") {
        auto state = ParseServiceState(v);
        if (!state) throw damaged(e.line, "spooler is running, stop_pending or stopped");
        spooler = *state;
      } else if (e.key == "spooler_stop_remaining_ms" || e.key == "spooler_stop_ms") {
        auto ms = ParseNumber(v);
        if (!ms) throw damaged(e.line, e.key + " must be a number of milliseconds");
        if (e.key == "spooler_stop_ms") {
          machine->services().SetSpoolerStopMs(*ms);
        } else {
          spooler_stop_remaining = *ms;
        }
      } else {
        throw damaged(e.line, "unknown key '" + e.key + "' in [services]");
      }
    } else {
      throw damaged(e.line, "unknown section [" + e.section + "]");
    }
  }
  if (has_environment) machine->SetEnvironment(std::move(environment));
  // After [machine], whatever the order: the pending stop counts from the clock.
  machine->services().Restore(spooler, machine->now_ms() + spooler_stop_remaining);
  return machine;
}

}  // namespace orvane::winsim
