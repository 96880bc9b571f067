// Is the product installed whole? One function per part, each asking Windows
// the way a user's own tools would and naming what it finds: here the
// spooler's objects and their files; the data and the settings are in
// installation_data.cc.
#include <algorithm>

#include "check/check.h"
#include "check/parts.h"

namespace orvane::check {
namespace {

// Not registered: setup can add it, unless this Windows cannot take it or the
// spooler did not answer.
void NotRegistered(Part* part, const std::string& what, const std::string& cannot,
                   win::DWORD listingError) {
  if (listingError != 0) {
    SetPart(part, Status::kMissing, what + "; " + Silent(listingError), Action::kRebootThenSetup);
  } else if (!cannot.empty()) {
    SetPart(part, Status::kMissing, what + ": " + cannot, Action::kNotOnThisWindows);
  } else {
    SetPart(part, Status::kMissing, what, Action::kRunSetup);
  }
}

Part SpoolerPart(Platform& platform) {
  Part part = MakePart("spooler", false);
  const ServiceState spooler = QuerySpooler(platform);
  if (spooler.error != 0) {
    SetPart(&part, Status::kWrong,
            "the Spooler service cannot be asked (error " + std::to_string(spooler.error) + ")",
            Action::kRebootThenSetup);
  } else if (spooler.state != win::SERVICE_RUNNING) {
    SetPart(&part, Status::kWrong,
            spooler.state == win::SERVICE_STOPPED ? "the Spooler service is stopped"
                                                  : "the Spooler service is not running",
            Action::kRebootThenSetup);
  } else {
    SetPart(&part, Status::kPresent, "the Spooler service is running");
  }
  return part;
}

Part MonitorPart(Platform& platform, const WindowsFacts& facts) {
  Part part = MakePart("monitor", true);
  const auto monitors = ListMonitors(platform);
  const std::string dll = TextOf(ReadValue(platform, MonitorKey(), "Driver"));
  const bool listed =
      monitors.error != 0
          ? !dll.empty()
          : std::any_of(monitors.entries.begin(), monitors.entries.end(),
                        [](const auto& m) { return SameText(m.pName, product::kMonitorName); });
  if (!listed) {
    NotRegistered(&part, "\"ORVANE Monitor\" is not registered", facts.no_monitor, monitors.error);
  } else if (monitors.error != 0) {
    SetPart(&part, Status::kWrong, "\"ORVANE Monitor\" is registered; " + Silent(monitors.error),
            Action::kRebootThenSetup);
  } else if (!SameText(dll, facts.monitor_dll)) {
    SetPart(&part, Status::kWrong,
            "\"ORVANE Monitor\" is registered with \"" + dll + "\", not " + facts.monitor_dll,
            Action::kReinstall);
  } else {
    SetPart(&part, Status::kPresent, "\"ORVANE Monitor\" with " + dll);
  }
  return part;
}

Part MonitorFilesPart(Platform& platform, const WindowsFacts& facts) {
  Part part = MakePart("monitor-files", false);
  std::vector<std::string> missing, differing;
  for (const std::string& file : {facts.monitor_dll, facts.monitor_companion}) {
    const std::string path = facts.system_dir + file;
    if (!FileExists(platform, path)) {
      missing.push_back(path);
      continue;
    }
    const auto shipped = ReadWholeFile(platform, facts.setup_dir + "\\res\\drivedir\\" + file);
    if (shipped && ReadWholeFile(platform, path) != shipped) differing.push_back(path);
  }
  if (!missing.empty()) {
    SetPart(&part, Status::kMissing, "missing " + NameList(missing), Action::kRunSetup);
  } else if (!differing.empty()) {
    // An older DLL that the spooler holds is replaced only once it lets go.
    SetPart(&part, Status::kWrong,
            "not the copy in " + facts.setup_dir + "\\res\\drivedir: " + NameList(differing),
            Action::kRebootThenSetup);
  } else {
    SetPart(&part, Status::kPresent,
            facts.monitor_dll + " and " + facts.monitor_companion + " in " + facts.system_dir);
  }
  return part;
}

Part PortPart(Platform& platform, const WindowsFacts& facts) {
  Part part = MakePart("port", true);
  const std::string& setup = facts.setup_dir;
  const std::vector<ExpectedValue> values = {
      {"Arguments", win::REG_SZ,
       Sz("@" + setup + "\\res\\pdfwrite.rsp -sOutputFile=\"%1\" -c save pop -f -")},
      {"Command", win::REG_SZ, Sz(setup + "\\res\\convert\\gswin32c.exe")},
      {"Delay", win::REG_DWORD, Dword(300)},
      {"Description", win::REG_SZ, Sz("ORVANE Redirected Port")},
      {"LogFileDebug", win::REG_DWORD, Dword(0)},
      {"LogFileName", win::REG_SZ, Sz("")},
      {"LogFileUse", win::REG_DWORD, Dword(0)},
      {"Output", win::REG_DWORD, Dword(1)},
      {"Printer", win::REG_SZ, Sz(product::kPrinterName)},
      {"PrintError", win::REG_DWORD, Dword(0)},
      {"RunUser", win::REG_DWORD, Dword(0)},
      {"ShowWindow", win::REG_DWORD, Dword(2)},
  };
  const ValueFindings findings = CompareValues(platform, PortKey(), values);
  const auto ports = ListPorts(platform);
  const auto port = std::find_if(ports.entries.begin(), ports.entries.end(), [](const auto& p) {
    return SameText(p.pPortName, product::kPortName);
  });
  const bool listed = port != ports.entries.end();
  if (listed && !SameText(port->pMonitorName, product::kMonitorName)) {
    SetPart(&part, Status::kWrong, "\"ORVANEPORT\" belongs to \"" + port->pMonitorName + "\"",
            Action::kReinstall);
  } else if (!findings.none()) {
    const bool nothing = !listed && findings.all_missing(values.size());
    SetPart(&part, nothing ? Status::kMissing : Status::kWrong,
            nothing ? "\"ORVANEPORT\" is neither listed nor configured"
                    : "\"ORVANEPORT\": " + findings.Describe(),
            Action::kRunSetup);
  } else if (listed) {
    SetPart(&part, Status::kPresent, "\"ORVANEPORT\" of \"ORVANE Monitor\", its 12 values");
  } else if (ports.error != 0) {
    SetPart(&part, Status::kWrong, "\"ORVANEPORT\" is configured; " + Silent(ports.error),
            Action::kRebootThenSetup);
  } else if (!facts.no_monitor.empty()) {
    SetPart(&part, Status::kMissing,
            "\"ORVANEPORT\" is configured but not listed: " + facts.no_monitor,
            Action::kNotOnThisWindows);
  } else {
    SetPart(&part, Status::kWrong,
            "\"ORVANEPORT\" is configured, but the spooler lists no such port", Action::kRunSetup);
  }
  return part;
}

// The driver's part, and its record for the files' part (null when none).
Part DriverPart(Platform& platform, const WindowsFacts& facts, Listing<win::DriverInfo3>* drivers,
                const win::DriverInfo3** record) {
  Part part = MakePart("driver", true);
  *drivers = ListDrivers(platform, facts.environment);
  const win::DWORD wanted = facts.version_folder.empty() ? 0 : (facts.version3 ? 3 : 2);
  const win::DriverInfo3* other = nullptr;
  *record = nullptr;
  for (const win::DriverInfo3& d : drivers->entries) {
    if (!SameText(d.pName, product::kDriverName)) continue;
    if (facts.win9x_path || d.cVersion == wanted) *record = &d;
    other = &d;
  }
  // Win32s: the spooler knows no such environment, which is no silence.
  const win::DWORD silence = drivers->error == win::ERROR_INVALID_ENVIRONMENT ? 0 : drivers->error;
  const auto keys = DriverKeys(facts);
  const bool keyed = std::any_of(keys.begin(), keys.end(), [&](const std::string& key) {
    return ReadValue(platform, key, "Driver").has_value();
  });
  const std::string name = "\"ORVANE Printer Driver\"";
  if (*record != nullptr) {
    std::string found = name;
    if (!facts.win9x_path) found.append(" version ").append(std::to_string(wanted));
    SetPart(&part, Status::kPresent, found.append(" for \"").append(facts.environment) + "\"");
  } else if (other != nullptr) {
    SetPart(&part, Status::kWrong,
            name + " is installed as version " + std::to_string(other->cVersion) + ", not " +
                std::to_string(wanted),
            Action::kRunSetup);
  } else if (silence != 0 && keyed) {
    SetPart(&part, Status::kWrong, name + " is registered; " + Silent(silence),
            Action::kRebootThenSetup);
  } else {
    NotRegistered(&part, name + " is not installed", facts.no_driver, silence);
  }
  return part;
}

Part DriverFilesPart(Platform& platform, const WindowsFacts& facts,
                     const win::DriverInfo3* record) {
  Part part = MakePart("driver-files", false);
  std::vector<std::string> paths;
  auto add = [&](const std::string& path) {
    if (path.empty()) return;
    for (const std::string& known : paths) {
      if (SameText(known, path)) return;
    }
    paths.push_back(path);
  };
  if (record != nullptr) {
    for (const std::string* file :
         {&record->pDriverPath, &record->pDataFile, &record->pConfigFile, &record->pHelpFile}) {
      add(*file);
    }
    for (const std::string& file : record->pDependentFiles) add(file);
  }
  const std::size_t spoolerFiles = paths.size();
  for (const std::string& file : facts.InstallerDriverFiles()) {
    add(facts.driver_dir + "\\" + file);
  }
  std::vector<std::string> missing;
  for (const std::string& path : paths) {
    if (!FileExists(platform, path)) missing.push_back(path);
  }
  if (missing.empty()) {
    SetPart(&part, Status::kPresent,
            std::to_string(spoolerFiles) + " named by the driver, " +
                std::to_string(paths.size() - spoolerFiles) + " of setup's in " + facts.driver_dir);
  } else {
    SetPart(&part, Status::kMissing, "missing " + NameList(missing), Action::kRunSetup);
  }
  return part;
}

Part PrinterPart(Platform& platform, const WindowsFacts& facts) {
  Part part = MakePart("printer", true);
  const auto printers = ListPrinters(platform);
  const auto printer =
      std::find_if(printers.entries.begin(), printers.entries.end(),
                   [](const auto& p) { return SameText(p.pPrinterName, product::kPrinterName); });
  const std::string name = "\"ORVANE\"";
  if (printer != printers.entries.end()) {
    const std::string where =
        name + " on " + printer->pPortName + " with \"" + printer->pDriverName + "\"";
    if (SameText(printer->pPortName, product::kPortName) &&
        SameText(printer->pDriverName, product::kDriverName)) {
      SetPart(&part, Status::kPresent, where);
    } else {
      SetPart(&part, Status::kWrong, where, Action::kReinstall);
    }
  } else if (printers.error != 0 && ReadValue(platform, PrinterKey(), "Printer Driver")) {
    SetPart(&part, Status::kWrong, name + " is registered; " + Silent(printers.error),
            Action::kRebootThenSetup);
  } else {
    NotRegistered(&part, "no printer " + name, facts.no_driver, printers.error);
  }
  return part;
}

}  // namespace

Report CheckInstallation(Platform& platform, const std::string& setupDir) {
  const WindowsFacts facts = ReadWindowsFacts(platform, setupDir);
  Report report;
  report.question = Question::kInstallation;
  report.windows = facts.Windows();
  report.setup_dir = setupDir;
  if (facts.nt_family) report.parts.push_back(SpoolerPart(platform));
  report.parts.push_back(MonitorPart(platform, facts));
  report.parts.push_back(MonitorFilesPart(platform, facts));
  report.parts.push_back(PortPart(platform, facts));
  Listing<win::DriverInfo3> drivers;  // holds the record the files' part reads
  const win::DriverInfo3* record = nullptr;
  report.parts.push_back(DriverPart(platform, facts, &drivers, &record));
  report.parts.push_back(DriverFilesPart(platform, facts, record));
  report.parts.push_back(PrinterPart(platform, facts));
  report.parts.push_back(PrinterDataPart(platform, facts));
  report.parts.push_back(UninstallEntryPart(platform, facts));
  report.parts.push_back(InstalledSettingsPart(platform, facts));
  return report;
}

}  // namespace orvane::check
