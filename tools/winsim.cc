// winsim: make, inspect and arrange simulated Windows machines.
//
//   winsim create DIR [--windows 95|98|me|nt351|nt4|2000|xp|win32s]
//                     [--setup-dir PATH] [--without-postscript]
//   winsim show DIR
//   winsim reg DIR [KEY]
//   winsim reg-import DIR FILE
//   winsim journal DIR
//   winsim files DIR [PATH]
//   winsim answer DIR yes|no...
//   winsim fault DIR CALL CODE [once|always|stale] [--match TEXT]
//   winsim reboot DIR
//   winsim service DIR spooler [start|stop|stop-ms N]
//   winsim state SOURCE [--setup-dir PATH]
//   winsim diff BEFORE AFTER [--setup-dir PATH]
//
// `state` prints what a machine holds of the installer's concern (the registry
// keys it touches, the files of the folders it writes into), one item a line;
// SOURCE is a machine folder, a Wine prefix (--setup-dir: where setup.exe ran,
// default c:\orvane) or a state saved from this command. `diff` prints what
// changed from BEFORE to AFTER: "-" and "+" lines of those items.
// `service` without an action shows the Spooler's state; `stop-ms N` sets how
// long a stop takes in virtual time (a long one is the slow-stop fault).
//
// Bad arguments: usage on standard error, exit 2. A machine that is missing or
// damaged, or busy past the wait: a message that names it, exit 1.
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "main/product_tree.h"
#include "tools/state/machine_state.h"
#include "winsim/journal.h"
#include "winsim/machine_store.h"

namespace {

using namespace orvane;
using namespace orvane::winsim;

constexpr const char* kUsage =
    "usage:\n"
    "  winsim create DIR [--windows 95|98|me|nt351|nt4|2000|xp|win32s]\n"
    "                    [--setup-dir PATH] [--without-postscript]\n"
    "  winsim show DIR\n"
    "  winsim reg DIR [KEY]\n"
    "  winsim reg-import DIR FILE\n"
    "  winsim journal DIR\n"
    "  winsim files DIR [PATH]\n"
    "  winsim answer DIR yes|no...\n"
    "  winsim fault DIR CALL CODE [once|always|stale] [--match TEXT]\n"
    "  winsim reboot DIR\n"
    "  winsim service DIR spooler [start|stop|stop-ms N]\n"
    "  winsim state SOURCE [--setup-dir PATH]\n"
    "  winsim diff BEFORE AFTER [--setup-dir PATH]\n";

struct UsageError {
  std::string what;
};

int Create(const std::string& dir, const std::vector<std::string>& args) {
  NewMachineOptions options;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--windows" && i + 1 < args.size()) {
      auto version = ParseVersion(args[++i]);
      if (!version) throw UsageError{"unknown Windows version '" + args[i] + "'"};
      options.version = *version;
    } else if (args[i] == "--setup-dir" && i + 1 < args.size()) {
      options.setup_dir = args[++i];
    } else if (args[i] == "--without-postscript") {
      options.postscript_driver = false;
    } else {
      throw UsageError{"unknown option '" + args[i] + "'"};
    }
  }
  MachineFolder folder(dir, DefaultLockWait(), /*create=*/true);
  CreateMachine(folder, options);
  std::cout << "made a " << Profile(options.version).display_name << " machine at "
            << dir << "\n";
  return 0;
}

int Show(Machine& m) {
  const VersionProfile& p = m.profile();
  win::SYSTEMTIME t = m.clock();
  std::printf("windows: %s (GetVersion 0x%08X)\n", p.display_name, p.get_version);
  std::printf("clock: %04u-%02u-%02u %02u:%02u:%02u\n", t.wYear, t.wMonth, t.wDay,
              t.wHour, t.wMinute, t.wSecond);
  std::printf("module: %s\n", m.module_path().c_str());
  std::printf("answers queued: %zu\n", m.answers().size());
  for (const Fault& f : m.faults().faults()) {
    std::printf("fault: %s match='%s' code=%u %s fired=%d\n", f.call.c_str(),
                f.match.c_str(), f.code, FaultModeName(f.mode), f.fired);
  }
  std::printf("journal events: %zu\n", m.journal().size());
  return 0;
}

int Files(Machine& m, const std::vector<std::string>& args) {
  std::string path = args.empty() ? "C:\\" : args[0];
  if (!m.files().Exists(path)) {
    std::cerr << "winsim: no file or folder " << path << " on the machine\n";
    return 1;
  }
  if (!m.files().IsDirectory(path)) {
    auto bytes = m.files().ReadAll(path);
    if (bytes) std::fwrite(bytes->data(), 1, bytes->size(), stdout);
    return 0;
  }
  for (const std::string& file : m.files().List(path)) {
    auto bytes = m.files().ReadAll(file);
    std::printf("%10zu  %s\n", bytes ? bytes->size() : 0, file.c_str());
  }
  return 0;
}

// `state` and `diff`: read machines without taking their lock (the files are
// saved atomically), so a Wine prefix and a saved state read alike.
int StateOrDiff(const std::string& command, std::vector<std::string> args) {
  std::string setup_dir = "c:\\orvane";
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--setup-dir") {
      if (i + 1 >= args.size()) throw UsageError{"--setup-dir takes PATH"};
      setup_dir = args[i + 1];
      args.erase(args.begin() + static_cast<long>(i), args.begin() + static_cast<long>(i) + 2);
      break;
    }
  }
  try {
    if (command == "state") {
      if (args.size() != 1) throw UsageError{"state takes SOURCE"};
      std::cout << tools::FormatState(tools::ReadMachineState(args[0], setup_dir));
    } else {
      if (args.size() != 2) throw UsageError{"diff takes BEFORE and AFTER"};
      std::cout << tools::DiffStates(tools::ReadMachineState(args[0], setup_dir),
                                     tools::ReadMachineState(args[1], setup_dir));
    }
  } catch (const tools::StateError& e) {
    throw HostError(e.what());
  }
  return 0;
}

int Run(const std::vector<std::string>& argv) {
  if (argv.size() < 2) throw UsageError{""};
  const std::string& command = argv[0];
  if (command == "state" || command == "diff") {
    return StateOrDiff(command, std::vector<std::string>(argv.begin() + 1, argv.end()));
  }
  const std::string& dir = argv[1];
  std::vector<std::string> args(argv.begin() + 2, argv.end());
  if (command == "create") return Create(dir, args);

  static const std::vector<std::string> kCommands = {"show",   "reg",   "reg-import",
                                                     "journal", "files", "answer",
                                                     "fault",  "reboot", "service"};
  if (std::find(kCommands.begin(), kCommands.end(), command) == kCommands.end()) {
    throw UsageError{"unknown command '" + command + "'"};
  }
  // Check the arguments before touching the machine.
  if (command == "reg-import" && args.size() != 1) throw UsageError{"reg-import takes FILE"};
  if (command == "answer") {
    if (args.empty()) throw UsageError{"answer takes yes or no"};
    for (const std::string& a : args) {
      if (a != "yes" && a != "no") throw UsageError{"answers are yes or no, not '" + a + "'"};
    }
  }
  Fault fault;
  if (command == "fault") {
    if (args.size() < 2) throw UsageError{"fault takes CALL CODE [once|always|stale]"};
    fault.call = args[0];
    char* end = nullptr;
    unsigned long code = std::strtoul(args[1].c_str(), &end, 0);
    if (args[1].empty() || *end != '\0' || code > 0xFFFFFFFFul) {
      throw UsageError{"the code must be a number, not '" + args[1] + "'"};
    }
    fault.code = static_cast<win::DWORD>(code);
    for (std::size_t i = 2; i < args.size(); ++i) {
      if (args[i] == "--match" && i + 1 < args.size()) {
        fault.match = args[++i];
      } else if (auto mode = ParseFaultMode(args[i])) {
        fault.mode = *mode;
      } else {
        throw UsageError{"unknown fault option '" + args[i] + "'"};
      }
    }
  }
  std::optional<win::DWORD> stop_ms;
  if (command == "service") {
    std::string name = args.empty() ? "" : args[0];
    std::transform(name.begin(), name.end(), name.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (name != "spooler") throw UsageError{"service takes spooler (the only service)"};
    bool plain = args.size() == 1 ||
                 (args.size() == 2 && (args[1] == "start" || args[1] == "stop"));
    if (args.size() == 3 && args[1] == "stop-ms") {
      char* end = nullptr;
      unsigned long ms = std::strtoul(args[2].c_str(), &end, 10);
      if (args[2].empty() || *end != '\0' || args[2][0] == '-' || ms > 0xFFFFFFFFul) {
        throw UsageError{"stop-ms takes a number of milliseconds, not '" + args[2] + "'"};
      }
      stop_ms = static_cast<win::DWORD>(ms);
    } else if (!plain) {
      throw UsageError{"service spooler takes start, stop or stop-ms N"};
    }
  }
  if ((command == "show" || command == "journal" || command == "reboot") &&
      !args.empty()) {
    throw UsageError{command + " takes only DIR"};
  }
  if ((command == "reg" || command == "files") && args.size() > 1) {
    throw UsageError{command + " takes DIR and at most one more argument"};
  }

  MachineFolder folder(dir, DefaultLockWait());
  std::unique_ptr<Machine> machine = folder.Load();
  if (command == "show") return Show(*machine);
  if (command == "journal") {
    for (const std::string& line : machine->journal()) std::cout << line << "\n";
    return 0;
  }
  if (command == "files") return Files(*machine, args);
  if (command == "service") {
    if (!machine->profile().nt_family) {
      std::cerr << "winsim: " << machine->profile().display_name
                << " has no service manager\n";
      return 1;
    }
    ServiceManager& services = machine->services();
    if (args.size() == 1) {
      std::printf("Spooler: %s (a stop takes %lld ms)\n",
                  ServiceStateName(services.SpoolerState(machine->now_ms())),
                  static_cast<long long>(services.spooler_stop_ms()));
      return 0;
    }
    services.Settle(machine->now_ms(), machine->spooler());
    if (stop_ms) {
      services.SetSpoolerStopMs(*stop_ms);
    } else if (args[1] == "stop") {
      services.StopSpoolerNow(machine->spooler());
    } else {
      services.StartSpoolerNow(machine->spooler());
    }
  }
  if (command == "reg") {
    std::string key = args.empty() ? std::string() : args[0];
    if (!key.empty() && !machine->registry().KeyExists(key)) {
      std::cerr << "winsim: no key " << key << " on the machine\n";
      return 1;
    }
    std::cout << machine->registry().ExportRegedit4(key);
    return 0;
  }
  if (command == "reg-import") {
    std::ifstream in(args[0], std::ios::binary);
    if (!in) throw HostError(args[0] + ": cannot be read");
    std::ostringstream text;
    text << in.rdbuf();
    try {
      machine->registry().ImportRegedit4(text.str());
    } catch (const RegFileError& e) {
      throw HostError(args[0] + ":" + std::to_string(e.line()) + ": " + e.what());
    }
  } else if (command == "answer") {
    for (const std::string& a : args) {
      machine->answers().push_back(a == "yes" ? win::IDYES : win::IDNO);
    }
  } else if (command == "fault") {
    machine->faults().Add(fault);
  } else if (command == "reboot") {
    machine->Reboot();
  }
  folder.Save(*machine);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    return Run(std::vector<std::string>(argv + 1, argv + argc));
  } catch (const UsageError& e) {
    if (!e.what.empty()) std::cerr << "winsim: " << e.what << "\n";
    std::cerr << kUsage;
    return 2;
  } catch (const HostError& e) {
    std::cerr << "winsim: " << e.what() << "\n";
    return 1;
  }
}
