// Conversions between GBK (Windows code page 936, through the C library's
// iconv) and UTF-16 or UTF-8, with the contract of text_convert.h: counted
// sources, destinations overwritten, and no status, because ill-formed input
// is never an error:
//   - an unpaired UTF-16 surrogate becomes "?";
//   - a character without a GBK form becomes the single byte "?";
//   - a byte that does not start a valid GBK sequence becomes U+FFFD.
#pragma once

#include <cstddef>
#include <string>

#include "zk_data/text/byte_string.h"

namespace zk {

// Same result as Utf8ToWide followed by WideToGbk, so ill-formed UTF-8 (which
// becomes U+FFFD, absent from GBK) ends up as "?".
void Utf8ToGbk(const char* src, size_t len, ByteString& dst);
void WideToGbk(const char16_t* src, size_t len, ByteString& dst);
void GbkToWide(const char* src, size_t len, std::u16string& dst);

// Converts one two-byte GBK sequence; returns its first UTF-16 unit, or -1
// when the pair is not valid GBK.
int GbkPairToUnit(unsigned char lead, unsigned char trail);

}  // namespace zk
