// Hexadecimal text: the one digit table of the library, shared by the binary
// format's hexadecimal strings and the debug dump.
//
// Text produced here is lower case ("0a1b"): it is the common spelling and it
// keeps the dump and the binary reader alike. Decoding takes either case.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "zk_data/codec/output_stream.h"

namespace zk {

inline constexpr char kHexDigits[16] = {'0', '1', '2', '3', '4', '5', '6', '7',
                                        '8', '9', 'a', 'b', 'c', 'd', 'e', 'f'};

namespace hexdetail {
// Nibble value of every byte, 0xFF for a byte that is not a digit: one load
// per digit, no branches on the character classes.
struct NibbleTable {
    uint8_t value[256];
    constexpr NibbleTable() : value() {
        for (int c = 0; c < 256; ++c) value[c] = 0xFF;
        for (int d = 0; d < 10; ++d) value['0' + d] = static_cast<uint8_t>(d);
        for (int d = 0; d < 6; ++d) {
            value['a' + d] = static_cast<uint8_t>(10 + d);
            value['A' + d] = static_cast<uint8_t>(10 + d);
        }
    }
};
inline constexpr NibbleTable kNibbles;
}  // namespace hexdetail

// The value of one digit, either case; -1 for any other byte.
inline int HexValue(unsigned char c) noexcept {
    uint8_t v = hexdetail::kNibbles.value[c];
    return v == 0xFF ? -1 : v;
}

// True when text is whole digit pairs (the empty text included).
inline bool IsHexText(std::string_view text) noexcept {
    if (text.size() & 1) return false;
    uint8_t any = 0;
    for (unsigned char c : text) any |= hexdetail::kNibbles.value[c];
    return (any & 0xF0) == 0;  // every valid nibble is below 16
}

// Decodes the n bytes that 2n digits of checked text denote (see IsHexText).
inline void DecodeHex(const char* text, size_t n, char* dst) noexcept {
    const uint8_t* v = hexdetail::kNibbles.value;
    for (size_t i = 0; i < n; ++i) {
        uint8_t hi = v[static_cast<unsigned char>(text[2 * i])];
        uint8_t lo = v[static_cast<unsigned char>(text[2 * i + 1])];
        dst[i] = static_cast<char>((hi << 4) | lo);
    }
}

// Writes the 2n digits of n bytes to dst, high nibble first; returns the end.
inline char* EncodeHex(const void* bytes, size_t n, char* dst) noexcept {
    const unsigned char* p = static_cast<const unsigned char*>(bytes);
    for (size_t i = 0; i < n; ++i) {
        *dst++ = kHexDigits[p[i] >> 4];
        *dst++ = kHexDigits[p[i] & 15];
    }
    return dst;
}

// Appends the 2n digits of n bytes to out, through a stack buffer so that
// long strings cost a handful of appends rather than one per digit.
inline void AppendHex(OutputStream& out, const void* bytes, size_t n) {
    const char* p = static_cast<const char*>(bytes);
    char buf[512];
    while (n) {
        size_t chunk = n < sizeof buf / 2 ? n : sizeof buf / 2;
        out.write(buf, static_cast<size_t>(EncodeHex(p, chunk, buf) - buf));
        p += chunk;
        n -= chunk;
    }
}

}  // namespace zk
