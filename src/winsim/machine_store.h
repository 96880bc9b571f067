// A machine kept in a folder between runs:
//   machine.ini   the version, the clock, the running program, the environment,
//                 queued answers, faults, and the disk state the host cannot keep
//                 (attributes, files held by other processes, files in use);
//   system.reg    the registry as REGEDIT4 text, which regedit can import;
//   drive_c/      the files of drive C:, changed in place as a disk is;
//   journal.log   the journal, one event a line.
// The three text files are saved atomically (written beside, flushed, renamed),
// so a process killed while saving leaves the old file or the new one. A lock
// file held for the whole run keeps a second process out: it waits a bounded
// time, then fails with a message.
//
// Failures of the host around the simulated run (a folder that is no machine,
// a damaged file, a lock not had in time) throw HostError, whose message names
// the file and, for damaged text, the line.
#pragma once

#include <chrono>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>

#include "winsim/machine.h"

namespace orvane::winsim {

class HostError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class MachineFolder {
 public:
  // Takes the folder's lock, waiting at most `lockWait`. With `create`, a
  // missing folder is made first (a new machine is then laid out by the caller
  // and saved); without it, a missing folder is a HostError.
  MachineFolder(std::filesystem::path dir, std::chrono::milliseconds lockWait,
                bool create = false);
  ~MachineFolder();
  MachineFolder(const MachineFolder&) = delete;
  MachineFolder& operator=(const MachineFolder&) = delete;

  static bool HoldsMachine(const std::filesystem::path& dir);

  std::unique_ptr<Machine> Load() const;
  void Save(const Machine& machine) const;

  const std::filesystem::path& dir() const { return dir_; }
  std::filesystem::path drive_c() const { return dir_ / "drive_c"; }

 private:
  std::filesystem::path dir_;
  int lock_fd_ = -1;
};

// How long a run waits for another process's lock: ORVANE_LOCK_WAIT_MS if set,
// otherwise 60 seconds.
std::chrono::milliseconds DefaultLockWait();

// machine.ini as text, and back; ParseMachineIni throws HostError naming
// `fileName` and the line for damaged text.
std::string FormatMachineIni(const Machine& machine);
std::unique_ptr<Machine> ParseMachineIni(const std::string& text,
                                         const std::string& fileName,
                                         const std::filesystem::path& driveC);

}  // namespace orvane::winsim
