// The Windows base types the library's binary interface is written in, with
// the platform's widths on every architecture (LONG and ULONG stay 32-bit on
// LP64 systems, where C's long does not). On Windows they are the platform's
// own, from <windows.h>.
#pragma once

#ifdef _WIN32
#include <windows.h>
#else

#include <cstdint>

using BYTE = uint8_t;
using CHAR = char;
using WORD = uint16_t;
using USHORT = uint16_t;
using SHORT = int16_t;
using DWORD = uint32_t;
using ULONG = uint32_t;
using LONG = int32_t;
using INT = int32_t;
using UINT = uint32_t;
using LONGLONG = int64_t;
using ULONGLONG = uint64_t;
using FLOAT = float;
using DOUBLE = double;
using HRESULT = int32_t;
using SCODE = int32_t;
using BOOL = int32_t;
using LCID = uint32_t;
using PVOID = void*;

static_assert(sizeof(DWORD) == 4 && sizeof(LONG) == 4 && sizeof(HRESULT) == 4);
static_assert(sizeof(WORD) == 2 && sizeof(LONGLONG) == 8);

// Macros, as on the platform, so that a header that also defines them agrees.
#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

// The calling conventions of interface methods and of the module's exports:
// __stdcall on 32-bit Windows, the one convention everywhere else.
#define STDMETHODCALLTYPE
#define STDAPICALLTYPE

#endif  // _WIN32
