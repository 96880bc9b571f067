// Whole installations as an administrator sees them afterwards: the setup log,
// standard output, the journal and every change to the registry, each written
// out in full, so that any stray or missing effect fails.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "install/product.h"
#include "setup/scenario.h"

namespace orvane {
namespace {

using setup_test::FileText;
using setup_test::Joined;
using setup_test::Scenario;
using setup_test::ScenarioOptions;
using setup_test::SzBytes;
using winsim::WindowsVersion;

constexpr char kStamp[] = "07-04-03: 09:05";
constexpr char kPrint[] = "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Print";

// A value as one readable text: "sz:text", "dword:N", "multi:a|b",
// "binary:text" (bytes outside printable ASCII as \xNN).
std::string Render(const winsim::RegValue& v) {
  const std::string bytes(v.data.begin(), v.data.end());
  switch (v.type) {
    case win::REG_SZ:
      if (!bytes.empty() && bytes.back() == '\0') return "sz:" + bytes.substr(0, bytes.size() - 1);
      return "sz-without-nul:" + bytes;
    case win::REG_DWORD:
      if (bytes.size() == 4) {
        return "dword:" + std::to_string(v.data[0] | v.data[1] << 8 | v.data[2] << 16 |
                                         static_cast<win::DWORD>(v.data[3]) << 24);
      }
      break;
    case win::REG_MULTI_SZ: {
      std::string names;
      for (std::size_t at = 0; at < bytes.size() && bytes[at] != '\0';) {
        const std::size_t end = std::min(bytes.find('\0', at), bytes.size());
        names += (names.empty() ? "" : "|") + bytes.substr(at, end - at);
        at = end + 1;
      }
      return "multi:" + names;
    }
  }
  std::string text = std::to_string(v.type) + ":";
  for (unsigned char c : bytes) {
    if (c >= 0x20 && c < 0x7F && c != '\\') {
      text += static_cast<char>(c);
    } else {
      static const char kHex[] = "0123456789abcdef";
      text += std::string("\\x") + kHex[c >> 4] + kHex[c & 15];
    }
  }
  return text;
}

// Every key as "key" and every value as "key: name = value".
std::set<std::string> Snapshot(const winsim::Registry& registry) {
  std::set<std::string> lines;
  std::vector<std::string> pending = {"HKEY_CLASSES_ROOT", "HKEY_CURRENT_USER",
                                      "HKEY_LOCAL_MACHINE", "HKEY_USERS"};
  while (!pending.empty()) {
    const std::string key = pending.back();
    pending.pop_back();
    lines.insert(key);
    for (const winsim::RegValue& v : registry.Values(key)) {
      lines.insert(key + ": " + v.name + " = " + Render(v));
    }
    for (const std::string& sub : registry.SubkeyNames(key)) pending.push_back(key + "\\" + sub);
  }
  return lines;
}

// What the run changed: "+ line" for what is new, "- line" for what went.
std::vector<std::string> Changes(const std::set<std::string>& before,
                                 const std::set<std::string>& after) {
  std::vector<std::string> changes;
  for (const std::string& line : after) {
    if (!before.count(line)) changes.push_back("+ " + line);
  }
  for (const std::string& line : before) {
    if (!after.count(line)) changes.push_back("- " + line);
  }
  return changes;
}

// Keys and values written as "+ " lines; `key` is prefixed to each value.
void Add(std::vector<std::string>* out, const std::string& key,
         const std::vector<std::string>& values) {
  out->push_back("+ " + key);
  for (const std::string& v : values) out->push_back("+ " + key + ": " + v);
}

std::string StandIn(const std::string& relative) {
  return "Orvane stand-in: " + relative + "\r\n";
}

std::string Binary(const std::string& text) {
  return Render(winsim::RegValue{"", win::REG_BINARY, {text.begin(), text.end()}});
}

// The journal, one event a line with its fields unescaped.
std::vector<std::string> JournalEvents(const winsim::Machine& machine) {
  std::vector<std::string> events;
  for (const std::string& line : machine.journal()) {
    std::string event;
    for (const std::string& field : setup_test::JournalFields(line)) {
      event += (event.empty() ? "" : " | ") + field;
    }
    events.push_back(event);
  }
  return events;
}

struct Family {
  WindowsVersion version;
  bool win9x;
  const char* driverDir;
  const char* windowsDir;
  const char* rundll32Dir;  // where this Windows keeps its own rundll32.exe
};

// The changes a clean installation makes, written out from what each step
// stores: the monitor, its port, the driver record as the spooler keeps it,
// the printer with its data, and the Add/Remove Programs entry.
std::vector<std::string> ExpectedChanges(const Family& f, bool version3) {
  std::vector<std::string> out;
  const std::string monitor = std::string(kPrint) + "\\Monitors\\ORVANE Monitor";
  Add(&out, monitor, {std::string("Driver = sz:") + (f.win9x ? "orvmon95.dll" : "orvmon.dll")});
  out.push_back("+ " + monitor + "\\Ports");
  Add(&out, monitor + "\\Ports\\ORVANEPORT",
      {"Arguments = sz:@C:\\orvane\\res\\pdfwrite.rsp -sOutputFile=\"%1\" -c save pop -f -",
       "Command = sz:C:\\orvane\\res\\convert\\gswin32c.exe", "Delay = dword:300",
       "Description = sz:ORVANE Redirected Port", "LogFileDebug = dword:0",
       "LogFileName = sz:", "LogFileUse = dword:0", "Output = dword:1",
       "PrintError = dword:0", "Printer = sz:ORVANE", "RunUser = dword:0",
       "ShowWindow = dword:2"});

  const std::string drivers = std::string(kPrint) + "\\Environments\\" +
                              (f.win9x ? "Windows 4.0\\Drivers" : "Windows NT x86\\Drivers");
  if (f.win9x) {
    Add(&out, drivers + "\\ORVANE Printer Driver",
        {"Version = dword:0", "Driver = sz:Pscript.drv", "Data File = sz:orvdriver.SPD",
         "Configuration File = sz:Pscript.drv", "Help File = sz:Pscript.hlp",
         "Dependent Files = multi:msprint.cat|LWNT_470.SPD|PSCRIPT.DRV|PSCRIPT.HLP|"
         "PSCRIPT.INI|TESTPS.TXT|APPLE380.SPD|FONTS.MFM|ICONLIB.DLL|PSMON.DLL|ORVDRIVER.SPD",
         "Monitor = sz:", "Datatype = sz:RAW", "Previous Names = multi:"});
  } else if (!version3) {
    Add(&out, drivers + "\\Version-2\\ORVANE Printer Driver",
        {"Version = dword:2", "Driver = sz:pscript.dll", "Data File = sz:ovps.PPD",
         "Configuration File = sz:Orvaneui.dll", "Help File = sz:Pscript.hlp",
         "Dependent Files = multi:", "Monitor = sz:", "Datatype = sz:RAW",
         "Previous Names = multi:"});
  } else {
    const std::string zero8 = Binary(std::string(8, '\0'));
    Add(&out, drivers + "\\Version-3\\ORVANE Printer Driver",
        {"Version = dword:3", "Driver = sz:pscript5.dll", "Data File = sz:orvaneps5.ppd",
         "Configuration File = sz:ps5ui.dll", "Help File = sz:Pscript.hlp",
         "Dependent Files = multi:orvaneps5.ppd|orvane.INI|orvaneui5.DLL|pscript.ntf",
         "Monitor = sz:", "Datatype = sz:RAW", "Previous Names = multi:",
         "Manufacturer = sz:Orvane Corporation",
         std::string("OEM Url = sz:") + product::kVendorUrl, "HardwareID = sz:",
         "Provider = sz:Orvane Corporation", "DriverDate = " + zero8,
         "DriverVersion = " + zero8});
  }

  const std::string printer = std::string(kPrint) + "\\Printers\\ORVANE";
  const char* devMode = f.win9x ? "ovdevmd.dat" : version3 ? "ovdevmdnt5.dat" : "ovdevmdnt.dat";
  Add(&out, printer,
      {"Name = sz:ORVANE", "Share Name = sz:", "Port = sz:ORVANEPORT",
       "Printer Driver = sz:ORVANE Printer Driver", "Description = sz:", "Location = sz:",
       "Print Processor = sz:winprint", "Datatype = sz:RAW", "Parameters = sz:",
       "Separator File = sz:", std::string("Attributes = dword:") + (f.win9x ? "64" : "0"),
       "Priority = dword:0", "Default Priority = dword:0", "StartTime = dword:0",
       "UntilTime = dword:0", "Status = dword:0",
       "Default DevMode = " + Binary(StandIn(std::string("res\\drivedir\\") + devMode))});
  std::vector<std::string> data;
  if (!version3) {
    const std::string table = StandIn("res\\drivedir\\ovfonts.tbl");
    data.push_back("TTFontSubTableSize = dword:" + std::to_string(table.size()));
    data.push_back("TTFontSubTable = " + Binary(table));
  }
  data.push_back("PrinterData = " +
                 Binary(StandIn(version3 ? "res\\drivedir\\ovprndata5.dat"
                                         : "res\\drivedir\\ovprndata.dat")));
  Add(&out, printer + "\\PrinterDriverData", data);

  Add(&out, "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Orvane",
      {"DisplayName = sz:Orvane", "UninstallString = sz:c:\\orvane\\setup.exe uninstall"});
  std::sort(out.begin(), out.end());
  return out;
}

TEST(WholeInstall, NothingWrongOnEachFamily) {
  const Family families[] = {
      {WindowsVersion::kWin98, true, "C:\\WINDOWS\\SYSTEM", "C:\\WINDOWS", "C:\\WINDOWS"},
      {WindowsVersion::kNt4, false, "C:\\WINNT\\system32\\spool\\drivers\\w32x86", "C:\\WINNT",
       "C:\\WINNT\\system32"},
      {WindowsVersion::kWinXp, false, "C:\\WINDOWS\\system32\\spool\\drivers\\w32x86",
       "C:\\WINDOWS", "C:\\WINDOWS\\system32"},
  };
  for (const Family& f : families) {
    const char* row = winsim::Profile(f.version).name;
    const bool version3 = f.version == WindowsVersion::kWinXp;
    Scenario s(f.version);
    // Copies planted in setup's folder and in the current one never run.
    s->files().WriteAll("C:\\orvane\\rundll32.exe", "planted");
    s->files().WriteAll("C:\\Downloads\\rundll32.exe", "planted");
    s->files().SetCurrentDirectory("C:\\Downloads");
    const std::set<std::string> before = Snapshot(s->registry());
    EXPECT_EQ(s.Run(), 0) << row;

    const std::string stamp = kStamp;
    EXPECT_EQ(Joined(s.LogLines()),
              Joined({stamp + (f.win9x ? "is_winnt = FALSE" : "is_winnt = TRUE"),
                      stamp + "is_win4 = TRUE",
                      stamp + "Printer Driver Directory: " + f.driverDir}))
        << row;

    std::string out = f.win9x ? "" : "Initializing Spooler\n\n";
    out += "Adding printer driver\n\n";
    if (f.win9x) out += std::string("Driver directory: ") + f.driverDir + "\n\n";
    out += "Enumerating ports\n\nAdding printer\n\nClosing printer\n\n"
           "Configuring printer\n\nCompleting printer setup...\n\n";
    EXPECT_EQ(s->standard_output(), out) << row;

    std::vector<std::string> journal;  // each event's fields, " | " between them
    if (!f.win9x) {
      journal.push_back(std::string("profileflush | ") + f.windowsDir + "\\orvane.ini");
      journal.push_back("sleep | 3000");  // before the monitor is added
    }
    journal.push_back("sleep | 1000");  // after it
    if (f.win9x) journal.push_back("sleep | 1000");  // after the driver folder line
    const std::string rundll32 = std::string(f.rundll32Dir) + "\\rundll32.exe";
    journal.push_back(
        "process | 1 | 0x200 | cb=68 flags=0x0 show=1 zero=yes | env=own | app=" + rundll32 +
        " | dir=" + f.rundll32Dir + " | ran=" + rundll32 +
        " | rundll32.exe url.dll,FileProtocolHandler c:\\orvane\\readme.html");
    EXPECT_EQ(Joined(JournalEvents(*s)), Joined(journal)) << row;

    EXPECT_EQ(Joined(Changes(before, Snapshot(s->registry()))),
              Joined(ExpectedChanges(f, version3)))
        << row;
    EXPECT_EQ(FileText(*s, "C:\\orvane\\res\\orvane.ini"),
              f.win9x ? "[Parameters]\r\nUninstall=\r\nQuiet=0\r\n" : "[Parameters]\r\nQuiet=0\r\n")
        << row;
    EXPECT_EQ(Joined(s->LeakReport()), "") << row;
  }
}

// Marks every file that the steps may read in one tree with that tree's name,
// so that a value shows which tree it came from.
void MarkTree(winsim::Machine& machine, const std::string& folder, const std::string& tag) {
  for (const char* file :
       {"res\\drivedir\\ovfonts.tbl", "res\\drivedir\\ovprndata.dat",
        "res\\drivedir\\ovprndata5.dat", "res\\drivedir\\ovdevmd.dat",
        "res\\drivedir\\ovdevmdnt.dat", "res\\drivedir\\ovdevmdnt5.dat",
        "res\\drivedir\\orvmon.dll", "res\\drivedir\\orvmon95.dll"}) {
    std::string text = tag + " " + file;
    // What the spooler looks for in a port monitor DLL before it loads it.
    if (std::string(file).find("orvmon") != std::string::npos) {
      text += "\r\nexports InitializePrintMonitor2\r\n";
    }
    machine.files().WriteAll(folder + "\\" + file, text);
  }
}

TEST(WholeInstall, InstallationRootApartFromTheSetupFolder) {
  struct Row {
    const char* row;
    WindowsVersion version;
    std::string setupDir;  // where setup.exe and its data files lie
    std::string root;      // HKLM\Software\Orvane "Path"
    const char* data;      // the printer data file, from the setup folder
    const char* devMode;   // the default settings, from the root
    const char* monitor;   // the monitor DLL, from the setup folder
    const char* log[3];    // the family lines and the driver folder
  };
  const Row rows[] = {
      // The root's settings file says "0": the setup folder's "1" is never read.
      {"program files, XP", WindowsVersion::kWinXp, "c:\\Program Files\\Orvane", "c:\\",
       "ovprndata.dat", "ovdevmdnt.dat", "orvmon.dll",
       {"is_winnt = TRUE", "is_win4 = TRUE", "C:\\WINDOWS\\system32\\spool\\drivers\\w32x86"}},
      {"other root, 98", WindowsVersion::kWin98, "c:\\orvane", "c:\\Apps\\",
       "ovprndata.dat", "ovdevmd.dat", "orvmon95.dll",
       {"is_winnt = FALSE", "is_win4 = TRUE", "C:\\WINDOWS\\SYSTEM"}},
  };
  for (const Row& r : rows) {
    ScenarioOptions options;
    options.setup_dir = r.setupDir;
    Scenario s(r.version, options);
    s->registry().PutValue("HKLM\\Software\\Orvane", "Path", win::REG_SZ, SzBytes(r.root));
    const std::string root = r.root + "orvane";
    MarkTree(*s, r.setupDir, "setup");
    MarkTree(*s, root, "root");
    s->files().MakeDirectories(root + "\\res\\drivedir");  // the log's folder
    s->files().WriteAll(root + "\\res\\orvane.ini", "[Parameters]\r\nIsXPor2000=0\r\n");
    s->files().WriteAll(r.setupDir + "\\res\\orvane.ini", "[Parameters]\r\nIsXPor2000=1\r\n");
    // Only the root's companion readme is old.
    s->files().WriteAll(root + "\\res\\utilities\\readme.html", "this is version 4.0");
    s->files().WriteAll(r.setupDir + "\\res\\utilities\\readme.html", "this is version 9");
    EXPECT_EQ(s.Run(), 0) << r.row;

    const std::string printer = std::string(kPrint) + "\\Printers\\ORVANE";
    const auto text = [&](const std::string& key, const char* name) {
      const auto value = s.Value(key, name);
      return value ? std::string(value->data.begin(), value->data.end()) : "<none>";
    };
    EXPECT_EQ(text(printer + "\\PrinterDriverData", "PrinterData"),
              std::string("setup res\\drivedir\\") + r.data)
        << r.row;
    EXPECT_EQ(text(printer + "\\PrinterDriverData", "TTFontSubTable"),
              "setup res\\drivedir\\ovfonts.tbl")
        << r.row;
    EXPECT_EQ(text(printer, "Default DevMode"), std::string("root res\\drivedir\\") + r.devMode)
        << r.row;
    EXPECT_TRUE(FileText(*s, s->profile().system_dir + std::string("\\") + r.monitor)
                    .starts_with(std::string("setup res\\drivedir\\") + r.monitor))
        << r.row;
    EXPECT_EQ(text(std::string(kPrint) + "\\Monitors\\ORVANE Monitor\\Ports\\ORVANEPORT",
                   "Command"),
              s->files().Canonical(r.setupDir) + "\\res\\convert\\gswin32c.exe" +
                  std::string(1, '\0'))
        << r.row;
    EXPECT_EQ(text("HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Orvane",
                   "UninstallString"),
              root + "\\setup.exe uninstall" + std::string(1, '\0'))
        << r.row;
    // The pages, the settings and the log belong to the root.
    EXPECT_EQ(setup_test::Events(*s, "process"),
              (std::vector<std::vector<std::string>>{setup_test::Rundll32Event(
                  winsim::Profile(r.version).rundll32,
                  "rundll32.exe url.dll,FileProtocolHandler " + root + "\\readme.html")}))
        << r.row;
    EXPECT_EQ(setup_test::Events(*s, "msgbox").size(), 1u) << r.row;
    EXPECT_EQ(FileText(*s, root + "\\res\\orvane.ini").find("Quiet=0") != std::string::npos,
              true)
        << r.row;
    EXPECT_EQ(FileText(*s, r.setupDir + "\\res\\orvane.ini"),
              "[Parameters]\r\nIsXPor2000=1\r\n")
        << r.row;
    EXPECT_EQ(Joined(s.LogLines(root + "\\res\\drivedir\\setup.log")),
              Joined({std::string(kStamp) + r.log[0], std::string(kStamp) + r.log[1],
                      std::string(kStamp) + "Printer Driver Directory: " + r.log[2]}))
        << r.row;
    EXPECT_EQ(Joined(s->LeakReport()), "") << r.row;
  }
}

}  // namespace
}  // namespace orvane
