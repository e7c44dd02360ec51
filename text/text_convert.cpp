// UTF-16 <-> UTF-8. Both directions size the destination for the worst case
// (3 bytes per unit, 1 unit per byte), convert straight into it and shrink, so
// the result is the only allocation.
#include "zk_data/text/text_convert.h"

#include "text/utf_runs.h"

#include <cstdint>
#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace zk {
namespace {

using text_detail::IsHighSurrogate;
using text_detail::IsLowSurrogate;
using text_detail::kReplacement;

uint64_t Load64(const void* p) {
    uint64_t w;
    std::memcpy(&w, p, sizeof w);
    return w;
}

// Decodes the sequence whose lead byte (>= 0x80) is at s; returns the byte
// after it. The allowed range of the second byte is what rules out overlongs,
// encoded surrogates and values past U+10FFFF, so a byte out of range always
// ends a maximal subpart: it gets one U+FFFD and the byte is decoded afresh.
const unsigned char* DecodeSequence(const unsigned char* s, const unsigned char* end,
                                    char16_t*& out) {
    unsigned lead = *s++;
    unsigned lo = 0x80, hi = 0xBF, more;
    char32_t cp;
    if (lead < 0xC2 || lead > 0xF4) {
        *out++ = kReplacement;
        return s;
    }
    if (lead < 0xE0) {
        cp = lead & 0x1F;
        more = 1;
    } else if (lead < 0xF0) {
        cp = lead & 0x0F;
        more = 2;
        if (lead == 0xE0) lo = 0xA0;
        if (lead == 0xED) hi = 0x9F;
    } else {
        cp = lead & 0x07;
        more = 3;
        if (lead == 0xF0) lo = 0x90;
        if (lead == 0xF4) hi = 0x8F;
    }
    for (; more; --more, lo = 0x80, hi = 0xBF) {
        if (s == end || *s < lo || *s > hi) {
            *out++ = kReplacement;
            return s;
        }
        cp = cp << 6 | (*s++ & 0x3F);
    }
    if (cp < 0x10000) {
        *out++ = static_cast<char16_t>(cp);
    } else {
        cp -= 0x10000;
        *out++ = static_cast<char16_t>(0xD800 | cp >> 10);
        *out++ = static_cast<char16_t>(0xDC00 | (cp & 0x3FF));
    }
    return s;
}

// Encodes the non-ASCII character at *src; returns the new output end.
char* EncodeCharacter(const char16_t*& src, const char16_t* end, char* out) {
    char32_t c = *src++;
    if (c < 0x800) {
        *out++ = static_cast<char>(0xC0 | c >> 6);
        *out++ = static_cast<char>(0x80 | (c & 0x3F));
        return out;
    }
    if ((c & 0xF800) == 0xD800) {
        if (!IsHighSurrogate(static_cast<char16_t>(c)) || src == end || !IsLowSurrogate(*src)) {
            c = kReplacement;  // unpaired: fall through to the 3-byte form
        } else {
            c = 0x10000 + ((c - 0xD800) << 10) + (*src++ - 0xDC00);
            *out++ = static_cast<char>(0xF0 | c >> 18);
            *out++ = static_cast<char>(0x80 | (c >> 12 & 0x3F));
            *out++ = static_cast<char>(0x80 | (c >> 6 & 0x3F));
            *out++ = static_cast<char>(0x80 | (c & 0x3F));
            return out;
        }
    }
    *out++ = static_cast<char>(0xE0 | c >> 12);
    *out++ = static_cast<char>(0x80 | (c >> 6 & 0x3F));
    *out++ = static_cast<char>(0x80 | (c & 0x3F));
    return out;
}

}  // namespace

namespace text_detail {

// Markup and Latin text are mostly ASCII, so these two carry most of the
// bytes: 16 at a time with SSE2 (always there on x86-64), then 8 or 4 in a
// word, then one by one up to the first non-ASCII byte or unit.
size_t WidenAscii(const char* src, size_t n, char16_t* dst) {
    size_t i = 0;
#ifdef __SSE2__
    const __m128i zero = _mm_setzero_si128();
    for (; i + 16 <= n; i += 16) {
        __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i));
        if (_mm_movemask_epi8(v)) break;
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i), _mm_unpacklo_epi8(v, zero));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i + 8), _mm_unpackhi_epi8(v, zero));
    }
#endif
    for (; i + 8 <= n; i += 8) {
        uint64_t w = Load64(src + i);
        if (w & 0x8080808080808080u) break;
        for (int k = 0; k < 8; ++k) dst[i + k] = static_cast<char16_t>(w >> (8 * k) & 0xFF);
    }
    for (; i < n && static_cast<unsigned char>(src[i]) < 0x80; ++i) dst[i] = static_cast<char16_t>(src[i]);
    return i;
}

size_t NarrowAscii(const char16_t* src, size_t n, char* dst) {
    size_t i = 0;
#ifdef __SSE2__
    const __m128i high = _mm_set1_epi16(static_cast<short>(0xFF80));  // bits of units >= 0x80
    for (; i + 16 <= n; i += 16) {
        __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i));
        __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i + 8));
        __m128i any = _mm_and_si128(_mm_or_si128(a, b), high);
        if (_mm_movemask_epi8(_mm_cmpeq_epi16(any, _mm_setzero_si128())) != 0xFFFF) break;
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i), _mm_packus_epi16(a, b));
    }
#endif
    for (; i + 4 <= n; i += 4) {
        uint64_t w = Load64(src + i);
        if (w & 0xFF80FF80FF80FF80u) break;
        for (int k = 0; k < 4; ++k) dst[i + k] = static_cast<char>(w >> (16 * k));
    }
    for (; i < n && src[i] < 0x80; ++i) dst[i] = static_cast<char>(src[i]);
    return i;
}

size_t DecodeUtf8Run(const char** src, const char* end, char16_t* dst, size_t room) {
    const unsigned char* s = reinterpret_cast<const unsigned char*>(*src);
    const unsigned char* e = reinterpret_cast<const unsigned char*>(end);
    char16_t* out = dst;
    char16_t* limit = dst + room;
    // Only a sequence of four bytes yields two units, so a last byte needs one.
    while (s < e && *s >= 0x80 && limit - out >= (e - s >= 2 ? 2 : 1)) {
        // Well-formed three-byte sequences (most of CJK text) skip the
        // general decoder.
        if ((*s & 0xF0) == 0xE0 && e - s >= 3 && (s[1] & 0xC0) == 0x80 && (s[2] & 0xC0) == 0x80) {
            unsigned c = (*s & 0x0F) << 12 | (s[1] & 0x3F) << 6 | (s[2] & 0x3F);
            if (c >= 0x800 && (c & 0xF800) != 0xD800) {
                *out++ = static_cast<char16_t>(c);
                s += 3;
                continue;
            }
        }
        s = DecodeSequence(s, e, out);
    }
    *src = reinterpret_cast<const char*>(s);
    return static_cast<size_t>(out - dst);
}

}  // namespace text_detail

void WideToUtf8(const char16_t* src, size_t len, ByteString& dst) {
    if (!src || !len) {
        dst.clear();
        return;
    }
    char* start = dst.resizeForOverwrite(3 * len);
    char* out = start;
    const char16_t* end = src + len;
    while (src < end) {
        size_t ascii = text_detail::NarrowAscii(src, static_cast<size_t>(end - src), out);
        src += ascii;
        out += ascii;
        while (src < end && *src >= 0x80) out = EncodeCharacter(src, end, out);
    }
    dst.resize(static_cast<size_t>(out - start));
}

void Utf8ToWide(const char* src, size_t len, std::u16string& dst) {
    if (!src || !len) {
        dst.clear();
        return;
    }
    dst.resize(len);
    char16_t* start = dst.data();
    char16_t* out = start;
    const char* end = src + len;
    while (src < end) {
        // Units written never outnumber bytes read, so the room left always
        // covers what the rest of the source can produce.
        size_t room = len - static_cast<size_t>(out - start);
        size_t ascii = text_detail::WidenAscii(src, static_cast<size_t>(end - src), out);
        src += ascii;
        out += ascii;
        out += text_detail::DecodeUtf8Run(&src, end, out, room - ascii);
    }
    dst.resize(static_cast<size_t>(out - start));
}

}  // namespace zk
