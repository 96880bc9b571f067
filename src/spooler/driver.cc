#include "spooler/driver.h"

#include <string>

#include "app/setup_log.h"
#include "install/context.h"
#include "install/copy_file.h"
#include "install/product.h"
#include "platform/file.h"
#include "platform/format.h"
#include "platform/framework.h"
#include "platform/scoped_key.h"
#include "system/driver_failure.h"
#include "system/rundll32_launch.h"
#include "system/settings_file.h"

namespace orvane {
namespace {

constexpr char kRaw[] = "RAW";
constexpr char kManufacturer[] = "Orvane Corporation";

// Record A's dependent files: NUL-terminated names, the literal's own NUL
// closing the list with an empty name.
constexpr char kWin9xDependentFiles[] =
    "msprint.cat\0LWNT_470.SPD\0PSCRIPT.DRV\0PSCRIPT.HLP\0PSCRIPT.INI\0TESTPS.TXT\0"
    "APPLE380.SPD\0FONTS.MFM\0ICONLIB.DLL\0PSMON.DLL\0ORVDRIVER.SPD\0";
constexpr char kVersion3DependentFiles[] =
    "orvaneps5.ppd\0orvane.INI\0orvaneui5.DLL\0pscript.ntf\0";

constexpr char kPostScriptMessage[] =
    "Setup has determined you do not have a Postscript Driver installed. A Postscript "
    "Driver must be installed before you can install Orvane on Windows 98 or ME. In "
    "order to install a Postscript Driver, we recommend you install the Apple "
    "Laserwriter II NT printer driver (you don't need the actual printer). Once this "
    "is complete, please re-install Orvane. Step-by-step dialogs and a help file will "
    "appear to assist you. We apologize for the inconvenience.";
constexpr char kAddPrinterWizard[] =
    "rundll32.exe shell32.dll,SHHelpShortcuts_RunDLL AddPrinter";

void CopyToDriverDir(Platform& platform, const InstallContext& context,
                     const char* file) {
  CopyFileChecked(platform, context.setup_dir + "\\res\\drivedir\\" + file,
                  context.driver_dir + "\\" + file);
}

// The paths that records B and C point to; they live until the last call
// with the record, the retry included, has returned.
struct DriverPaths {
  std::string driver, data, config, help;
};

// Record A, Windows 95/98/ME: bare file names, found in the system folder.
void FillWin9xRecord(win::DRIVER_INFO_3A* record) {
  record->cVersion = 2;
  record->pName = product::kDriverName;
  record->pEnvironment = product::kEnvironmentWin9x;
  record->pDriverPath = "Pscript.drv";
  record->pDataFile = "orvdriver.SPD";
  record->pConfigFile = "Pscript.drv";
  record->pHelpFile = "Pscript.hlp";
  record->pDependentFiles = kWin9xDependentFiles;
  record->pMonitorName = nullptr;
  record->pDefaultDataType = kRaw;
}

// Record B, NT 4: full paths into the driver folder, spelled as the record
// has always spelled them ("pscript.dll"; Windows ignores the case).
void FillNt4Record(const InstallContext& context, DriverPaths* paths,
                   win::DRIVER_INFO_3A* record) {
  const std::string& dir = context.driver_dir;
  *paths = {dir + "\\pscript.dll", dir + "\\ovps.PPD", dir + "\\Orvaneui.dll",
            dir + "\\Pscript.hlp"};
  record->cVersion = 2;
  record->pName = product::kDriverName;
  record->pEnvironment = product::kEnvironmentNt;
  record->pDriverPath = paths->driver.c_str();
  record->pDataFile = paths->data.c_str();
  record->pConfigFile = paths->config.c_str();
  record->pHelpFile = paths->help.c_str();
  record->pDependentFiles = nullptr;
  record->pMonitorName = nullptr;
  record->pDefaultDataType = kRaw;
}

// Record C, Windows 2000 and XP. ftDriverDate is left zero: the driver's date
// is not the installer's to state.
void FillVersion3Record(const InstallContext& context, DriverPaths* paths,
                        win::DRIVER_INFO_6A* record) {
  const std::string& dir = context.driver_dir;
  *paths = {dir + "\\pscript5.dll", dir + "\\orvaneps5.ppd", dir + "\\ps5ui.dll",
            dir + "\\Pscript.hlp"};
  record->cVersion = 3;
  record->pName = product::kDriverName;
  record->pEnvironment = product::kEnvironmentNt;
  record->pDriverPath = paths->driver.c_str();
  record->pDataFile = paths->data.c_str();
  record->pConfigFile = paths->config.c_str();
  record->pHelpFile = paths->help.c_str();
  record->pDependentFiles = kVersion3DependentFiles;
  record->pMonitorName = nullptr;
  record->pDefaultDataType = kRaw;
  record->pszzPreviousNames = nullptr;
  record->dwlDriverVersion = 0;
  record->pszMfgName = kManufacturer;
  record->pszOEMUrl = product::kVendorUrl;
  record->pszHardwareID = nullptr;
  record->pszProvider = kManufacturer;
}

}  // namespace

void CopyDriverFiles(Platform& platform, InstallContext& context) {
  WriteSetupLog(platform, Format("Printer Driver Directory: %s", context.driver_dir));
  if (context.IsWin9xPath()) {
    CopyToDriverDir(platform, context, "orvdriver.SPD");
    WriteSetting(platform, context.install_root, "Uninstall", "");
  } else {
    ClearIniFileMapping(platform);
    for (const char* file : {"Pscript.dll", "Orvaneui.dll", "Pscript.hlp"}) {
      CopyToDriverDir(platform, context, file);
    }
  }
  for (const char* file : {"ovps.PPD", "ovfonts.tbl"}) {
    CopyToDriverDir(platform, context, file);
  }
}

bool CheckPostScriptDriver(Platform& platform, InstallContext& context) {
  if (!context.IsWin9xPath()) return true;
  FileStatus status;
  const std::string driver = context.driver_dir + "\\Pscript.drv";
  if (File::GetStatus(platform, driver.c_str(), &status)) return true;

  AfxMessageBox(platform, kPostScriptMessage, win::MB_OK, 0);
  const char* environment = platform.GetEnvironmentStrings();
  StartRundll32(platform,
                "rundll32.exe url.dll,FileProtocolHandler " + context.install_root +
                    "orvane\\res\\drivedir\\download.htm",
                environment);
  platform.Sleep(5000);
  if (!StartRundll32(platform, kAddPrinterWizard, environment)) {
    WriteSetupLog(platform, "Failed to launch Add Printer dialog\r\n");
  }
  return false;
}

void CopyVersion3DriverFiles(Platform& platform, InstallContext& context) {
  for (const char* file : {"orvaneps5.PPD", "pscript5.dll", "ps5ui.dll", "orvane.INI",
                           "orvaneui5.DLL", "pscript.ntf"}) {
    CopyToDriverDir(platform, context, file);
  }
}

void InstallPrinterDriver(Platform& platform, InstallContext& context) {
  platform.WriteStandardOutput("Adding printer driver\n\n");

  win::DRIVER_INFO_3A older;  // record A or B
  DriverPaths older_paths;
  if (context.IsWin9xPath()) {
    platform.WriteStandardOutput("Driver directory: " + context.driver_dir + "\n\n");
    platform.Sleep(1000);
    FillWin9xRecord(&older);
  } else {
    FillNt4Record(context, &older_paths, &older);
    ScopedKey autocad(platform);
    if (platform.RegOpenKeyExA(win::HKEY_LOCAL_MACHINE, product::kAutoCadKey, 0,
                               win::KEY_READ, autocad.Receive()) == 0) {
      WriteSetting(platform, context.install_root, "TS Enabled", "0");
      autocad.Close();
    }
  }

  context.rpc_unavailable = 0;
  win::DRIVER_INFO_6A version3;  // record C
  DriverPaths version3_paths;
  DriverCall call = DriverCall::Level3(&older);
  if (QueryIsXPor2000(platform)) {
    CopyVersion3DriverFiles(platform, context);
    FillVersion3Record(context, &version3_paths, &version3);
    call = DriverCall::Level6(&version3);
  }
  // The records and their paths live until the handling, retry included, ends.
  if (!call.Add(platform)) HandleDriverFailure(platform, context, call);
}

}  // namespace orvane
