// The installation question's parts that Windows keeps no listing of: the
// printer's data, the Add/Remove Programs entry and the settings file, read
// from the registry and the disk.
#include "check/parts.h"
#include "system/settings_file.h"

namespace orvane::check {

Part PrinterDataPart(Platform& platform, const WindowsFacts& facts) {
  Part part = MakePart("printer-data", true);
  const std::string data = facts.setup_dir + "\\res\\drivedir\\";
  const auto fonts = ReadWholeFile(platform, data + "ovfonts.tbl");
  std::vector<ExpectedValue> driverData = {
      {"PrinterData", win::REG_BINARY,
       ReadWholeFile(platform, data + (facts.version3 ? "ovprndata5.dat" : "ovprndata.dat"))}};
  if (!facts.version3) {
    driverData.push_back(
        {"TTFontSubTableSize", win::REG_DWORD,
         fonts ? std::optional(Dword(static_cast<win::DWORD>(fonts->size()))) : std::nullopt});
    driverData.push_back({"TTFontSubTable", win::REG_BINARY, fonts});
  }
  const char* devMode = facts.win9x_path ? "ovdevmd.dat"
                        : facts.version3 ? "ovdevmdnt5.dat"
                                         : "ovdevmdnt.dat";
  const std::vector<ExpectedValue> printerValues = {
      {"Default DevMode", win::REG_BINARY,
       ReadWholeFile(platform, facts.root + "orvane\\res\\drivedir\\" + devMode)}};

  ValueFindings findings =
      CompareValues(platform, PrinterKey() + "\\PrinterDriverData", driverData);
  const ValueFindings defaults = CompareValues(platform, PrinterKey(), printerValues);
  findings.missing.insert(findings.missing.end(), defaults.missing.begin(), defaults.missing.end());
  findings.differing.insert(findings.differing.end(), defaults.differing.begin(),
                            defaults.differing.end());
  if (findings.none()) {
    SetPart(&part, Status::kPresent, "driver data and default settings as in the product's files");
  } else {
    const bool nothing = findings.all_missing(driverData.size() + printerValues.size());
    SetPart(&part, nothing ? Status::kMissing : Status::kWrong,
            nothing ? "none of the printer's data" : findings.Describe(), Action::kRunSetup);
  }
  return part;
}

Part UninstallEntryPart(Platform& platform, const WindowsFacts& facts) {
  Part part = MakePart("uninstall-entry", true);
  const std::string command = facts.root + "orvane\\setup.exe uninstall";
  const std::vector<ExpectedValue> values = {
      {"DisplayName", win::REG_SZ, Sz("Orvane")},
      {"UninstallString", win::REG_SZ, Sz(command)},
  };
  const ValueFindings findings = CompareValues(platform, kEntryKey, values);
  if (findings.none()) {
    SetPart(&part, Status::kPresent, "\"Orvane\", removed with " + command);
  } else if (findings.all_missing(values.size())) {
    SetPart(&part, Status::kMissing, "no entry \"Orvane\" in Add/Remove Programs",
            Action::kRunSetup);
  } else {
    SetPart(&part, Status::kWrong, "\"Orvane\": " + findings.Describe(), Action::kRunSetup);
  }
  return part;
}

Part InstalledSettingsPart(Platform& platform, const WindowsFacts& facts) {
  Part part = MakePart("settings", false);
  const std::string file = SettingsFilePath(facts.root);
  const std::string quiet = Setting(platform, facts, "Quiet");
  if (quiet == kAbsent) {
    SetPart(&part, Status::kMissing, "no \"Quiet\" in " + file, Action::kRunSetup);
    return part;
  }
  std::vector<std::string> wrong;
  auto expect = [&](const char* key, const char* wanted) {
    const std::string value = Setting(platform, facts, key);
    if (value != wanted) {
      wrong.push_back(std::string("\"") + key + "\" is '" + value + "', not '" + wanted + "'");
    }
  };
  expect("Quiet", "0");
  if (facts.win9x_path) {
    // A removal sets "1"; the installation leaves it empty.
    if (Setting(platform, facts, "Uninstall") != kAbsent) expect("Uninstall", "");
  } else if (KeyExists(platform, product::kAutoCadKey)) {
    expect("TS Enabled", "0");
  }
  if (wrong.empty()) {
    SetPart(&part, Status::kPresent, "\"Quiet\" = 0 in " + file);
  } else {
    SetPart(&part, Status::kWrong, file + ": " + NameList(wrong), Action::kRunSetup);
  }
  return part;
}

}  // namespace orvane::check
