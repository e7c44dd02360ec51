// Whole-word loads of string bytes, for code that tests or mixes short
// strings (map keys, JSON strings) without a library call or a byte loop.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace zk {

inline uint64_t Load64(const char* p) noexcept {
    uint64_t v;
    std::memcpy(&v, p, 8);
    return v;
}

inline uint64_t Load32(const char* p) noexcept {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

// The n <= 16 bytes at p as two words, each byte in at least one and the
// rest of each word zero; nothing outside the n bytes is read. Overlapping
// whole-word loads: bytes gathered one by one into a word on the stack and
// read back as a word stall the load.
inline void LoadShort(const char* p, size_t n, uint64_t& a, uint64_t& b) noexcept {
    if (n >= 8) {
        a = Load64(p);
        b = Load64(p + n - 8);
    } else if (n >= 4) {
        a = Load32(p);
        b = Load32(p + n - 4);
    } else if (n) {
        auto byte = [p](size_t i) { return uint64_t{static_cast<unsigned char>(p[i])}; };
        a = byte(0) << 16 | byte(n >> 1) << 8 | byte(n - 1);
        b = 0;
    } else {
        a = b = 0;
    }
}

}  // namespace zk
