// The GBK conversions, written once over the platform's converter. ASCII maps
// 1:1 in GBK, so runs of it are copied here and only the other runs reach the
// converter, which supplies:
//   char* unitsToGbk(const char16_t* src, const char16_t* end, char* out)
//       converts [src, end), no unit of it ASCII, at out (2 bytes a unit
//       suffice) and returns the new end;
//   const char* gbkToUnits(const char* src, const char* end, char16_t** out)
//       converts GBK from src, a byte from 0x80 up, at *out (1 unit a byte
//       suffices) up to where ASCII text may resume, and returns where it
//       stopped, past src.
// gbk_iconv.cpp (the C library's iconv) and gbk_windows.cpp (code page 936
// of the platform) are the two converters.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "text/utf_runs.h"
#include "zk_data/text/byte_string.h"

namespace zk::text_detail {

// Copies the leading ASCII bytes of src[0..n), the same in UTF-8 and GBK, to
// dst; returns how many.
inline size_t CopyAscii(const char* src, size_t n, char* dst) {
    size_t i = 0;
    for (uint64_t block; i + 8 <= n; i += 8) {
        std::memcpy(&block, src + i, 8);
        if (block & 0x8080808080808080u) break;
        std::memcpy(dst + i, &block, 8);
    }
    for (; i < n && static_cast<unsigned char>(src[i]) < 0x80; ++i) dst[i] = src[i];
    return i;
}

template <class Converter>
void WideToGbkWith(Converter& converter, const char16_t* src, size_t len, ByteString& dst) {
    if (!src || !len) {
        dst.clear();
        return;
    }
    char* start = dst.resizeForOverwrite(2 * len);
    char* out = start;
    const char16_t* end = src + len;
    while (src < end) {
        size_t ascii = NarrowAscii(src, static_cast<size_t>(end - src), out);
        src += ascii;
        out += ascii;
        const char16_t* run = src;
        while (src < end && *src >= 0x80) ++src;
        if (run != src) out = converter.unitsToGbk(run, src, out);
    }
    dst.resize(static_cast<size_t>(out - start));
}

template <class Converter>
void GbkToWideWith(Converter& converter, const char* src, size_t len, std::u16string& dst) {
    if (!src || !len) {
        dst.clear();
        return;
    }
    dst.resize(len);
    char16_t* start = dst.data();
    char16_t* out = start;
    const char* end = src + len;
    while (src < end) {
        size_t ascii = WidenAscii(src, static_cast<size_t>(end - src), out);
        src += ascii;
        out += ascii;
        if (src < end) src = converter.gbkToUnits(src, end, &out);
    }
    dst.resize(static_cast<size_t>(out - start));
}

// No character takes more GBK bytes than UTF-8 bytes ("?" stands for 1 to 4),
// so the source length bounds the result. Non-ASCII text passes through a
// stack buffer of units on its way to the converter.
template <class Converter>
void Utf8ToGbkWith(Converter& converter, const char* src, size_t len, ByteString& dst) {
    if (!src || !len) {
        dst.clear();
        return;
    }
    char* start = dst.resizeForOverwrite(len);
    char* out = start;
    const char* end = src + len;
    char16_t units[512];
    while (src < end) {
        size_t ascii = CopyAscii(src, static_cast<size_t>(end - src), out);
        src += ascii;
        out += ascii;
        size_t n = DecodeUtf8Run(&src, end, units, sizeof units / sizeof units[0]);
        if (n) out = converter.unitsToGbk(units, units + n, out);
    }
    dst.resize(static_cast<size_t>(out - start));
}

}  // namespace zk::text_detail
