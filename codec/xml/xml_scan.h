// Finding the first byte of interest in a run of bytes, sixteen at a time.
// The XML writer scans every string it writes (for bytes to escape, bytes XML
// cannot carry, bytes that need checking as UTF-8), and most strings are
// short: so the tail of a long string and a short string as a whole are
// scanned with loads that overlap bytes already seen (which held no hit)
// rather than one byte at a time. No load reaches outside [s, s + n).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace zk::xml_scan {

#if defined(__SSE2__)
using Bytes = __m128i;

// The lanes of v that hold byte c.
inline Bytes Equal(Bytes v, char c) { return _mm_cmpeq_epi8(v, _mm_set1_epi8(c)); }
// Lanes below 0x20 and lanes from 0x80 up: both compare less than 0x20 signed.
inline Bytes ControlOrHigh(Bytes v) { return _mm_cmplt_epi8(v, _mm_set1_epi8(0x20)); }
// Lanes below 0x20 only.
inline Bytes Control(Bytes v) { return _mm_cmpeq_epi8(_mm_min_epu8(v, _mm_set1_epi8(0x1F)), v); }
inline Bytes Or(Bytes a, Bytes b) { return _mm_or_si128(a, b); }

inline int Ctz(unsigned mask) { return __builtin_ctz(mask); }

// Offset of the first byte of s[0..n) whose lane hits(v) marks, or n. isHit
// is the same test for one byte, for runs of fewer than four bytes.
template <class Hits, class IsHit>
[[gnu::always_inline]] inline size_t FindFirst(const char* s, size_t n, Hits hits, IsHit isHit) {
    auto mask = [&](Bytes v) { return static_cast<unsigned>(_mm_movemask_epi8(hits(v))); };
    if (n >= 16) {
        size_t i = 0;
        for (; i + 16 <= n; i += 16)
            if (unsigned m = mask(_mm_loadu_si128(reinterpret_cast<const Bytes*>(s + i)))) return i + Ctz(m);
        if (i == n) return n;
        unsigned m = mask(_mm_loadu_si128(reinterpret_cast<const Bytes*>(s + n - 16)));
        return m ? n - 16 + Ctz(m) : n;
    }
    if (n >= 8) {
        Bytes v = _mm_unpacklo_epi64(_mm_loadl_epi64(reinterpret_cast<const Bytes*>(s)),
                                     _mm_loadl_epi64(reinterpret_cast<const Bytes*>(s + n - 8)));
        unsigned m = mask(v);
        if (m & 0xFF) return Ctz(m);
        return m ? n - 8 + Ctz(m >> 8) : n;
    }
    if (n >= 4) {
        int32_t head, tail;
        std::memcpy(&head, s, 4);
        std::memcpy(&tail, s + n - 4, 4);
        unsigned m = mask(_mm_set_epi32(0, 0, tail, head)) & 0xFF;
        if (m & 0xF) return Ctz(m);
        return m ? n - 4 + Ctz(m >> 4) : n;
    }
    for (size_t i = 0; i < n; ++i)
        if (isHit(static_cast<unsigned char>(s[i]))) return i;
    return n;
}
#else
// Without SSE2 only the byte test runs; the lane tests exist so that callers
// compile unchanged.
struct Bytes {};
inline Bytes Equal(Bytes, char) { return {}; }
inline Bytes ControlOrHigh(Bytes) { return {}; }
inline Bytes Control(Bytes) { return {}; }
inline Bytes Or(Bytes, Bytes) { return {}; }

template <class Hits, class IsHit>
inline size_t FindFirst(const char* s, size_t n, Hits, IsHit isHit) {
    for (size_t i = 0; i < n; ++i)
        if (isHit(static_cast<unsigned char>(s[i]))) return i;
    return n;
}
#endif

}  // namespace zk::xml_scan
