// Text at the binary interface. OLECHAR is a UTF-16 code unit on every
// platform but not the same C++ type: char16_t on Linux, wchar_t on Windows.
// The library's text conversions work in char16_t, and these functions are
// the only places where the two meet.
#pragma once

#include <string_view>

#include "zk_data/text/text_convert.h"
#include "zk_data/zk_data.h"

namespace zk {

static_assert(sizeof(OLECHAR) == sizeof(char16_t) && alignof(OLECHAR) == alignof(char16_t));

inline const char16_t* Utf16(const OLECHAR* text) noexcept { return reinterpret_cast<const char16_t*>(text); }

// Units before the first zero unit; 0 for null.
inline size_t OleLength(const OLECHAR* text) noexcept { return WideLength(Utf16(text)); }

// A new BSTR of the units of text, zero units included; null when memory
// runs out or the text does not fit a BSTR's 32-bit byte length.
inline BSTR AllocBstr(std::u16string_view text) noexcept {
    if (text.size() > UINT32_MAX / 2) return nullptr;
    return SysAllocStringLen(reinterpret_cast<const OLECHAR*>(text.data()), static_cast<UINT>(text.size()));
}

}  // namespace zk
