#include "tools/campaign/product_state.h"

#include <cstdlib>
#include <set>

#include "app/install_root.h"

namespace orvane::campaign {
namespace {

constexpr char kPrint[] = "HKLM\\SYSTEM\\CurrentControlSet\\Control\\Print";
constexpr char kPrinterKey[] = "HKLM\\SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\ORVANE";
constexpr char kMonitorKey[] =
    "HKLM\\SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\ORVANE Monitor";
constexpr char kPortKey[] =
    "HKLM\\SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\ORVANE Monitor\\Ports\\"
    "ORVANEPORT";
constexpr char kEntryKey[] =
    "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Orvane";
constexpr char kMappingKey[] =
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\MICROSOFT\\WINDOWS NT\\CURRENTVERSION\\INIFILEMAPPING\\"
    "ORVANE.INI";
constexpr char kAutoCadKey[] = "HKLM\\Software\\Autodesk\\AutoCad";
constexpr char kAbsent[] = "<absent>";

std::vector<win::BYTE> Sz(std::string_view text) {
  std::vector<win::BYTE> bytes(text.begin(), text.end());
  bytes.push_back(0);
  return bytes;
}

std::vector<win::BYTE> Dword(win::DWORD value) {
  return {static_cast<win::BYTE>(value), static_cast<win::BYTE>(value >> 8),
          static_cast<win::BYTE>(value >> 16), static_cast<win::BYTE>(value >> 24)};
}

std::vector<win::BYTE> Bytes(const std::optional<std::vector<win::BYTE>>& file) {
  return file ? *file : std::vector<win::BYTE>{};
}

// "what: expected ..., found ..." when the value is not `type` holding `data`.
void ExpectValue(const winsim::Registry& registry, const std::string& key, const char* name,
                 win::DWORD type, const std::vector<win::BYTE>& data,
                 std::vector<std::string>* missing) {
  const auto value = registry.GetValue(key, name);
  if (!value) {
    missing->push_back("value missing: " + key + " \"" + name + "\"");
  } else if (value->type != type || value->data != data) {
    missing->push_back("value differs: " + key + " \"" + name + "\" (type " +
                       std::to_string(value->type) + ", " + std::to_string(value->data.size()) +
                       " bytes)");
  }
}

bool IsWin9xPath(const winsim::VersionProfile& profile) {
  return !profile.nt_family && profile.major >= 4;
}

bool SameText(std::string_view a, std::string_view b) { return Upper(a) == Upper(b); }

// Product keys that a removal takes away, in `snapshot`: all but the
// IniFileMapping entry and the second printer key, which have rules of their
// own.
std::vector<std::string> RemovedKeysLeft(const Snapshot& snapshot, const ProductScope& scope) {
  std::vector<std::string> left;
  for (const auto& [upper, state] : snapshot.keys) {
    if (!scope.IsProductKey(upper)) continue;
    if (upper.find("\\INIFILEMAPPING\\") != std::string::npos) continue;
    if (upper.ends_with("\\PRINTERS\\ORVANE,0") ||
        upper.find("\\PRINTERS\\ORVANE,0\\") != std::string::npos) {
      continue;
    }
    left.push_back(state.path);
  }
  return left;
}

bool HasSubkeys(const Snapshot& snapshot, const std::string& upper) {
  auto it = snapshot.keys.upper_bound(upper);
  return it != snapshot.keys.end() && it->first.starts_with(upper + "\\");
}

}  // namespace

std::string ReadSetting(winsim::Machine& machine, const std::string& settingsFile,
                        const char* key) {
  std::vector<char> buffer(512, '\0');
  const win::DWORD length =
      machine.GetPrivateProfileStringA("Parameters", key, kAbsent, buffer, settingsFile.c_str());
  return std::string(buffer.data(), std::min<std::size_t>(length, buffer.size() - 1));
}

WholeInstallation ExpectedInstallation(winsim::Machine& machine, const std::string& settingsFile) {
  const winsim::VersionProfile& profile = machine.profile();
  WholeInstallation whole;
  // "IsXPor2000" through atoi: 1 and 0 decide, anything else asks the version.
  std::string setting = ReadSetting(machine, settingsFile, "IsXPor2000");
  if (setting == kAbsent) setting = "2";
  const long number = std::strtol(setting.c_str(), nullptr, 10);
  whole.version3 = number == 1 || (number != 0 && profile.major > 4);

  const char* environment = IsWin9xPath(profile) ? "Windows 4.0" : "Windows NT x86";
  whole.monitor = SameText(environment, profile.environment);
  const win::DWORD level = whole.version3 ? 6 : 3;
  const win::DWORD version = whole.version3 ? 3 : 2;
  const bool versionRuns = !profile.nt_family || version == profile.driver_version ||
                           (profile.driver_version == 3 && version == 2);
  whole.driver = whole.monitor && machine.spooler().KnowsDriverLevel(level) && versionRuns;
  return whole;
}

std::vector<std::string> MissingFromInstallation(winsim::Machine& machine,
                                                 const std::string& setupDir, bool rpcUnavailable) {
  std::vector<std::string> missing;
  const winsim::Registry& registry = machine.registry();
  const std::string root = GetInstallRoot(machine);
  const std::string settingsFile = root + "orvane\\res\\orvane.ini";
  const WholeInstallation whole = ExpectedInstallation(machine, settingsFile);
  const bool nt = machine.profile().nt_family;

  if (whole.monitor) {
    if (!machine.spooler().MonitorInstalled("ORVANE Monitor")) {
      missing.push_back("monitor \"ORVANE Monitor\" not installed");
    } else {
      ExpectValue(registry, kMonitorKey, "Driver", win::REG_SZ,
                  Sz(nt ? "orvmon.dll" : "orvmon95.dll"), &missing);
    }
  }
  if (whole.driver) {
    if (!machine.spooler().DriverInstalled("ORVANE Printer Driver")) {
      missing.push_back("driver \"ORVANE Printer Driver\" not installed");
    }
    if (!machine.spooler().PrinterExists("ORVANE")) {
      missing.push_back("printer \"ORVANE\" missing");
    } else {
      ExpectValue(registry, kPrinterKey, "Port", win::REG_SZ, Sz("ORVANEPORT"), &missing);
      ExpectValue(registry, kPrinterKey, "Printer Driver", win::REG_SZ, Sz("ORVANE Printer Driver"),
                  &missing);
    }
  }

  const std::string port = kPortKey;
  ExpectValue(registry, port, "Arguments", win::REG_SZ,
              Sz("@" + setupDir + "\\res\\pdfwrite.rsp -sOutputFile=\"%1\" -c save pop -f -"),
              &missing);
  ExpectValue(registry, port, "Command", win::REG_SZ, Sz(setupDir + "\\res\\convert\\gswin32c.exe"),
              &missing);
  ExpectValue(registry, port, "Delay", win::REG_DWORD, Dword(300), &missing);
  ExpectValue(registry, port, "Description", win::REG_SZ, Sz("ORVANE Redirected Port"), &missing);
  ExpectValue(registry, port, "LogFileDebug", win::REG_DWORD, Dword(0), &missing);
  ExpectValue(registry, port, "LogFileName", win::REG_SZ, Sz(""), &missing);
  ExpectValue(registry, port, "LogFileUse", win::REG_DWORD, Dword(0), &missing);
  ExpectValue(registry, port, "Output", win::REG_DWORD, Dword(1), &missing);
  ExpectValue(registry, port, "Printer", win::REG_SZ, Sz("ORVANE"), &missing);
  ExpectValue(registry, port, "PrintError", win::REG_DWORD, Dword(0), &missing);
  ExpectValue(registry, port, "RunUser", win::REG_DWORD, Dword(0), &missing);
  ExpectValue(registry, port, "ShowWindow", win::REG_DWORD, Dword(2), &missing);

  // The printer's data: written into its key whether or not the spooler
  // created the printer.
  const winsim::FileSystem& files = machine.files();
  const std::string data = setupDir + "\\res\\drivedir\\";
  const std::string driverData = std::string(kPrinterKey) + "\\PrinterDriverData";
  ExpectValue(registry, driverData, "PrinterData", win::REG_BINARY,
              Bytes(files.ReadAll(data + (whole.version3 ? "ovprndata5.dat" : "ovprndata.dat"))),
              &missing);
  if (!whole.version3) {
    const auto table = Bytes(files.ReadAll(data + "ovfonts.tbl"));
    ExpectValue(registry, driverData, "TTFontSubTableSize", win::REG_DWORD,
                Dword(static_cast<win::DWORD>(table.size())), &missing);
    ExpectValue(registry, driverData, "TTFontSubTable", win::REG_BINARY, table, &missing);
  }
  const char* devMode = IsWin9xPath(machine.profile()) ? "ovdevmd.dat"
                        : whole.version3               ? "ovdevmdnt5.dat"
                                                       : "ovdevmdnt.dat";
  ExpectValue(registry, kPrinterKey, "Default DevMode", win::REG_BINARY,
              Bytes(files.ReadAll(root + "orvane\\res\\drivedir\\" + devMode)), &missing);

  if (!rpcUnavailable) {
    ExpectValue(registry, kEntryKey, "DisplayName", win::REG_SZ, Sz("Orvane"), &missing);
    ExpectValue(registry, kEntryKey, "UninstallString", win::REG_SZ,
                Sz(root + "orvane\\setup.exe uninstall"), &missing);
  }
  const std::string quiet = ReadSetting(machine, settingsFile, "Quiet");
  if (quiet != "0") missing.push_back("\"Quiet\" reads '" + quiet + "', not '0'");
  return missing;
}

SettingsBefore ReadSettingsBefore(winsim::Machine& machine, const std::string& settingsFile) {
  return {ReadSetting(machine, settingsFile, "Uninstall"),
          ReadSetting(machine, settingsFile, "TS Enabled"),
          ReadSetting(machine, settingsFile, "IsXPor2000")};
}

std::vector<std::string> ResidueFindings(winsim::Machine& machine, const Snapshot& before,
                                         const Snapshot& after, const SettingsBefore& settings,
                                         const std::string& setupDir) {
  std::vector<std::string> findings;
  const winsim::VersionProfile& profile = machine.profile();
  const bool win9x = IsWin9xPath(profile);

  const ProductScope scope(profile, setupDir, "");
  for (const std::string& key : RemovedKeysLeft(after, scope)) {
    findings.push_back("key left: " + key);
  }
  const std::string copy =
      Upper(std::string(kPrint).replace(0, 4, "HKEY_LOCAL_MACHINE")) + "\\PRINTERS\\ORVANE,0";
  const bool copyBefore = before.keys.count(copy) > 0;
  const bool copyAfter = after.keys.count(copy) > 0;
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

  const char* environment =
      "HKEY_LOCAL_MACHINE\\SYSTEM\\CURRENTCONTROLSET\\CONTROL\\SESSION MANAGER\\ENVIRONMENT";
  auto pathOf = [&](const Snapshot& s) -> std::optional<winsim::RegValue> {
    auto key = s.keys.find(environment);
    if (key == s.keys.end()) return std::nullopt;
    for (const auto& v : key->second.values) {
      if (Upper(v.name) == "PATH") return v;
    }
    return std::nullopt;
  };
  const auto pathBefore = pathOf(before);
  const auto pathAfter = pathOf(after);
  if (pathBefore.has_value() != pathAfter.has_value() ||
      (pathBefore &&
       (pathBefore->type != pathAfter->type || pathBefore->data != pathAfter->data))) {
    findings.push_back("search path changed by a healthy install and uninstall");
  }

  if (machine.spooler().MonitorInstalled("ORVANE Monitor")) findings.push_back("monitor left");
  if (machine.spooler().DriverInstalled("ORVANE Printer Driver")) findings.push_back("driver left");
  if (machine.spooler().PrinterExists("ORVANE")) findings.push_back("printer left");

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
  expect("Uninstall", win9x ? "1" : settings.uninstall);
  const bool autocad = machine.registry().KeyExists(kAutoCadKey);
  expect("TS Enabled", !win9x && autocad ? "0" : settings.ts_enabled);
  return findings;
}

}  // namespace orvane::campaign
