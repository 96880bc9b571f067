// The product's fixed names: the spooler objects, the registry keys and the
// owner's addresses. Kept in one place so that every step and every message
// uses the same text.
#pragma once

namespace orvane::product {

inline constexpr const char* kPrinterName = "ORVANE";
inline constexpr const char* kPortName = "ORVANEPORT";
inline constexpr const char* kMonitorName = "ORVANE Monitor";
inline constexpr const char* kDriverName = "ORVANE Printer Driver";

inline constexpr const char* kEnvironmentWin9x = "Windows 4.0";
inline constexpr const char* kEnvironmentNt = "Windows NT x86";

// The vendor's addresses, shown in the driver record, the error-126 message
// and the companion-product message.
inline constexpr const char* kVendorUrl = "http://www.orvane.com/";
inline constexpr const char* kSupportEmail = "support@orvane.com";

inline constexpr const char* kPrintersKey =
    "SYSTEM\\CurrentControlSet\\Control\\Print\\Printers";
inline constexpr const char* kMonitorsKey =
    "SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors";
// The machine-wide environment, whose "Path" the search-path repair rewrites.
inline constexpr const char* kEnvironmentKey =
    "SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment";
inline constexpr const char* kIniFileMappingKey =
    "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\IniFileMapping";
// Present when AutoCAD is installed; the driver step then sets "TS Enabled".
inline constexpr const char* kAutoCadKey = "Software\\Autodesk\\AutoCad";

// Below the installation root.
inline constexpr const char* kSettingsFile = "orvane\\res\\orvane.ini";
// The settings file's bare name: its IniFileMapping subkey and the flush.
inline constexpr const char* kSettingsFileName = "orvane.ini";
inline constexpr const char* kSettingsSection = "Parameters";

// The driver keys that the removal deletes directly.
inline constexpr char kWin9xDriversKey[] =
    "SYSTEM\\CurrentControlSet\\Control\\Print\\Environments\\Windows 4.0\\Drivers";
inline constexpr char kNtVersion2DriversKey[] =
    "SYSTEM\\CurrentControlSet\\Control\\Print\\Environments\\Windows NT x86\\Drivers"
    "\\Version-2";
inline constexpr char kNtVersion3DriversKey[] =
    "SYSTEM\\CurrentControlSet\\Control\\Print\\Environments\\Windows NT x86\\Drivers"
    "\\Version-3";

}  // namespace orvane::product
