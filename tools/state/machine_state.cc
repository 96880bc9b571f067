#include "tools/state/machine_state.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <regex>
#include <sstream>
#include <vector>

#include "tools/state/wine_registry.h"
#include "winsim/registry.h"
#include "winsim/versions.h"

namespace orvane::tools {

std::string Escape(std::string_view bytes) {
  std::string out;
  for (unsigned char c : bytes) {
    if (c == '\\') {
      out += "\\\\";
    } else if (c >= 0x20 && c < 0x7f) {
      out.push_back(static_cast<char>(c));
    } else {
      char hex[5];
      std::snprintf(hex, sizeof hex, "\\x%02x", c);
      out += hex;
    }
  }
  return out;
}

namespace {

namespace fs = std::filesystem;
using winsim::Registry;

// The registry the installer touches: whole subtrees, and single values.
constexpr const char* kWatchedKeys[] = {
    "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Print",
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Orvane",
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\IniFileMapping\\orvane.ini",
    "HKEY_LOCAL_MACHINE\\Software\\Orvane",
};
struct WatchedValue {
  const char* key;
  const char* name;
};
constexpr WatchedValue kWatchedValues[] = {
    {"HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment",
     "Path"},
};

std::string Lower(std::string_view text) {
  std::string out(text);
  std::transform(out.begin(), out.end(), out.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return out;
}

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw StateError(path.string() + ": cannot be read");
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::uint64_t Fnv1a(std::string_view bytes) {
  std::uint64_t hash = 0xcbf29ce484222325ull;
  for (unsigned char c : bytes) {
    hash ^= c;
    hash *= 0x100000001b3ull;
  }
  return hash;
}

std::string Hex64(std::uint64_t value) {
  char text[17];
  std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(value));
  return text;
}

std::string RenderValue(const winsim::RegValue& value) {
  static const char* const kTypes[] = {"REG_NONE",  "REG_SZ",    "REG_EXPAND_SZ",
                                       "REG_BINARY", "REG_DWORD", "REG_DWORD_BIG_ENDIAN",
                                       "REG_LINK",  "REG_MULTI_SZ"};
  std::string type = value.type < 8 ? kTypes[value.type] : "type(" + std::to_string(value.type) + ")";
  std::string_view bytes(reinterpret_cast<const char*>(value.data.data()), value.data.size());
  if (value.type == win::REG_DWORD && bytes.size() == 4) {
    char text[11];
    std::snprintf(text, sizeof text, "0x%08x",
                  value.data[0] | value.data[1] << 8 | value.data[2] << 16 |
                      static_cast<unsigned>(value.data[3]) << 24);
    return type + " " + text;
  }
  if (value.type == win::REG_SZ || value.type == win::REG_EXPAND_SZ ||
      value.type == win::REG_MULTI_SZ || bytes.size() <= 32) {
    return type + " " + Escape(bytes);
  }
  return type + " " + std::to_string(bytes.size()) + " bytes fnv1a64 " + Hex64(Fnv1a(bytes));
}

// "HKEY_LOCAL_MACHINE\A\B" as "HKLM\a\b".
std::string KeyIdentity(const std::string& path) {
  constexpr std::string_view kRoot = "HKEY_LOCAL_MACHINE";
  return "HKLM" + Lower(std::string_view(path).substr(kRoot.size()));
}

void AddKeyTree(const Registry& registry, const std::string& path, MachineState& state) {
  if (!registry.KeyExists(path)) return;
  std::string identity = KeyIdentity(path);
  state["key " + identity] = "";
  for (const winsim::RegValue& value : registry.Values(path)) {
    state["value " + identity + " \"" + Lower(value.name) + "\""] = RenderValue(value);
  }
  for (const std::string& sub : registry.SubkeyNames(path)) {
    AddKeyTree(registry, path + "\\" + sub, state);
  }
}

void AddRegistry(const Registry& registry, MachineState& state) {
  for (const char* key : kWatchedKeys) AddKeyTree(registry, key, state);
  for (const WatchedValue& watched : kWatchedValues) {
    if (auto value = registry.GetValue(watched.key, watched.name)) {
      state["value " + KeyIdentity(watched.key) + " \"" + Lower(watched.name) + "\""] =
          RenderValue(*value);
    }
  }
}

// A folder of the running Windows, by the name items carry for it.
struct Role {
  std::string name;     // "%SYSTEM%"
  std::string windows;  // "C:\WINDOWS\SYSTEM"
  fs::path host;        // found on the host; empty when the folder is missing
};

// The host path of a "C:\..." path below drive_c, each name matched without
// regard to case; empty when some part is missing.
fs::path HostPath(const fs::path& driveC, std::string_view windowsPath) {
  if (windowsPath.size() < 2 || Lower(windowsPath.substr(0, 2)) != "c:") return {};
  fs::path at = driveC;
  std::string rest(windowsPath.substr(2));
  std::stringstream parts(rest);
  std::string part;
  while (std::getline(parts, part, '\\')) {
    if (part.empty()) continue;
    std::error_code error;
    fs::path found;
    for (const fs::directory_entry& entry : fs::directory_iterator(at, error)) {
      if (Lower(entry.path().filename().string()) == Lower(part)) {
        found = entry.path();
        break;
      }
    }
    if (error || found.empty()) return {};
    at = found;
  }
  return at;
}

std::string LogTextOf(std::string line) {
  static const std::regex kStamp("^[0-1][0-9]-[0-3][0-9]-[0-9][0-9]: [0-2][0-9]:[0-5][0-9]");
  std::smatch stamp;
  if (std::regex_search(line, stamp, kStamp)) return line.substr(stamp.length(0));
  return "UNSTAMPED " + line;
}

void AddFile(const fs::path& host, const std::string& identity, MachineState& state) {
  std::string bytes = ReadFile(host);
  if (Lower(host.filename().string()) == "setup.log") {
    // Lines end in CR LF, as Notepad reads them; a lone LF stays inside its
    // line (escaped), where a Windows reader would not break the line either.
    int number = 1;
    for (std::size_t start = 0; start < bytes.size(); ++number) {
      std::size_t end = bytes.find("\r\n", start);
      if (end == std::string::npos) end = bytes.size();
      state["log " + identity + ":" + std::to_string(number)] =
          Escape(LogTextOf(bytes.substr(start, end - start)));
      start = end + 2;
    }
    return;
  }
  state["file " + identity] =
      std::to_string(bytes.size()) + " bytes fnv1a64 " + Hex64(Fnv1a(bytes));
}

// Every file below the roles' folders, each named by the innermost role
// folder that holds it.
void AddFiles(std::vector<Role> roles, MachineState& state) {
  roles.erase(std::remove_if(roles.begin(), roles.end(),
                             [](const Role& r) { return r.host.empty(); }),
              roles.end());
  auto owner = [&](const fs::path& file) -> const Role* {
    const Role* best = nullptr;
    for (const Role& role : roles) {
      std::string root = role.host.string() + "/";
      if (file.string().rfind(root, 0) == 0 &&
          (!best || role.host.string().size() > best->host.string().size())) {
        best = &role;
      }
    }
    return best;
  };
  for (const Role& role : roles) {
    std::error_code error;
    fs::recursive_directory_iterator it(role.host, error), end;
    for (; !error && it != end; it.increment(error)) {
      const fs::directory_entry& entry = *it;
      if (entry.is_symlink()) {
        if (entry.is_directory()) it.disable_recursion_pending();
        continue;
      }
      if (!entry.is_regular_file()) continue;
      if (owner(entry.path()) != &role) continue;
      std::string relative = fs::relative(entry.path(), role.host).generic_string();
      std::replace(relative.begin(), relative.end(), '/', '\\');
      AddFile(entry.path(), role.name + "\\" + Lower(relative), state);
    }
    if (error) throw StateError(role.host.string() + ": " + error.message());
  }
}

std::string Ini(const std::string& text, const std::string& name) {
  std::stringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.rfind(name + "=", 0) == 0) return line.substr(name.size() + 1);
  }
  return "";
}

std::string FolderOf(const std::string& windowsPath) {
  std::size_t slash = windowsPath.rfind('\\');
  return slash == std::string::npos ? windowsPath : windowsPath.substr(0, slash);
}

// The product folder below the installation root the registry names, when
// that is not the setup folder itself.
std::optional<std::string> RootFolder(const Registry& registry, const std::string& setupDir) {
  std::string root = "c:\\";
  if (auto value = registry.GetValue("HKEY_LOCAL_MACHINE\\Software\\Orvane", "Path")) {
    root.assign(value->data.begin(),
                std::find(value->data.begin(), value->data.end(), win::BYTE{0}));
  }
  std::string folder = root + "orvane";
  if (Lower(folder) == Lower(setupDir)) return std::nullopt;
  return folder;
}

// What the simulated spooler reports of its printers, the drivers of its
// environment and its monitors (its state is the registry, where Windows
// keeps it), in the form a Wine prefix's spooler_list.exe prints.
void AddSpoolerView(const Registry& registry, const winsim::VersionProfile& profile,
                    MachineState& state) {
  const std::string print = "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Print";
  auto text = [&](const std::string& key, const char* name) {
    auto value = registry.GetValue(key, name);
    if (!value) return std::string();
    return std::string(value->data.begin(),
                       std::find(value->data.begin(), value->data.end(), win::BYTE{0}));
  };
  for (const std::string& name : registry.SubkeyNames(print + "\\Printers")) {
    std::string key = print + "\\Printers\\" + name;
    state["spooler printer " + Lower(name)] =
        "port=" + text(key, "Port") + " driver=" + text(key, "Printer Driver");
  }
  std::string drivers = print + "\\Environments\\" + profile.environment + "\\Drivers";
  std::string env = Lower(profile.environment);
  for (const std::string& sub : registry.SubkeyNames(drivers)) {
    if (!profile.nt_family) {
      state["spooler driver " + env + "\\" + Lower(sub)] = "version=0";
      continue;
    }
    if (Lower(sub).rfind("version-", 0) != 0) continue;
    for (const std::string& name : registry.SubkeyNames(drivers + "\\" + sub)) {
      state["spooler driver " + env + "\\" + Lower(name)] = "version=" + sub.substr(8);
    }
  }
  for (const std::string& name : registry.SubkeyNames(print + "\\Monitors")) {
    std::string key = print + "\\Monitors\\" + name;
    if (registry.GetValue(key, "Driver")) state["spooler monitor " + Lower(name)] = "dll=" + text(key, "Driver");
  }
}

MachineState ReadWinsimMachine(const fs::path& dir) {
  std::string ini = ReadFile(dir / "machine.ini");
  auto version = winsim::ParseVersion(Ini(ini, "windows"));
  if (!version) throw StateError((dir / "machine.ini").string() + ": no known windows=");
  Registry registry;
  try {
    registry.ImportRegedit4(ReadFile(dir / "system.reg"));
  } catch (const winsim::RegFileError& e) {
    throw StateError((dir / "system.reg").string() + ":" + std::to_string(e.line()) + ": " +
                     e.what());
  }
  return SimulatedMachineState(registry, winsim::Profile(*version), Ini(ini, "module"),
                               (dir / "drive_c").string());
}

MachineState ReadWinePrefix(const fs::path& dir, const std::string& setupDir) {
  Registry registry;
  std::string system_reg = ReadFile(dir / "system.reg");
  try {
    ReadWineRegistry(system_reg, "HKEY_LOCAL_MACHINE", registry);
  } catch (const std::runtime_error& e) {
    throw StateError((dir / "system.reg").string() + ": " + e.what());
  }
  // The Windows version the prefix pretends to be, from user.reg.
  std::string user;
  if (fs::exists(dir / "user.reg")) user = ReadFile(dir / "user.reg");
  static const std::regex kVersion("\\[Software\\\\\\\\Wine\\][^\\[]*\"Version\"=\"([a-z0-9]+)\"");
  std::smatch found;
  std::string mode = std::regex_search(user, found, kVersion) ? found[1].str() : "";
  bool win9x = mode == "win95" || mode == "win98" || mode == "winme";
  const std::string system = "C:\\windows\\system32";
  // Wine's spooler keeps each environment's drivers in its own folder below
  // spool\drivers: w32x86, x64 for a 64-bit prefix, and win40 for "Windows
  // 4.0" in the 95/98/ME modes.
  bool win64 = system_reg.find("\n#arch=win64") != std::string::npos;
  const std::string drivers =
      system + "\\spool\\drivers\\" + (win9x ? "win40" : win64 ? "x64" : "w32x86");
  fs::path driveC = dir / "drive_c";
  MachineState state;
  AddRegistry(registry, state);
  std::vector<Role> roles = {{"%SETUP%", setupDir, HostPath(driveC, setupDir)},
                             {"%SYSTEM%", system, HostPath(driveC, system)},
                             {"%DRIVERS%", drivers, HostPath(driveC, drivers)}};
  if (auto root = RootFolder(registry, setupDir)) {
    roles.push_back({"%ROOT%", *root, HostPath(driveC, *root)});
  }
  AddFiles(roles, state);
  return state;
}

}  // namespace

std::map<std::string, std::string> SimulatedMachineFolders(const winsim::Registry& registry,
                                                           const winsim::VersionProfile& profile,
                                                           const std::string& modulePath) {
  const std::string setup = FolderOf(modulePath);
  std::map<std::string, std::string> folders = {{"%SETUP%", setup},
                                                {"%SYSTEM%", profile.system_dir}};
  // 95/98/ME keep the driver files in the system folder itself: one name.
  if (Lower(profile.driver_dir) != Lower(profile.system_dir)) {
    folders["%DRIVERS%"] = profile.driver_dir;
  }
  if (auto root = RootFolder(registry, setup)) folders["%ROOT%"] = *root;
  return folders;
}

MachineState SimulatedMachineState(const winsim::Registry& registry,
                                   const winsim::VersionProfile& profile,
                                   const std::string& modulePath, const std::string& driveCPath) {
  MachineState state;
  AddRegistry(registry, state);
  AddSpoolerView(registry, profile, state);
  std::vector<Role> roles;
  for (const auto& [name, windows] : SimulatedMachineFolders(registry, profile, modulePath)) {
    roles.push_back({name, windows, HostPath(driveCPath, windows)});
  }
  AddFiles(roles, state);
  return state;
}

MachineState ReadMachineState(const std::string& path, const std::string& setupDir) {
  fs::path dir(path);
  std::error_code error;
  if (fs::is_regular_file(dir, error)) return ParseState(ReadFile(dir));
  if (fs::exists(dir / "machine.ini", error)) return ReadWinsimMachine(dir);
  if (fs::exists(dir / "system.reg", error)) {
    std::string head = ReadFile(dir / "system.reg").substr(0, 13);
    if (head == "WINE REGISTRY") return ReadWinePrefix(dir, setupDir);
  }
  throw StateError(path + ": neither a machine folder, a Wine prefix nor a saved state");
}

std::string FormatState(const MachineState& state) {
  std::string text;
  for (const auto& [identity, rendering] : state) {
    text += identity + "\t" + rendering + "\n";
  }
  return text;
}

MachineState ParseState(const std::string& text) {
  MachineState state;
  std::stringstream lines(text);
  std::string line;
  int number = 0;
  while (std::getline(lines, line)) {
    ++number;
    if (line.empty()) continue;
    std::size_t tab = line.find('\t');
    if (tab == std::string::npos) {
      throw StateError("line " + std::to_string(number) + " of the saved state has no tab");
    }
    state[line.substr(0, tab)] = line.substr(tab + 1);
  }
  return state;
}

std::string DiffStates(const MachineState& before, const MachineState& after) {
  std::string text;
  auto b = before.begin(), a = after.begin();
  while (b != before.end() || a != after.end()) {
    if (a == after.end() || (b != before.end() && b->first < a->first)) {
      text += "-\t" + b->first + "\t" + b->second + "\n";
      ++b;
    } else if (b == before.end() || a->first < b->first) {
      text += "+\t" + a->first + "\t" + a->second + "\n";
      ++a;
    } else {
      if (a->second != b->second) {
        text += "-\t" + b->first + "\t" + b->second + "\n";
        text += "+\t" + a->first + "\t" + a->second + "\n";
      }
      ++a;
      ++b;
    }
  }
  return text;
}

}  // namespace orvane::tools
