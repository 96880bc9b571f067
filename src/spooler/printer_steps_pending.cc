// Placeholders for the install steps after the driver; the printer-and-
// completion work replaces this file.
#include "spooler/printer.h"
#include "spooler/printer_data.h"
#include "system/completion.h"
#include "system/uninstall_entry.h"

namespace orvane {

void CreatePrinter(Platform&, InstallContext&) {}
bool WritePrinterDriverData(Platform&, InstallContext&) { return true; }
bool WriteDefaultDevMode(Platform&, InstallContext&) { return true; }
void CompleteSetup(Platform&, InstallContext&) {}
void CheckCompanionVersion(Platform&, float) {}
win::BOOL WriteUninstallEntry(Platform&) { return win::TRUE; }
win::BOOL DeleteUninstallEntry(Platform&) { return win::TRUE; }

}  // namespace orvane
