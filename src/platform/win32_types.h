// Windows' types, records, constants and error codes as the installer uses them,
// declared without <windows.h> so that the same code builds on every host.
//
// Integer types have Windows' widths on every host: DWORD is 32 bits even where
// `unsigned long` is 64. Handles are distinct enum types so that a registry key
// cannot be passed where a file handle is expected; the Win32 backend converts
// them to and from the real handle values.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace orvane::win {

using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using LONG = std::int32_t;
using UINT = std::uint32_t;
using BOOL = std::int32_t;
using SIZE_T = std::size_t;
using REGSAM = DWORD;
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;
using DWORDLONG = std::uint64_t;

inline constexpr BOOL TRUE = 1;
inline constexpr BOOL FALSE = 0;

enum class HKEY : std::uintptr_t {};
enum class HANDLE : std::uintptr_t {};
enum class SC_HANDLE : std::uintptr_t {};
enum class HMODULE : std::uintptr_t {};
enum class HWND : std::uintptr_t {};

inline constexpr HKEY kNullKey{0};
inline constexpr HANDLE kNullHandle{0};
inline constexpr SC_HANDLE kNullServiceHandle{0};
inline constexpr HMODULE kNullModule{0};

// Predefined keys carry Windows' own values.
inline constexpr HKEY HKEY_CLASSES_ROOT{0x80000000u};
inline constexpr HKEY HKEY_CURRENT_USER{0x80000001u};
inline constexpr HKEY HKEY_LOCAL_MACHINE{0x80000002u};
inline constexpr HKEY HKEY_USERS{0x80000003u};

// (HANDLE)-1, whatever the pointer width.
inline constexpr HANDLE INVALID_HANDLE_VALUE{~std::uintptr_t{0}};
inline constexpr HWND HWND_BROADCAST{0xFFFF};

// Error codes.
inline constexpr DWORD ERROR_SUCCESS = 0;
inline constexpr DWORD ERROR_FILE_NOT_FOUND = 2;
inline constexpr DWORD ERROR_PATH_NOT_FOUND = 3;
inline constexpr DWORD ERROR_ACCESS_DENIED = 5;
inline constexpr DWORD ERROR_INVALID_HANDLE = 6;
inline constexpr DWORD ERROR_NOT_ENOUGH_MEMORY = 8;
inline constexpr DWORD ERROR_OUTOFMEMORY = 14;
inline constexpr DWORD ERROR_WRITE_FAULT = 29;
inline constexpr DWORD ERROR_READ_FAULT = 30;
inline constexpr DWORD ERROR_SHARING_VIOLATION = 32;
inline constexpr DWORD ERROR_HANDLE_EOF = 38;
inline constexpr DWORD ERROR_FILE_EXISTS = 80;
inline constexpr DWORD ERROR_INVALID_PARAMETER = 87;
inline constexpr DWORD ERROR_DISK_FULL = 112;
inline constexpr DWORD ERROR_INSUFFICIENT_BUFFER = 122;
inline constexpr DWORD ERROR_INVALID_NAME = 123;
inline constexpr DWORD ERROR_INVALID_LEVEL = 124;
inline constexpr DWORD ERROR_MOD_NOT_FOUND = 126;
inline constexpr DWORD ERROR_PROC_NOT_FOUND = 127;
inline constexpr DWORD ERROR_NEGATIVE_SEEK = 131;
inline constexpr DWORD ERROR_BAD_PATHNAME = 161;
inline constexpr DWORD ERROR_ALREADY_EXISTS = 183;
inline constexpr DWORD ERROR_MORE_DATA = 234;
inline constexpr DWORD ERROR_DIRECTORY = 267;
inline constexpr DWORD ERROR_NOACCESS = 998;
inline constexpr DWORD ERROR_KEY_DELETED = 1018;
inline constexpr DWORD ERROR_KEY_HAS_CHILDREN = 1020;
inline constexpr DWORD ERROR_INVALID_SERVICE_CONTROL = 1052;
inline constexpr DWORD ERROR_SERVICE_REQUEST_TIMEOUT = 1053;
inline constexpr DWORD ERROR_SERVICE_ALREADY_RUNNING = 1056;
inline constexpr DWORD ERROR_SERVICE_DISABLED = 1058;
inline constexpr DWORD ERROR_SERVICE_DOES_NOT_EXIST = 1060;
inline constexpr DWORD ERROR_SERVICE_CANNOT_ACCEPT_CTRL = 1061;
inline constexpr DWORD ERROR_SERVICE_NOT_ACTIVE = 1062;
inline constexpr DWORD ERROR_DATABASE_DOES_NOT_EXIST = 1065;
inline constexpr DWORD RPC_S_SERVER_UNAVAILABLE = 1722;
inline constexpr DWORD RPC_X_NULL_REF_POINTER = 1780;
inline constexpr DWORD ERROR_PRINTER_DRIVER_ALREADY_INSTALLED = 1795;
inline constexpr DWORD ERROR_UNKNOWN_PORT = 1796;
inline constexpr DWORD ERROR_UNKNOWN_PRINTER_DRIVER = 1797;
inline constexpr DWORD ERROR_UNKNOWN_PRINTPROCESSOR = 1798;
inline constexpr DWORD ERROR_INVALID_PRINTER_NAME = 1801;
inline constexpr DWORD ERROR_PRINTER_ALREADY_EXISTS = 1802;
inline constexpr DWORD ERROR_INVALID_DATATYPE = 1804;
inline constexpr DWORD ERROR_INVALID_ENVIRONMENT = 1805;
inline constexpr DWORD ERROR_UNKNOWN_PRINT_MONITOR = 3000;
inline constexpr DWORD ERROR_PRINTER_DRIVER_IN_USE = 3001;
inline constexpr DWORD ERROR_PRINT_MONITOR_ALREADY_INSTALLED = 3006;
inline constexpr DWORD ERROR_PRINT_MONITOR_IN_USE = 3008;

// Registry.
inline constexpr REGSAM KEY_QUERY_VALUE = 0x0001;
inline constexpr REGSAM KEY_SET_VALUE = 0x0002;
inline constexpr REGSAM KEY_CREATE_SUB_KEY = 0x0004;
inline constexpr REGSAM KEY_ENUMERATE_SUB_KEYS = 0x0008;
inline constexpr REGSAM KEY_NOTIFY = 0x0010;
inline constexpr REGSAM KEY_READ = 0x20019;
inline constexpr REGSAM KEY_WRITE = 0x20006;
inline constexpr REGSAM KEY_ALL_ACCESS = 0xF003F;
inline constexpr REGSAM DELETE = 0x00010000;

inline constexpr DWORD REG_NONE = 0;
inline constexpr DWORD REG_SZ = 1;
inline constexpr DWORD REG_EXPAND_SZ = 2;
inline constexpr DWORD REG_BINARY = 3;
inline constexpr DWORD REG_DWORD = 4;
inline constexpr DWORD REG_DWORD_BIG_ENDIAN = 5;
inline constexpr DWORD REG_LINK = 6;
inline constexpr DWORD REG_MULTI_SZ = 7;
inline constexpr DWORD REG_QWORD = 11;

// Files.
inline constexpr DWORD GENERIC_READ = 0x80000000u;
inline constexpr DWORD GENERIC_WRITE = 0x40000000u;
inline constexpr DWORD FILE_SHARE_READ = 0x1;
inline constexpr DWORD FILE_SHARE_WRITE = 0x2;
inline constexpr DWORD FILE_SHARE_DELETE = 0x4;
inline constexpr DWORD CREATE_NEW = 1;
inline constexpr DWORD CREATE_ALWAYS = 2;
inline constexpr DWORD OPEN_EXISTING = 3;
inline constexpr DWORD OPEN_ALWAYS = 4;
inline constexpr DWORD TRUNCATE_EXISTING = 5;
inline constexpr DWORD FILE_ATTRIBUTE_READONLY = 0x1;
inline constexpr DWORD FILE_ATTRIBUTE_HIDDEN = 0x2;
inline constexpr DWORD FILE_ATTRIBUTE_SYSTEM = 0x4;
inline constexpr DWORD FILE_ATTRIBUTE_DIRECTORY = 0x10;
inline constexpr DWORD FILE_ATTRIBUTE_ARCHIVE = 0x20;
inline constexpr DWORD FILE_ATTRIBUTE_NORMAL = 0x80;
inline constexpr DWORD INVALID_FILE_ATTRIBUTES = 0xFFFFFFFFu;
inline constexpr DWORD INVALID_FILE_SIZE = 0xFFFFFFFFu;
inline constexpr DWORD INVALID_SET_FILE_POINTER = 0xFFFFFFFFu;
inline constexpr DWORD FILE_BEGIN = 0;
inline constexpr DWORD FILE_CURRENT = 1;
inline constexpr DWORD FILE_END = 2;

// Processes.
inline constexpr DWORD CREATE_NEW_PROCESS_GROUP = 0x200;
inline constexpr DWORD STARTF_USESHOWWINDOW = 0x1;
inline constexpr WORD SW_HIDE = 0;
inline constexpr WORD SW_SHOWNORMAL = 1;

// Message boxes.
inline constexpr UINT MB_OK = 0x0;
inline constexpr UINT MB_YESNO = 0x4;
inline constexpr int IDOK = 1;
inline constexpr int IDYES = 6;
inline constexpr int IDNO = 7;

// Window messages and shell notifications.
inline constexpr UINT WM_SETTINGCHANGE = 0x1A;
inline constexpr LONG SHCNE_CREATE = 0x2;
inline constexpr LONG SHCNE_MKDIR = 0x8;
inline constexpr LONG SHCNE_RMDIR = 0x10;
inline constexpr UINT SHCNF_IDLIST = 0x0;

// Services.
inline constexpr DWORD SC_MANAGER_CONNECT = 0x0001;
inline constexpr DWORD SC_MANAGER_ALL_ACCESS = 0xF003F;
inline constexpr DWORD SERVICE_QUERY_STATUS = 0x0004;
inline constexpr DWORD SERVICE_START = 0x0010;
inline constexpr DWORD SERVICE_STOP = 0x0020;
inline constexpr DWORD SERVICE_ALL_ACCESS = 0xF01FF;
inline constexpr DWORD SERVICE_CONTROL_STOP = 1;
inline constexpr DWORD SERVICE_STOPPED = 1;
inline constexpr DWORD SERVICE_START_PENDING = 2;
inline constexpr DWORD SERVICE_STOP_PENDING = 3;
inline constexpr DWORD SERVICE_RUNNING = 4;

// Spooler.
inline constexpr DWORD PRINTER_ACCESS_ADMINISTER = 0x4;
inline constexpr DWORD PRINTER_ACCESS_USE = 0x8;
inline constexpr DWORD PRINTER_ALL_ACCESS = 0xF000C;
inline constexpr DWORD PRINTER_ATTRIBUTE_LOCAL = 0x40;
inline constexpr DWORD PRINTER_ENUM_LOCAL = 0x2;
inline constexpr DWORD PRINTER_ENUM_NAME = 0x8;
inline constexpr DWORD PORT_TYPE_WRITE = 0x1;

// Version information.
inline constexpr DWORD VER_PLATFORM_WIN32s = 0;
inline constexpr DWORD VER_PLATFORM_WIN32_WINDOWS = 1;
inline constexpr DWORD VER_PLATFORM_WIN32_NT = 2;

// Records. Field names are Windows' own; string fields point to text that the
// caller keeps alive for the duration of the call.

struct SYSTEMTIME {
  WORD wYear = 0;
  WORD wMonth = 0;
  WORD wDayOfWeek = 0;
  WORD wDay = 0;
  WORD wHour = 0;
  WORD wMinute = 0;
  WORD wSecond = 0;
  WORD wMilliseconds = 0;
};

struct FILETIME {
  DWORD dwLowDateTime = 0;
  DWORD dwHighDateTime = 0;
};

// OSVERSIONINFOA is the first 148 bytes of this record; dwOSVersionInfoSize says
// which of the two the caller means (148 or 156).
struct OSVERSIONINFOEXA {
  DWORD dwOSVersionInfoSize = 0;
  DWORD dwMajorVersion = 0;
  DWORD dwMinorVersion = 0;
  DWORD dwBuildNumber = 0;
  DWORD dwPlatformId = 0;
  char szCSDVersion[128] = {};
  WORD wServicePackMajor = 0;
  WORD wServicePackMinor = 0;
  WORD wSuiteMask = 0;
  BYTE wProductType = 0;
  BYTE wReserved = 0;
};
inline constexpr DWORD kOsVersionInfoSize = 148;
inline constexpr DWORD kOsVersionInfoExSize = 156;

struct SECURITY_ATTRIBUTES;  // never passed by the installer: always null

// The 32-bit layout is 68 bytes; cb carries that size on every host.
struct STARTUPINFOA {
  DWORD cb = 0;
  const char* lpReserved = nullptr;
  const char* lpDesktop = nullptr;
  const char* lpTitle = nullptr;
  DWORD dwX = 0;
  DWORD dwY = 0;
  DWORD dwXSize = 0;
  DWORD dwYSize = 0;
  DWORD dwXCountChars = 0;
  DWORD dwYCountChars = 0;
  DWORD dwFillAttribute = 0;
  DWORD dwFlags = 0;
  WORD wShowWindow = 0;
  WORD cbReserved2 = 0;
  BYTE* lpReserved2 = nullptr;
  HANDLE hStdInput = kNullHandle;
  HANDLE hStdOutput = kNullHandle;
  HANDLE hStdError = kNullHandle;
};
inline constexpr DWORD kStartupInfoSize = 68;

struct PROCESS_INFORMATION {
  HANDLE hProcess = kNullHandle;
  HANDLE hThread = kNullHandle;
  DWORD dwProcessId = 0;
  DWORD dwThreadId = 0;
};

struct SERVICE_STATUS {
  DWORD dwServiceType = 0;
  DWORD dwCurrentState = 0;
  DWORD dwControlsAccepted = 0;
  DWORD dwWin32ExitCode = 0;
  DWORD dwServiceSpecificExitCode = 0;
  DWORD dwCheckPoint = 0;
  DWORD dwWaitHint = 0;
};

struct WIN32_FILE_ATTRIBUTE_DATA {
  DWORD dwFileAttributes = 0;
  FILETIME ftCreationTime;
  FILETIME ftLastAccessTime;
  FILETIME ftLastWriteTime;
  DWORD nFileSizeHigh = 0;
  DWORD nFileSizeLow = 0;
};

struct MONITOR_INFO_2A {
  const char* pName = nullptr;
  const char* pEnvironment = nullptr;
  const char* pDLLName = nullptr;
};

// A dependent-file list is a run of NUL-terminated names closed by an empty name.
struct DRIVER_INFO_3A {
  DWORD cVersion = 0;
  const char* pName = nullptr;
  const char* pEnvironment = nullptr;
  const char* pDriverPath = nullptr;
  const char* pDataFile = nullptr;
  const char* pConfigFile = nullptr;
  const char* pHelpFile = nullptr;
  const char* pDependentFiles = nullptr;
  const char* pMonitorName = nullptr;
  const char* pDefaultDataType = nullptr;
};

// Begins with the fields of DRIVER_INFO_3A, as in Windows.
struct DRIVER_INFO_6A {
  DWORD cVersion = 0;
  const char* pName = nullptr;
  const char* pEnvironment = nullptr;
  const char* pDriverPath = nullptr;
  const char* pDataFile = nullptr;
  const char* pConfigFile = nullptr;
  const char* pHelpFile = nullptr;
  const char* pDependentFiles = nullptr;
  const char* pMonitorName = nullptr;
  const char* pDefaultDataType = nullptr;
  const char* pszzPreviousNames = nullptr;
  FILETIME ftDriverDate;
  DWORDLONG dwlDriverVersion = 0;
  const char* pszMfgName = nullptr;
  const char* pszOEMUrl = nullptr;
  const char* pszHardwareID = nullptr;
  const char* pszProvider = nullptr;
};

struct DEVMODEA;  // never passed by the installer: always null

struct PRINTER_INFO_2A {
  const char* pServerName = nullptr;
  const char* pPrinterName = nullptr;
  const char* pShareName = nullptr;
  const char* pPortName = nullptr;
  const char* pDriverName = nullptr;
  const char* pComment = nullptr;
  const char* pLocation = nullptr;
  DEVMODEA* pDevMode = nullptr;
  const char* pSepFile = nullptr;
  const char* pPrintProcessor = nullptr;
  const char* pDatatype = nullptr;
  const char* pParameters = nullptr;
  void* pSecurityDescriptor = nullptr;
  DWORD Attributes = 0;
  DWORD Priority = 0;
  DWORD DefaultPriority = 0;
  DWORD StartTime = 0;
  DWORD UntilTime = 0;
  DWORD Status = 0;
  DWORD cJobs = 0;
  DWORD AveragePPM = 0;
};

struct PRINTER_DEFAULTSA {
  const char* pDatatype = nullptr;
  DEVMODEA* pDevMode = nullptr;
  DWORD DesiredAccess = 0;
};

// Listings come back as owned entries. The backend still computes the bytes that
// Windows would need for the packed 32-bit records and their strings, and fails
// with ERROR_INSUFFICIENT_BUFFER when they exceed the buffer size the caller gave.
struct MonitorInfo1 {
  std::string pName;
};
inline constexpr DWORD kMonitorInfo1Size = 4;

struct PortInfo2 {
  std::string pPortName;
  std::string pMonitorName;
  std::string pDescription;
  DWORD fPortType = 0;
  DWORD Reserved = 0;
};
inline constexpr DWORD kPortInfo2Size = 20;

// PRINTER_INFO_2A without its DEVMODE and security descriptor, whose bytes the
// backend still counts.
struct PrinterInfo2 {
  std::string pServerName;
  std::string pPrinterName;
  std::string pShareName;
  std::string pPortName;
  std::string pDriverName;
  std::string pComment;
  std::string pLocation;
  std::string pSepFile;
  std::string pPrintProcessor;
  std::string pDatatype;
  std::string pParameters;
  DWORD Attributes = 0;
  DWORD Priority = 0;
  DWORD DefaultPriority = 0;
  DWORD StartTime = 0;
  DWORD UntilTime = 0;
  DWORD Status = 0;
  DWORD cJobs = 0;
  DWORD AveragePPM = 0;
};
inline constexpr DWORD kPrinterInfo2Size = 84;

// DRIVER_INFO_3A as the spooler lists an installed driver: its files as full
// paths where the spooler keeps them.
struct DriverInfo3 {
  DWORD cVersion = 0;
  std::string pName;
  std::string pEnvironment;
  std::string pDriverPath;
  std::string pDataFile;
  std::string pConfigFile;
  std::string pHelpFile;
  std::vector<std::string> pDependentFiles;
  std::string pMonitorName;
  std::string pDefaultDataType;
};
inline constexpr DWORD kDriverInfo3Size = 40;

}  // namespace orvane::win
