// Did a removal leave only what it is meant to leave? What the spooler held
// must be gone, from its listings and from its keys; the files and the
// settings file stay by design and are named so that the user can delete
// them.
#include "check/check.h"
#include "check/parts.h"
#include "system/settings_file.h"

namespace orvane::check {
namespace {

// Gone when neither the listing nor a key shows it; the listing is left out
// when the spooler did not answer, since the keys then tell.
template <typename Entry, typename Name>
Part Registration(Platform& platform, const char* id, const std::string& what,
                  const Listing<Entry>& listing, Name name, const std::vector<std::string>& keys) {
  Part part = MakePart(id, true);
  std::vector<std::string> left;
  for (const Entry& entry : listing.entries) {
    if (SameText(name(entry), what)) left.push_back("listed by the spooler");
  }
  for (const std::string& key : keys) {
    if (KeyExists(platform, key)) left.push_back("key HKLM\\" + key);
  }
  if (left.empty()) {
    part.status = Status::kGone;
    part.detail = "\"" + what + "\" is gone";
  } else {
    part.status = Status::kLeft;
    part.detail = "\"" + what + "\" is still there: " + NameList(left);
    part.action = Action::kRunUninstall;
  }
  return part;
}

Part SpoolerPart(Platform& platform) {
  Part part = MakePart("spooler", false);
  const ServiceState spooler = QuerySpooler(platform);
  if (spooler.error == 0 && spooler.state == win::SERVICE_RUNNING) {
    part.detail = "the Spooler service is running";
  } else {
    part.status = Status::kWrong;
    part.detail = spooler.error != 0 ? "the Spooler service cannot be asked (error " +
                                           std::to_string(spooler.error) + ")"
                                     : "the Spooler service is not running";
    part.action = Action::kReboot;
  }
  return part;
}

Part EntryPart(Platform& platform, const WindowsFacts& facts) {
  Part part = MakePart("uninstall-entry", true);
  if (!KeyExists(platform, kEntryKey)) {
    part.status = Status::kGone;
    part.detail = "no entry \"Orvane\" in Add/Remove Programs";
  } else if (facts.win9x_path && Setting(platform, facts, "Uninstall") == "1") {
    // The first of the two runs keeps it, to start the second after the restart.
    part.status = Status::kStays;
    part.detail = "\"Orvane\" stays until the removal runs again after a restart";
    part.action = Action::kRebootThenUninstall;
  } else {
    part.status = Status::kLeft;
    part.detail = "\"Orvane\" is still in Add/Remove Programs";
    part.action = Action::kRunUninstall;
  }
  return part;
}

// Files a removal leaves: staying is expected, gone is fine too.
Part FilesPart(Platform& platform, const char* id, const std::string& folder,
               const std::vector<std::string>& files) {
  Part part = MakePart(id, false);
  std::vector<std::string> left;
  for (const std::string& file : files) {
    if (FileExists(platform, folder + file)) left.push_back(file);
  }
  part.status = left.empty() ? Status::kGone : Status::kStays;
  part.detail = left.empty() ? "none left in " + folder
                             : NameList(left) + " in " + folder + " (a removal leaves them)";
  if (!left.empty()) part.action = Action::kRemoveByHand;
  return part;
}

Part SettingsPart(Platform& platform, const WindowsFacts& facts) {
  Part part = MakePart("settings", false);
  const std::string file = SettingsFilePath(facts.root);
  const std::string uninstall = Setting(platform, facts, "Uninstall");
  if (!FileExists(platform, file) && Setting(platform, facts, "Quiet") == kAbsent) {
    part.status = Status::kGone;
    part.detail = file + " is gone";
  } else if (facts.win9x_path && uninstall != "1") {
    part.status = Status::kWrong;
    part.detail = file + ": \"Uninstall\" is '" + uninstall + "', but every removal sets '1'";
    part.action = Action::kRunUninstall;
  } else {
    part.status = Status::kStays;
    part.detail = file + " (a removal leaves it)";
    part.action = Action::kRemoveByHand;
  }
  return part;
}

}  // namespace

Report CheckRemoval(Platform& platform, const std::string& setupDir) {
  const WindowsFacts facts = ReadWindowsFacts(platform, setupDir);
  Report report;
  report.question = Question::kRemoval;
  report.windows = facts.Windows();
  report.setup_dir = setupDir;
  if (facts.nt_family) report.parts.push_back(SpoolerPart(platform));
  report.parts.push_back(
      Registration(platform, "monitor", product::kMonitorName, ListMonitors(platform),
                   [](const win::MonitorInfo1& m) { return m.pName; }, {MonitorKey()}));
  report.parts.push_back(FilesPart(platform, "monitor-files", facts.system_dir,
                                   {facts.monitor_dll, facts.monitor_companion}));
  report.parts.push_back(Registration(platform, "port", product::kPortName, ListPorts(platform),
                                      [](const win::PortInfo2& p) { return p.pPortName; },
                                      {PortKey()}));
  report.parts.push_back(Registration(
      platform, "driver", product::kDriverName, ListDrivers(platform, facts.environment),
      [](const win::DriverInfo3& d) { return d.pName; }, DriverKeys(facts)));
  report.parts.push_back(
      FilesPart(platform, "driver-files", facts.driver_dir + "\\", facts.InstallerDriverFiles()));
  report.parts.push_back(
      Registration(platform, "printer", product::kPrinterName, ListPrinters(platform),
                   [](const win::PrinterInfo2& p) { return p.pPrinterName; }, {PrinterKey()}));
  report.parts.push_back(EntryPart(platform, facts));
  report.parts.push_back(SettingsPart(platform, facts));
  return report;
}

}  // namespace orvane::check
