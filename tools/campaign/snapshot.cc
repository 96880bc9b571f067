#include "tools/campaign/snapshot.h"

#include <algorithm>
#include <set>

namespace orvane::campaign {
namespace {

constexpr const char* kRoots[] = {"HKEY_CLASSES_ROOT", "HKEY_CURRENT_USER", "HKEY_LOCAL_MACHINE",
                                  "HKEY_USERS"};
constexpr char kPrint[] = "HKEY_LOCAL_MACHINE\\SYSTEM\\CURRENTCONTROLSET\\CONTROL\\PRINT";
constexpr char kEnvironmentKey[] =
    "HKEY_LOCAL_MACHINE\\SYSTEM\\CURRENTCONTROLSET\\CONTROL\\SESSION MANAGER\\ENVIRONMENT";
// The settings keys the installer writes; every other line stays.
constexpr const char* kWrittenSettings[] = {"UNINSTALL", "TS ENABLED", "QUIET"};

void Walk(const winsim::Registry& registry, const std::string& path, Snapshot* snapshot) {
  snapshot->keys[Upper(path)] = KeyState{path, registry.Values(path)};
  for (const std::string& name : registry.SubkeyNames(path)) {
    Walk(registry, path + "\\" + name, snapshot);
  }
}

std::vector<std::string> Split(std::string_view text, char separator) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  while (true) {
    const std::size_t end = text.find(separator, start);
    parts.emplace_back(text.substr(start, end - start));
    if (end == std::string_view::npos) break;
    start = end + 1;
  }
  return parts;
}

std::string Trim(std::string_view text) {
  const char* space = " \t\r\n";
  const std::size_t first = text.find_first_not_of(space);
  if (first == std::string_view::npos) return "";
  const std::size_t last = text.find_last_not_of(space);
  return std::string(text.substr(first, last - first + 1));
}

std::string Shown(std::string_view text, std::size_t limit = 80) {
  std::string out;
  for (char c : text.substr(0, limit)) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte >= 0x7F) {
      static const char kHex[] = "0123456789abcdef";
      out += "\\x";
      out += kHex[byte >> 4];
      out += kHex[byte & 0xF];
    } else {
      out += c;
    }
  }
  if (text.size() > limit) out += "...";
  return out;
}

std::string ValueText(const winsim::RegValue& value) {
  return "type " + std::to_string(value.type) + " '" +
         Shown(std::string_view(reinterpret_cast<const char*>(value.data.data()),
                                value.data.size())) +
         "'";
}

bool SameValue(const winsim::RegValue& a, const winsim::RegValue& b) {
  return a.name == b.name && a.type == b.type && a.data == b.data;
}

// The settings file as lines, cut into the part before the first section and
// the sections, each with its header line first.
struct Sections {
  std::vector<std::string> preamble;
  std::vector<std::pair<std::string, std::vector<std::string>>> sections;  // upper name
};

Sections ParseSettings(const std::string& text) {
  Sections parsed;
  std::vector<std::string>* current = &parsed.preamble;
  for (std::string line : Split(text, '\n')) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const std::string trimmed = Trim(line);
    if (!trimmed.empty() && trimmed.front() == '[') {
      const std::size_t close = trimmed.find(']');
      parsed.sections.emplace_back(Upper(Trim(trimmed.substr(1, close - 1))),
                                   std::vector<std::string>{line});
      current = &parsed.sections.back().second;
    } else {
      current->push_back(line);
    }
  }
  // Blank lines at the end of a part belong to no key: a section added after
  // it may bring or take one.
  auto trimTail = [](std::vector<std::string>& lines) {
    while (!lines.empty() && Trim(lines.back()).empty()) lines.pop_back();
  };
  trimTail(parsed.preamble);
  for (auto& section : parsed.sections) trimTail(section.second);
  return parsed;
}

// The lines that must stay: the preamble, every section but "Parameters", and
// in "Parameters" every line but the keys the installer writes.
std::vector<std::string> KeptLines(const Sections& sections) {
  std::vector<std::string> kept = sections.preamble;
  for (const auto& [name, lines] : sections.sections) {
    if (name != "PARAMETERS") {
      kept.insert(kept.end(), lines.begin(), lines.end());
      continue;
    }
    std::vector<std::string> parameters;
    for (std::size_t i = 1; i < lines.size(); ++i) {
      const std::string& line = lines[i];
      const std::size_t equals = line.find('=');
      if (Trim(line).empty()) continue;
      if (equals != std::string::npos) {
        const std::string key = Upper(Trim(line.substr(0, equals)));
        if (std::find(std::begin(kWrittenSettings), std::end(kWrittenSettings), key) !=
            std::end(kWrittenSettings)) {
          continue;
        }
      }
      parameters.push_back(line);
    }
    // The section itself may come and go with the installer's keys.
    if (!parameters.empty()) {
      kept.push_back("[Parameters]");
      kept.insert(kept.end(), parameters.begin(), parameters.end());
    }
  }
  return kept;
}

// Windows folders in a "Path" entry: %SystemRoot% and %windir% expanded,
// trailing backslashes dropped, upper case.
std::string Folder(const std::string& entry, const std::string& windowsDir) {
  std::string text = entry;
  for (const char* variable : {"%SYSTEMROOT%", "%WINDIR%"}) {
    std::size_t at;
    while ((at = Upper(text).find(variable)) != std::string::npos) {
      text.replace(at, std::string_view(variable).size(), windowsDir);
    }
  }
  while (text.size() > 1 && text.back() == '\\') text.pop_back();
  return Upper(text);
}

std::string PathText(const winsim::RegValue& value) {
  std::string text(value.data.begin(), value.data.end());
  return text.substr(0, text.find('\0'));
}

}  // namespace

std::string Upper(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return out;
}

Snapshot TakeSnapshot(const winsim::Machine& machine) {
  Snapshot snapshot;
  for (const char* root : kRoots) Walk(machine.registry(), root, &snapshot);
  // The files of drive C: in their stored case, listed from the simulator's
  // index of its names, so that only the contents are read from the host.
  for (const std::string& path : machine.files().List("C:\\")) {
    const std::optional<std::vector<win::BYTE>> bytes = machine.files().ReadAll(path);
    snapshot.files[Upper(path)] =
        FileState{path, bytes ? std::string(bytes->begin(), bytes->end()) : std::string()};
  }
  return snapshot;
}

ProductScope::ProductScope(const winsim::VersionProfile& profile, std::string setupDir,
                           std::string mappedSection) {
  const std::string print = kPrint;
  for (const std::string& key :
       {print + "\\PRINTERS\\ORVANE", print + "\\PRINTERS\\ORVANE,0",
        print + "\\MONITORS\\ORVANE MONITOR",
        print + "\\ENVIRONMENTS\\*\\DRIVERS\\ORVANE PRINTER DRIVER",
        print + "\\ENVIRONMENTS\\*\\DRIVERS\\*\\ORVANE PRINTER DRIVER",
        std::string("HKEY_LOCAL_MACHINE\\SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\"
                    "UNINSTALL\\ORVANE"),
        std::string("HKEY_LOCAL_MACHINE\\SOFTWARE\\MICROSOFT\\WINDOWS NT\\CURRENTVERSION\\"
                    "INIFILEMAPPING\\ORVANE.INI")}) {
    key_patterns_.push_back(Split(key, '\\'));
  }
  if (!mappedSection.empty()) key_patterns_.push_back(Split(Upper(mappedSection), '\\'));

  product_folder_ = Upper(setupDir) + "\\";
  settings_file_ = product_folder_ + "RES\\ORVANE.INI";
  system_folder_ = Upper(profile.system_dir) + "\\";
  driver_folder_ = Upper(profile.driver_dir) + "\\";
  const bool win9xPath = !profile.nt_family && profile.major >= 4;
  monitor_files_ = profile.nt_family ? std::vector<std::string>{"ORVMON.DLL", "ORVMONA.DLL"}
                                     : std::vector<std::string>{"ORVMON95.DLL", "ORVMONA95.DLL"};
  driver_files_ = win9xPath
                      ? std::vector<std::string>{"ORVDRIVER.SPD"}
                      : std::vector<std::string>{"PSCRIPT.DLL", "ORVANEUI.DLL", "PSCRIPT.HLP"};
  for (const char* file : {"OVPS.PPD", "OVFONTS.TBL", "ORVANEPS5.PPD", "PSCRIPT5.DLL", "PS5UI.DLL",
                           "ORVANE.INI", "ORVANEUI5.DLL", "PSCRIPT.NTF"}) {
    driver_files_.push_back(file);
  }
}

bool ProductScope::IsProductKey(std::string_view path) const {
  const std::vector<std::string> names = Split(Upper(path), '\\');
  for (const auto& pattern : key_patterns_) {
    if (names.size() < pattern.size()) continue;
    bool match = true;
    for (std::size_t i = 0; i < pattern.size() && match; ++i) {
      match = pattern[i] == "*" || pattern[i] == names[i];
    }
    if (match) return true;
  }
  return false;
}

bool ProductScope::LeadsToProductKey(std::string_view path) const {
  const std::vector<std::string> names = Split(Upper(path), '\\');
  for (const auto& pattern : key_patterns_) {
    if (names.size() >= pattern.size()) continue;
    bool match = true;
    for (std::size_t i = 0; i < names.size() && match; ++i) {
      match = pattern[i] == "*" || pattern[i] == names[i];
    }
    if (match) return true;
  }
  return false;
}

bool ProductScope::IsProductFile(std::string_view path) const {
  const std::string upper = Upper(path);
  if (upper.starts_with(product_folder_)) return true;
  const std::size_t slash = upper.rfind('\\');
  if (slash == std::string::npos) return false;
  const std::string folder = upper.substr(0, slash + 1);
  const std::string name = upper.substr(slash + 1);
  auto among = [&](const std::vector<std::string>& names) {
    return std::find(names.begin(), names.end(), name) != names.end();
  };
  if (folder == system_folder_ && among(monitor_files_)) return true;
  if (!folder.starts_with(driver_folder_)) return false;
  // The driver folder itself, or one version folder below it.
  const std::string below = folder.substr(driver_folder_.size());
  const bool versionFolder =
      below.empty() || (below.find('\\') == below.size() - 1 && below.size() > 1);
  return versionFolder && among(driver_files_);
}

std::vector<std::string> SettingsChanges(const std::string* before, const std::string* after) {
  const std::vector<std::string> was = KeptLines(ParseSettings(before ? *before : ""));
  const std::vector<std::string> is = KeptLines(ParseSettings(after ? *after : ""));
  if (was == is) return {};
  std::size_t i = 0;
  while (i < was.size() && i < is.size() && was[i] == is[i]) ++i;
  return {"settings file changed outside the installer's keys at line " + std::to_string(i + 1) +
          ": was '" + (i < was.size() ? Shown(was[i]) : std::string("<end>")) + "', is '" +
          (i < is.size() ? Shown(is[i]) : std::string("<end>")) + "'"};
}

std::vector<std::string> SearchPathChanges(const winsim::RegValue* before,
                                           const winsim::RegValue* after,
                                           const std::string& windowsDir) {
  if (before == after) return {};
  if (before && after && SameValue(*before, *after)) return {};
  if (!after) return {"the search path \"Path\" was removed"};
  const std::vector<std::string> repaired = {windowsDir + "\\system32", windowsDir,
                                             windowsDir + "\\system32\\wbem"};
  std::vector<std::string> findings;
  const bool expand = before && before->type == win::REG_EXPAND_SZ;
  const win::DWORD wantedType = expand ? win::REG_EXPAND_SZ : win::REG_SZ;
  if (after->type != wantedType) {
    findings.push_back("search path type " + std::to_string(after->type) + ", expected " +
                       std::to_string(wantedType));
  }
  const bool stringBefore =
      before && (before->type == win::REG_SZ || before->type == win::REG_EXPAND_SZ);
  const std::vector<std::string> now = Split(PathText(*after), ';');
  if (now.size() < 3 || !std::equal(repaired.begin(), repaired.end(), now.begin())) {
    findings.push_back("search path does not begin with the three Windows folders: '" +
                       Shown(PathText(*after), 200) + "'");
  }
  // Every other entry stays, in order; entries that name one of the three
  // folders, and empty ones, may go.
  auto others = [&](const std::vector<std::string>& entries) {
    std::vector<std::string> kept;
    for (const std::string& entry : entries) {
      if (entry.empty()) continue;
      const std::string folder = Folder(entry, windowsDir);
      bool names = false;
      for (const std::string& r : repaired) names = names || folder == Upper(r);
      if (!names) kept.push_back(entry);
    }
    return kept;
  };
  const std::vector<std::string> wasOthers =
      stringBefore ? others(Split(PathText(*before), ';')) : std::vector<std::string>{};
  if (others(now) != wasOthers) {
    findings.push_back("search path lost or gained entries of its own: was '" +
                       (before ? Shown(PathText(*before), 200) : std::string("<none>")) +
                       "', is '" + Shown(PathText(*after), 200) + "'");
  }
  return findings;
}

std::vector<std::string> ChangesOutsideProduct(const Snapshot& before, const Snapshot& after,
                                               const ProductScope& scope,
                                               const std::string& windowsDir) {
  std::vector<std::string> findings;
  std::set<std::string> keys;
  for (const auto& [upper, state] : before.keys) keys.insert(upper);
  for (const auto& [upper, state] : after.keys) keys.insert(upper);
  for (const std::string& upper : keys) {
    if (scope.IsProductKey(upper)) continue;
    auto was = before.keys.find(upper);
    auto is = after.keys.find(upper);
    if (was == before.keys.end()) {
      if (!(scope.LeadsToProductKey(upper) && is->second.values.empty())) {
        findings.push_back("key added: " + is->second.path);
      }
      continue;
    }
    if (is == after.keys.end()) {
      findings.push_back("key removed: " + was->second.path);
      continue;
    }
    const bool environment = upper == kEnvironmentKey;
    std::map<std::string, const winsim::RegValue*> wasValues, isValues;
    for (const auto& v : was->second.values) wasValues[Upper(v.name)] = &v;
    for (const auto& v : is->second.values) isValues[Upper(v.name)] = &v;
    std::set<std::string> names;
    for (const auto& [name, v] : wasValues) names.insert(name);
    for (const auto& [name, v] : isValues) names.insert(name);
    for (const std::string& name : names) {
      const winsim::RegValue* a = wasValues.count(name) ? wasValues[name] : nullptr;
      const winsim::RegValue* b = isValues.count(name) ? isValues[name] : nullptr;
      if (environment && name == "PATH") {
        for (std::string& f : SearchPathChanges(a, b, windowsDir)) findings.push_back(f);
        continue;
      }
      const std::string where = is->second.path + " \"" + (a ? a->name : b->name) + "\"";
      if (!a) {
        findings.push_back("value added: " + where + " = " + ValueText(*b));
      } else if (!b) {
        findings.push_back("value removed: " + where);
      } else if (!SameValue(*a, *b)) {
        findings.push_back("value changed: " + where + " from " + ValueText(*a) + " to " +
                           ValueText(*b));
      }
    }
  }

  std::set<std::string> files;
  for (const auto& [upper, state] : before.files) files.insert(upper);
  for (const auto& [upper, state] : after.files) files.insert(upper);
  for (const std::string& upper : files) {
    auto was = before.files.find(upper);
    auto is = after.files.find(upper);
    const bool hadIt = was != before.files.end();
    const bool hasIt = is != after.files.end();
    if (upper == scope.settings_file()) {
      for (std::string& f : SettingsChanges(hadIt ? &was->second.bytes : nullptr,
                                            hasIt ? &is->second.bytes : nullptr)) {
        findings.push_back(std::move(f));
      }
      continue;
    }
    if (scope.IsProductFile(upper)) continue;
    if (!hadIt) {
      findings.push_back("file added: " + is->second.path);
    } else if (!hasIt) {
      findings.push_back("file removed: " + was->second.path);
    } else if (was->second.bytes != is->second.bytes) {
      findings.push_back("file changed: " + is->second.path);
    }
  }
  return findings;
}

}  // namespace orvane::campaign
