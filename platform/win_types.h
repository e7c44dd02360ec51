// The Windows base types the library's binary interface is written in, with
// the platform's widths on every architecture.
#pragma once

#include <cstdint>

using DWORD = uint32_t;
using ULONG = uint32_t;
using LONG = int32_t;
using HRESULT = int32_t;
using BOOL = int32_t;

static_assert(sizeof(DWORD) == 4 && sizeof(LONG) == 4 && sizeof(HRESULT) == 4);
