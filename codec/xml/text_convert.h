// Text conversions between UTF-16 (char16_t), UTF-8 and GBK (Windows code
// page 936, through the C library's iconv).
//
// Every source is counted: a length is always given and zero units inside it
// are converted like any other. A null source or a length of zero empties the
// destination. The destination is overwritten with exactly the converted
// units; nothing reports a status, because ill-formed input is never an error:
//   - ill-formed UTF-8 becomes U+FFFD, one per maximal subpart (the Unicode
//     recommended practice, also what Windows' MultiByteToWideChar does);
//   - an unpaired UTF-16 surrogate becomes U+FFFD in UTF-8 and "?" in GBK;
//   - a character without a GBK form becomes the single byte "?";
//   - a byte that does not start a valid GBK sequence becomes U+FFFD.
#pragma once

#include <cstddef>
#include <string>

#include "value/byte_string.h"

namespace zk {

// Units of a zero-terminated UTF-16 string before its zero; 0 for null.
inline size_t WideLength(const char16_t* s) noexcept {
    size_t n = 0;
    if (s)
        while (s[n]) ++n;
    return n;
}

void WideToUtf8(const char16_t* src, size_t len, ByteString& dst);
void Utf8ToWide(const char* src, size_t len, std::u16string& dst);

// Same result as Utf8ToWide followed by WideToGbk, so ill-formed UTF-8 (which
// becomes U+FFFD, absent from GBK) ends up as "?".
void Utf8ToGbk(const char* src, size_t len, ByteString& dst);
void WideToGbk(const char16_t* src, size_t len, ByteString& dst);
void GbkToWide(const char* src, size_t len, std::u16string& dst);

// Converts one two-byte GBK sequence; returns its first UTF-16 unit, or -1
// when the pair is not valid GBK.
int GbkPairToUnit(unsigned char lead, unsigned char trail);

// Building blocks shared by the UTF-8 and the GBK converters.
namespace text_detail {

// Copies the leading ASCII bytes of src[0..n) as units to dst; returns how many.
size_t WidenAscii(const char* src, size_t n, char16_t* dst);
// Copies the leading ASCII units of src[0..n) as bytes to dst; returns how many.
size_t NarrowAscii(const char16_t* src, size_t n, char* dst);
// Decodes UTF-8 from *src up to the next ASCII byte, end, or until fewer than
// two units of room are left, whichever comes first. Advances *src; returns
// the number of units written (never more than the bytes consumed).
size_t DecodeUtf8Run(const char** src, const char* end, char16_t* dst, size_t room);

}  // namespace text_detail
}  // namespace zk
