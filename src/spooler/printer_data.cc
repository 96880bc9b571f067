#include "spooler/printer_data.h"

#include <span>
#include <string>

#include "app/setup_log.h"
#include "install/context.h"
#include "install/product.h"
#include "platform/file.h"
#include "platform/heap_block.h"
#include "platform/scoped_key.h"

namespace orvane {
namespace {

constexpr char kDataFolder[] = "\\res\\drivedir\\";  // below setup_dir
constexpr char kFontTable[] = "ovfonts.tbl";
constexpr char kPrinterData[] = "ovprndata.dat";
constexpr char kPrinterData5[] = "ovprndata5.dat";
// Below install_root, by family.
constexpr char kDevModeWin9x[] = "orvane\\res\\drivedir\\ovdevmd.dat";
constexpr char kDevModeNt4[] = "orvane\\res\\drivedir\\ovdevmdnt.dat";
constexpr char kDevModeNt5[] = "orvane\\res\\drivedir\\ovdevmdnt5.dat";

// Read-only, share-deny-none, untranslated (0x8040).
constexpr win::UINT kReadFlags = File::modeRead | File::shareDenyNone | File::typeBinary;

// The log texts for the ways a data file can fail to load; null logs nothing.
// The texts carry their own "\r\n" and go to the log unchanged.
struct FailureTexts {
  const char* not_opened;
  const char* no_memory;
  const char* not_read;
};

constexpr char kReadFailed[] = "Failed to read file\r\n";

void LogIf(Platform& platform, const char* text) {
  if (text != nullptr) WriteSetupLog(platform, text);
}

// Reads the whole file at `path` and hands its bytes to `store`; false (after
// logging the matching text) when the file does not open, no block of its
// length can be had, or reading it raises a file error.
//
// What is stored is what the read returned, not the length taken before it:
// a file that shrinks between the two gives its shorter content (and that
// count), never the unread, undefined tail of the block. A file that grows
// in between gives the length taken when it was opened.
template <typename Store>
bool LoadDataFile(Platform& platform, const std::string& path,
                  const FailureTexts& texts, Store store) {
  File file(platform);
  if (!file.Open(path.c_str(), kReadFlags)) {
    LogIf(platform, texts.not_opened);
    return false;
  }
  win::DWORD length = 0;
  try {
    length = file.GetLength();
  } catch (const FileException&) {
    // Measuring is reading too: the same end as a read error, not a crash.
    LogIf(platform, texts.not_read);
    return false;
  }
  HeapBlock block(platform, length);
  if (block.data() == nullptr) {
    LogIf(platform, texts.no_memory);
    return false;
  }
  win::UINT read = 0;
  try {
    read = file.Read(std::span<win::BYTE>(block.data(), length));
  } catch (const FileException&) {
    LogIf(platform, texts.not_read);
    return false;
  }
  // Everything wanted is in memory: a failure to close a file that was only
  // read loses nothing, so it does not end the installation.
  file.Abort();
  store(std::span<const win::BYTE>(block.data(), read));
  return true;
}

// Opens `subKey` of HKEY_LOCAL_MACHINE for writing, creating it when it does
// not open; an invalid key when neither works.
ScopedKey OpenOrCreateKey(Platform& platform, const std::string& subKey) {
  ScopedKey key(platform);
  if (platform.RegOpenKeyExA(win::HKEY_LOCAL_MACHINE, subKey.c_str(), 0,
                             win::KEY_ALL_ACCESS, key.Receive()) != win::ERROR_SUCCESS &&
      platform.RegCreateKeyA(win::HKEY_LOCAL_MACHINE, subKey.c_str(), key.Receive()) !=
          win::ERROR_SUCCESS) {
    key.Close();
  }
  return key;
}

std::string PrinterKey() {
  return std::string(product::kPrintersKey) + "\\" + product::kPrinterName;
}

}  // namespace

bool WritePrinterDriverData(Platform& platform, InstallContext& context) {
  platform.WriteStandardOutput("Configuring printer\n\n");
  ScopedKey key = OpenOrCreateKey(platform, PrinterKey() + "\\PrinterDriverData");
  if (!key.is_valid()) return true;  // driver data skipped; the installation goes on
  const std::string folder = context.setup_dir + kDataFolder;

  // The font substitution table is read on every system (a missing table ends
  // the installation even where it is not stored) but stored only before
  // Windows 2000: the size first, then the table.
  const FailureTexts fontTexts = {"Failed to open ovfonts.tbl\r\n",
                                  "Failed to allocate memory\r\n", kReadFailed};
  if (!LoadDataFile(platform, folder + kFontTable, fontTexts,
                    [&](std::span<const win::BYTE> table) {
                      if (QueryIsXPor2000(platform)) return;
                      const win::DWORD size = static_cast<win::DWORD>(table.size());
                      const win::BYTE sizeBytes[4] = {
                          static_cast<win::BYTE>(size), static_cast<win::BYTE>(size >> 8),
                          static_cast<win::BYTE>(size >> 16),
                          static_cast<win::BYTE>(size >> 24)};
                      platform.RegSetValueExA(key.get(), "TTFontSubTableSize", 0,
                                              win::REG_DWORD, sizeBytes);
                      platform.RegSetValueExA(key.get(), "TTFontSubTable", 0,
                                              win::REG_BINARY, table);
                    })) {
    return false;
  }

  // Asked again: the answer is read afresh from the settings file.
  const char* dataFile = QueryIsXPor2000(platform) ? kPrinterData5 : kPrinterData;
  const std::string notOpened = std::string("Failed to open ") + dataFile + "\r\n";
  const FailureTexts dataTexts = {notOpened.c_str(),
                                  "Failed to open allocate memory.dat\r\n", kReadFailed};
  if (!LoadDataFile(platform, folder + dataFile, dataTexts,
                    [&](std::span<const win::BYTE> data) {
                      platform.RegSetValueExA(key.get(), "PrinterData", 0,
                                              win::REG_BINARY, data);
                    })) {
    return false;
  }
  return true;
}

bool WriteDefaultDevMode(Platform& platform, InstallContext& context) {
  const char* file = context.IsWin9xPath()       ? kDevModeWin9x
                     : QueryIsXPor2000(platform) ? kDevModeNt5
                                                 : kDevModeNt4;
  const std::string path = context.install_root + file;
  ScopedKey key = OpenOrCreateKey(platform, PrinterKey());
  if (!key.is_valid()) return true;  // default settings skipped
  // Every failure here ends the installation without a word.
  return LoadDataFile(platform, path, FailureTexts{nullptr, nullptr, nullptr},
                      [&](std::span<const win::BYTE> devMode) {
                        platform.RegSetValueExA(key.get(), "Default DevMode", 0,
                                                win::REG_BINARY, devMode);
                      });
}

}  // namespace orvane
