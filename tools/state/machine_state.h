// What a machine holds of the installer's concern, as comparable lines: the
// registry keys the installer touches and the files below the folders it
// writes into. A machine is a simulated one (a winsim folder), a Wine prefix,
// or a state saved earlier by `winsim state`.
//
// Each item is one line, "identity<TAB>rendering":
//   key   HKLM\system\currentcontrolset\control\print\printers\orvane
//   value HKLM\...\orvaneport\\delay            REG_DWORD 0x0000012c
//   file  %SYSTEM%\orvmon.dll                   2048 bytes fnv1a64 0123456789abcdef
//   log   %SETUP%\res\drivedir\setup.log:3      AddMonitor: 3006
//   spooler printer orvane                      port=ORVANEPORT driver=...
// Names are lower-cased, since Windows compares them without regard to case;
// data is kept exactly. Files are named by the folder they lie in, as the
// running Windows answers for it (%SETUP% the setup folder, %ROOT% the product
// folder below a separate installation root, %DRIVERS% the printer-driver
// folder, %SYSTEM% the system folder), so that two Windows that keep their
// folders in different places compare. A setup.log is compared by its texts,
// line by line, without the time stamps. A simulated machine also gives what
// its spooler reports of printers, drivers and monitors ("spooler" items); for
// a Wine prefix only a program inside it can ask, so the Wine scenarios add
// those items from spooler_list.exe.
#pragma once

#include <map>
#include <stdexcept>
#include <string>
#include <string_view>

namespace orvane::winsim {
class Registry;
struct VersionProfile;
}  // namespace orvane::winsim

namespace orvane::tools {

// Identity to rendering, sorted by identity.
using MachineState = std::map<std::string, std::string>;

class StateError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Reads DIR: a winsim machine folder (it has machine.ini), a Wine prefix (its
// system.reg begins "WINE REGISTRY"), or a state file. For a Wine prefix,
// setupDir names the folder setup.exe ran from (C:\ form). Throws StateError
// when DIR is none of these or cannot be read.
MachineState ReadMachineState(const std::string& path, const std::string& setupDir);

// The folders a simulated machine's state names by role, as Windows spells them: %SETUP%
// (that of the running setup.exe), %SYSTEM%, %DRIVERS% (where it is not the system folder) and
// %ROOT% (the installation root's product folder, where it is not the setup folder).
std::map<std::string, std::string> SimulatedMachineFolders(const winsim::Registry& registry,
                                                           const winsim::VersionProfile& profile,
                                                           const std::string& modulePath);

// The state of a simulated machine in memory: its registry, its Windows, the path of the
// running setup.exe and the host folder that is its drive C:.
MachineState SimulatedMachineState(const winsim::Registry& registry,
                                   const winsim::VersionProfile& profile,
                                   const std::string& modulePath, const std::string& driveCPath);

// Bytes as the state spells them: printable ASCII as it is, a backslash doubled, anything
// else as \xNN.
std::string Escape(std::string_view bytes);

// The state as text, one item a line, and back.
std::string FormatState(const MachineState& state);
MachineState ParseState(const std::string& text);

// What changed from `before` to `after`: "-<TAB>item" for each item that went
// or changed, "+<TAB>item" for each that came or changed, sorted by identity.
std::string DiffStates(const MachineState& before, const MachineState& after);

}  // namespace orvane::tools
