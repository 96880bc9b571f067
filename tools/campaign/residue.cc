#include "tools/campaign/residue.h"

#include <set>

#include "app/install_root.h"
#include "check/check.h"

namespace orvane::campaign {
namespace {

constexpr char kPrinterCopyKey[] =
    "HKEY_LOCAL_MACHINE\\SYSTEM\\CURRENTCONTROLSET\\CONTROL\\PRINT\\PRINTERS\\ORVANE,0";
constexpr char kMappingKey[] =
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\MICROSOFT\\WINDOWS NT\\CURRENTVERSION\\INIFILEMAPPING\\"
    "ORVANE.INI";
constexpr char kEnvironmentKey[] =
    "HKEY_LOCAL_MACHINE\\SYSTEM\\CURRENTCONTROLSET\\CONTROL\\SESSION MANAGER\\ENVIRONMENT";
constexpr char kAutoCadKey[] = "HKLM\\Software\\Autodesk\\AutoCad";
constexpr char kAbsent[] = "<absent>";

std::vector<std::string> Findings(const check::Report& report, const char* skipped = "") {
  std::vector<std::string> lines;
  for (const check::Part& part : report.parts) {
    if (!check::IsFinding(part) || part.action == check::Action::kNotOnThisWindows ||
        part.id == skipped) {
      continue;
    }
    lines.push_back(part.id + ": " + part.detail);
  }
  return lines;
}

bool HasSubkeys(const Snapshot& snapshot, const std::string& upper) {
  auto it = snapshot.keys.upper_bound(upper);
  return it != snapshot.keys.end() && it->first.starts_with(upper + "\\");
}

std::optional<winsim::RegValue> SearchPath(const Snapshot& snapshot) {
  auto key = snapshot.keys.find(kEnvironmentKey);
  if (key == snapshot.keys.end()) return std::nullopt;
  for (const auto& value : key->second.values) {
    if (Upper(value.name) == "PATH") return value;
  }
  return std::nullopt;
}

std::string ReadSetting(winsim::Machine& machine, const std::string& settingsFile,
                        const char* key) {
  std::vector<char> buffer(512, '\0');
  const win::DWORD length =
      machine.GetPrivateProfileStringA("Parameters", key, kAbsent, buffer, settingsFile.c_str());
  return std::string(buffer.data(), std::min<std::size_t>(length, buffer.size() - 1));
}

}  // namespace

std::vector<std::string> MissingFromInstallation(winsim::Machine& machine,
                                                 const std::string& setupDir, bool rpcUnavailable) {
  return Findings(check::CheckInstallation(machine, setupDir),
                  rpcUnavailable ? "uninstall-entry" : "");
}

SettingsBefore ReadSettingsBefore(winsim::Machine& machine, const std::string& settingsFile) {
  return {ReadSetting(machine, settingsFile, "Uninstall"),
          ReadSetting(machine, settingsFile, "TS Enabled"),
          ReadSetting(machine, settingsFile, "IsXPor2000")};
}

std::vector<std::string> ResidueFindings(winsim::Machine& machine, const Snapshot& before,
                                         const Snapshot& after, const SettingsBefore& settings,
                                         const std::string& setupDir) {
  const check::Report removal = check::CheckRemoval(machine, setupDir);
  std::vector<std::string> findings = Findings(removal);
  // orvcheck cannot tell the first of the two runs on Windows 95/98/ME, which
  // keeps the entry, from the last; the campaign ran the last.
  for (const check::Part& part : removal.parts) {
    if (part.id == "uninstall-entry" && part.status == check::Status::kStays) {
      findings.push_back(part.id + ": kept after the last run: " + part.detail);
    }
  }
  const winsim::VersionProfile& profile = machine.profile();
  const bool win9x = !profile.nt_family && profile.major >= 4;

  // Earlier releases' second printer key: the removal on the NT family takes
  // it; on Windows 95/98/ME one that was there stays.
  const bool copyBefore = before.keys.count(kPrinterCopyKey) > 0;
  const bool copyAfter = after.keys.count(kPrinterCopyKey) > 0;
  if (copyAfter && (!win9x || !copyBefore)) findings.push_back("key left: Printers\\ORVANE,0");
  if (win9x && copyBefore && !copyAfter) findings.push_back("key removed: Printers\\ORVANE,0");

  // The IniFileMapping entry: removed on the NT family unless it has subkeys
  // of its own; never touched on Windows 95/98/ME.
  const bool mappingBefore = before.keys.count(kMappingKey) > 0;
  const bool mappingAfter = after.keys.count(kMappingKey) > 0;
  const bool mappingStays =
      win9x ? mappingBefore : mappingBefore && HasSubkeys(before, kMappingKey);
  if (mappingAfter != mappingStays) {
    findings.push_back(std::string("IniFileMapping entry orvane.ini ") +
                       (mappingAfter ? "left" : "removed"));
  }

  const auto pathBefore = SearchPath(before);
  const auto pathAfter = SearchPath(after);
  if (pathBefore.has_value() != pathAfter.has_value() ||
      (pathBefore &&
       (pathBefore->type != pathAfter->type || pathBefore->data != pathAfter->data))) {
    findings.push_back("search path changed by a healthy install and uninstall");
  }

  // Below the product folder only the log and the settings file change.
  const std::string folder = Upper(setupDir) + "\\";
  std::set<std::string> files;
  for (const auto& [upper, state] : before.files) files.insert(upper);
  for (const auto& [upper, state] : after.files) files.insert(upper);
  for (const std::string& upper : files) {
    if (!upper.starts_with(folder)) continue;
    const std::string below = upper.substr(folder.size());
    if (below == "RES\\DRIVEDIR\\SETUP.LOG" || below == "RES\\ORVANE.INI") continue;
    auto was = before.files.find(upper);
    auto is = after.files.find(upper);
    if (was == before.files.end() || is == after.files.end() ||
        was->second.bytes != is->second.bytes) {
      findings.push_back("product file changed: " + upper);
    }
  }

  // The settings a removal leaves as they were ("Uninstall" on Windows
  // 95/98/ME is CheckRemoval's).
  const std::string settingsFile = GetInstallRoot(machine) + "orvane\\res\\orvane.ini";
  auto expect = [&](const char* key, const std::string& wanted) {
    const std::string value = ReadSetting(machine, settingsFile, key);
    if (value != wanted) {
      findings.push_back(std::string("setting \"") + key + "\" reads '" + value + "', expected '" +
                         wanted + "'");
    }
  };
  expect("Quiet", "0");
  expect("IsXPor2000", settings.is_xp_or_2000);
  if (!win9x) expect("Uninstall", settings.uninstall);
  const bool autocad = machine.registry().KeyExists(kAutoCadKey);
  expect("TS Enabled", !win9x && autocad ? "0" : settings.ts_enabled);
  return findings;
}

}  // namespace orvane::campaign
