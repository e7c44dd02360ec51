// What an XML document can carry, judged as the reader's parser (expat)
// reads it back: the characters XML 1.0 allows in text and the names it
// allows for elements and attributes. The writer asks these before it
// promises that its bytes read back unchanged.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "codec/xml/xml_scan.h"
#include "zk_data/text/byte_string.h"

namespace zk {

// Length of the leading run of s[0..n) made of bytes 0x20..0x7F: the ASCII
// characters XML carries as they are (save the five it escapes).
inline size_t XmlAsciiRun(const char* s, size_t n) {
    using namespace xml_scan;
    return FindFirst(s, n, [](Bytes v) { return ControlOrHigh(v); }, [](unsigned char c) { return c - 0x20u >= 0x60u; });
}

// Length of the UTF-8 character at s[0..n), whose first byte is 0x80 or
// above, when it is well-formed and a character XML allows (U+FFFE and
// U+FFFF are not); 0 otherwise. The ranges of the second byte rule out
// overlong forms, encoded surrogates and values past U+10FFFF (the
// well-formed sequences of Unicode, table 3-7).
inline size_t XmlUtf8CharLength(const char* s, size_t n) {
    const unsigned char* u = reinterpret_cast<const unsigned char*>(s);
    unsigned lead = u[0], lo = 0x80, hi = 0xBF;
    size_t len;
    if (lead < 0xC2 || lead > 0xF4) return 0;
    if (lead < 0xE0) {
        len = 2;
    } else if (lead < 0xF0) {
        len = 3;
        if (lead == 0xE0) lo = 0xA0;
        if (lead == 0xED) hi = 0x9F;
    } else {
        len = 4;
        if (lead == 0xF0) lo = 0x90;
        if (lead == 0xF4) hi = 0x8F;
    }
    if (n < len || u[1] < lo || u[1] > hi) return 0;
    for (size_t i = 2; i < len; ++i)
        if (u[i] < 0x80 || u[i] > 0xBF) return 0;
    if (lead == 0xEF && u[1] == 0xBF && u[2] >= 0xBE) return 0;  // U+FFFE, U+FFFF
    return len;
}

// s is well-formed UTF-8 of characters XML allows; among the controls these
// are TAB, LF and CR only.
bool IsXmlText(std::string_view s);

namespace xml_detail {
// Per byte: bit 1 may be in a name, bit 2 may start an ASCII name, bit 4
// from 0x80 up (the parser judges those).
struct NameBytes {
    uint8_t of[256] = {};
    constexpr NameBytes() {
        for (int c = 'a'; c <= 'z'; ++c) of[c] = of[c - 'a' + 'A'] = 3;
        of[static_cast<uint8_t>('_')] = of[static_cast<uint8_t>(':')] = 3;
        for (int c = '0'; c <= '9'; ++c) of[c] = 1;
        of[static_cast<uint8_t>('-')] = of[static_cast<uint8_t>('.')] = 1;
        for (int c = 0x80; c < 0x100; ++c) of[c] = 5;
    }
};
inline constexpr NameBytes kNameBytes;

bool IsNonAsciiXmlName(std::string_view name, bool gbk);
}  // namespace xml_detail

// name reads back as the same element or attribute name. ASCII names follow
// the Name production; a name with bytes from 0x80 up must be well-formed
// UTF-8 that the parser itself accepts as a name (its tables are older than
// the latest edition of XML 1.0, so it is asked), and is never valid in a GBK
// document, where names are written unconverted and read back as UTF-8.
// Inline: every free-form element and attribute asks.
inline bool IsXmlName(std::string_view name, bool gbk) {
    if (name.empty()) return false;
    uint8_t all = 0xFF, any = 0;
    for (char c : name) {
        uint8_t bits = xml_detail::kNameBytes.of[static_cast<uint8_t>(c)];
        all &= bits;
        any |= bits;
    }
    if (!(all & 1)) return false;
    if (any & 4) return xml_detail::IsNonAsciiXmlName(name, gbk);
    return xml_detail::kNameBytes.of[static_cast<uint8_t>(name[0])] & 2;
}

// Converts utf8 to GBK when the reader of a GBK document turns the result
// back into exactly utf8: ill-formed UTF-8 and characters without a GBK form
// (which the conversion replaces by "?") make it false.
bool Utf8ToGbkExactly(std::string_view utf8, ByteString& gbk);

}  // namespace zk
