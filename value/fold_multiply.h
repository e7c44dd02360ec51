// The mixing step of the wyhash family: a 64x64->128-bit multiply folded to
// 64 bits by xoring its halves. 32-bit targets have no 128-bit integer, so
// they build the product from 32-bit halves; both forms give the same bits.
#pragma once

#include <cstdint>

namespace zk {

constexpr uint64_t FoldMultiplyByHalves(uint64_t a, uint64_t b) noexcept {
    const uint64_t aLo = a & 0xFFFFFFFF, aHi = a >> 32, bLo = b & 0xFFFFFFFF, bHi = b >> 32;
    const uint64_t lolo = aLo * bLo, lohi = aLo * bHi, hilo = aHi * bLo, hihi = aHi * bHi;
    const uint64_t middle = (lolo >> 32) + (lohi & 0xFFFFFFFF) + (hilo & 0xFFFFFFFF);
    const uint64_t low = (middle << 32) | (lolo & 0xFFFFFFFF);
    const uint64_t high = hihi + (lohi >> 32) + (hilo >> 32) + (middle >> 32);
    return low ^ high;
}

constexpr uint64_t FoldMultiply(uint64_t a, uint64_t b) noexcept {
#ifdef __SIZEOF_INT128__
    const __uint128_t r = static_cast<__uint128_t>(a) * b;
    return static_cast<uint64_t>(r) ^ static_cast<uint64_t>(r >> 64);
#else
    return FoldMultiplyByHalves(a, b);
#endif
}

}  // namespace zk
