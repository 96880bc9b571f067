// What orvcheck finds: one line per part of an installation, and what the
// whole comes to. The same report serves the two questions it is asked:
//   installation  is the product installed whole on this Windows?
//   removal       did a removal leave only what it is meant to leave?
// Parts, statuses and actions have fixed names (the ids below): they are what
// the JSON output carries and what a deployment tool may match.
#pragma once

#include <string>
#include <vector>

namespace orvane::check {

enum class Question { kInstallation, kRemoval };

enum class Status {
  kPresent,  // installation: as the installation leaves it
  kMissing,  // installation: not there
  kWrong,    // there, but not as it should be (either question)
  kGone,     // removal: taken away
  kStays,    // removal: left, as the removal means to leave it
  kLeft,     // removal: left, but the removal should have taken it
};

// What the user can do about a part that is not as it should be.
enum class Action {
  kNone,
  kRunSetup,             // run setup (again)
  kRebootThenSetup,      // restart Windows, then run setup
  kReinstall,            // run setup uninstall, then setup
  kRunUninstall,         // run setup uninstall again
  kRebootThenUninstall,  // restart Windows, then remove Orvane again
  kReboot,               // restart Windows (the spooler starts with it)
  kRemoveByHand,         // delete it by hand
  kNotOnThisWindows,     // nothing: this Windows cannot take it
};

struct Part {
  std::string id;  // "spooler", "monitor", "monitor-files", "port", "driver",
                   // "driver-files", "printer", "printer-data",
                   // "uninstall-entry", "settings"
  Status status = Status::kPresent;
  std::string detail;  // what was found, or what is missing and why
  Action action = Action::kNone;
  // A registration with Windows (spooler objects, their registry data, the
  // Add/Remove Programs entry), as opposed to files and settings, which a
  // removal leaves by design: only registrations tell whether the product is
  // installed at all.
  bool registration = false;
};

struct Report {
  Question question = Question::kInstallation;
  std::string windows;    // "5.1.2600, NT family"
  std::string setup_dir;  // the product folder the parts are judged against
  std::vector<Part> parts;
};

// A part that is not as it should be: missing, wrong or left behind.
bool IsFinding(const Part& part);

// The exit code that sums the report up:
//   installation  0 every part present; 1 no registration there at all (not
//                 installed); 2 anything between (partly there or damaged);
//   removal       0 only what a removal leaves; 2 anything else.
// 3 is left for a check that cannot run at all.
int ExitCode(const Report& report);

const char* StatusName(Status status);  // "present", "missing", ...
const char* ActionName(Action action);  // "none", "run-setup", ...
const char* ActionText(Action action);  // "run setup again", ...

// The report for a person: a line per part (id, status, detail; the action
// on a line of its own below a finding), then the verdict with its exit code.
std::string FormatTable(const Report& report);
// The report as one JSON document. Control characters and bytes above 0x7F
// are written as \u00XX escapes (the ANSI text read as Latin-1), so that the
// document is valid whatever the machine's code page.
std::string FormatJson(const Report& report);

}  // namespace orvane::check
