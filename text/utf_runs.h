// Building blocks shared by the UTF-8 and the GBK converters.
#pragma once

#include <cstddef>

namespace zk::text_detail {

// What ill-formed input becomes in UTF-16.
constexpr char16_t kReplacement = 0xFFFD;

inline bool IsHighSurrogate(char16_t c) { return (c & 0xFC00) == 0xD800; }
inline bool IsLowSurrogate(char16_t c) { return (c & 0xFC00) == 0xDC00; }

// Copies the leading ASCII bytes of src[0..n) as units to dst; returns how many.
size_t WidenAscii(const char* src, size_t n, char16_t* dst);
// Copies the leading ASCII units of src[0..n) as bytes to dst; returns how many.
size_t NarrowAscii(const char16_t* src, size_t n, char* dst);
// Decodes UTF-8 from *src up to the next ASCII byte, end, or until fewer than
// two units of room are left, whichever comes first. Advances *src; returns
// the number of units written (never more than the bytes consumed).
size_t DecodeUtf8Run(const char** src, const char* end, char16_t* dst, size_t room);

}  // namespace zk::text_detail
