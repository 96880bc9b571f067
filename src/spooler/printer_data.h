// The printer's configuration data, written as registry blobs from the
// product's data files: under ...\Printers\ORVANE\PrinterDriverData the font
// substitution table (before Windows 2000 only) and "PrinterData", and under
// ...\Printers\ORVANE its "Default DevMode". The file variants follow the
// family and QueryIsXPor2000, asked afresh at each choice. Each step returns
// whether the installation goes on; nothing is undone when it does not.
//
// Every file is read whole into one heap block of its length and stored in
// one write. The value holds what the read returned: a file that shrinks
// between its length being taken and its being read gives its shorter
// content (and that count as "TTFontSubTableSize"), never the unread rest of
// the block.
#pragma once

#include "install/install_context.h"

namespace orvane {

// Prints "Configuring printer". True at once, without opening a data file,
// when the "PrinterDriverData" key can be neither opened nor created.
// False after logging "Failed to open ovfonts.tbl\r\n", "Failed to allocate
// memory\r\n", "Failed to read file\r\n", "Failed to open ovprndata.dat\r\n"
// (or ovprndata5.dat) or "Failed to open allocate memory.dat\r\n"; the values
// stored before the failure stay.
bool WritePrinterDriverData(Platform& platform, InstallContext& context);

// True at once when the printer's key can be neither opened nor created.
// False, logging nothing, when the family's file from install_root +
// "orvane\res\drivedir\" cannot be opened, held or read.
bool WriteDefaultDevMode(Platform& platform, InstallContext& context);

}  // namespace orvane
