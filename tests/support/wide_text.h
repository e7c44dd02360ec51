// Text at the binary interface, in tests. Tests write their literals u"..."
// on every platform; OLECHAR is a UTF-16 code unit everywhere but not the
// same C++ type: char16_t on Linux, wchar_t on Windows. These functions are
// the tests' only crossing between the two.
#pragma once

#include <string>

#include "zk_data/zk_data.h"

namespace zk::test {

static_assert(sizeof(OLECHAR) == sizeof(char16_t));

inline const OLECHAR* Ole(const char16_t* text) { return reinterpret_cast<const OLECHAR*>(text); }

// For the name arrays of GetIDsOfNames, which are not const.
inline LPOLESTR OleName(const char16_t* name) { return const_cast<LPOLESTR>(Ole(name)); }

inline std::u16string U16(const OLECHAR* text, size_t length) {
    return std::u16string(reinterpret_cast<const char16_t*>(text), length);
}

// Up to the first zero unit; empty for null.
inline std::u16string U16(const OLECHAR* text) {
    return text ? std::u16string(reinterpret_cast<const char16_t*>(text)) : std::u16string();
}

}  // namespace zk::test
