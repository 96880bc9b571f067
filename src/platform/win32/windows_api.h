// The one place that includes <windows.h>. It must come after every header of
// ours: Windows defines as macros many names that win32_types.h declares as
// constants (TRUE, ERROR_SUCCESS, DELETE ...), so backend code uses Windows'
// own macros and never the orvane::win constants.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef _WIN32_WINNT
#define _WIN32_WINNT 0x0400
#endif

#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shlwapi.h>
#include <winspool.h>
