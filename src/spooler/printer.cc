#include "spooler/printer.h"

#include <string>
#include <utility>
#include <vector>

#include "app/setup_log.h"
#include "install/product.h"
#include "platform/format.h"
#include "platform/scoped_printer.h"

namespace orvane {
namespace {

// The port listing is read into one fixed buffer; it is not grown when the
// spooler needs more (EnumPortsA then fails with ERROR_INSUFFICIENT_BUFFER).
constexpr win::DWORD kPortListingBytes = 4096;
constexpr char kPrintProcessor[] = "winprint";

// The printer as the spooler is to keep it: everything but the names, the
// print processor and the family's attributes is left for the spooler to
// default. The default settings come later as a registry blob.
win::PRINTER_INFO_2A PrinterRecord(const InstallContext& context) {
  win::PRINTER_INFO_2A printer;
  printer.pServerName = nullptr;
  printer.pPrinterName = product::kPrinterName;
  printer.pShareName = nullptr;
  printer.pPortName = product::kPortName;
  printer.pDriverName = product::kDriverName;
  printer.pComment = nullptr;
  printer.pLocation = nullptr;
  printer.pDevMode = nullptr;
  printer.pSepFile = nullptr;
  printer.pPrintProcessor = kPrintProcessor;
  printer.pDatatype = nullptr;
  printer.pParameters = nullptr;
  printer.pSecurityDescriptor = nullptr;
  printer.Attributes = context.IsWin9xPath() ? win::PRINTER_ATTRIBUTE_LOCAL : 0;
  printer.Priority = 0;
  printer.DefaultPriority = 0;
  printer.StartTime = 0;
  printer.UntilTime = 0;
  printer.Status = 0;
  printer.cJobs = 0;
  printer.AveragePPM = 0;
  return printer;
}

// A diagnostic on standard output only: whether the product's port heads the
// listing. Only the first entry is compared (case-sensitive, whole name); the
// port further down the listing prints nothing.
void ReportPortListing(Platform& platform) {
  win::DWORD needed = 0;
  win::DWORD returned = 0;
  std::vector<win::PortInfo2> ports;
  if (!platform.EnumPortsA(nullptr, 2, kPortListingBytes, &needed, &returned, &ports)) {
    platform.WriteStandardOutput("EnumPorts failed\n\n");
    return;
  }
  if (returned >= 1 && !ports.empty() && ports.front().pPortName == product::kPortName) {
    platform.WriteStandardOutput("Port found\n\n");
  }
}

}  // namespace

void CreatePrinter(Platform& platform, InstallContext& context) {
  const win::PRINTER_INFO_2A printer = PrinterRecord(context);

  platform.WriteStandardOutput("Enumerating ports\n\n");
  ReportPortListing(platform);

  platform.WriteStandardOutput("Adding printer\n\n");
  ScopedPrinter handle(platform, platform.AddPrinterA(nullptr, 2, &printer));
  if (!handle.is_valid()) {
    // Whatever the spooler's reason: logged, not retried, not shown. The data
    // steps that follow then create the printer's key themselves.
    WriteSetupLog(platform, Format("AddPrinter: %lu", platform.GetLastError()));
    return;
  }
  platform.WriteStandardOutput("Closing printer\n\n");
  if (!handle.Close()) {
    platform.WriteStandardOutput(
        Format("ClosePrinter: %lu\n\n", platform.GetLastError()));
  }
}

}  // namespace orvane
