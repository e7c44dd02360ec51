// The map hash's mixing step: the form 32-bit targets use (built from 32-bit
// halves) gives the same bits as the 128-bit multiply, so a map's hash does
// not depend on the architecture that built it.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>

#include "value/fold_multiply.h"

namespace zk {
namespace {

TEST(FoldMultiply, HalvesAgreeWithTheWideProduct) {
    const uint64_t edges[] = {0, 1, 2, 0xFFFFFFFF, 0x100000000, 0x8000000000000000, ~uint64_t{0}, 0x9E3779B97F4A7C15};
    for (uint64_t a : edges)
        for (uint64_t b : edges) EXPECT_EQ(FoldMultiplyByHalves(a, b), FoldMultiply(a, b)) << a << " * " << b;
    std::mt19937_64 random(20261209);
    for (int i = 0; i < 100000; ++i) {
        const uint64_t a = random(), b = random();
        ASSERT_EQ(FoldMultiplyByHalves(a, b), FoldMultiply(a, b)) << a << " * " << b;
    }
    static_assert(FoldMultiply(~uint64_t{0}, ~uint64_t{0}) == (1 ^ 0xFFFFFFFFFFFFFFFE));
}

}  // namespace
}  // namespace zk
