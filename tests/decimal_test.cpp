#include "zk_data/value/decimal.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

namespace zk {
namespace {

std::string Unsigned(uint64_t v) {
    char buf[kMaxInt64Digits];
    return std::string(buf, FormatUInt64(v, buf));
}

std::string Signed(int64_t v) {
    char buf[kMaxInt64Digits];
    return std::string(buf, FormatInt64(v, buf));
}

// Every digit count, at both of its edges, and the extremes of both types.
TEST(Decimal, FormatsEveryWidthExactly) {
    uint64_t power = 1;
    for (int digits = 1; digits <= 20; ++digits) {
        for (uint64_t v : {power, power + 1, power * 2 - 1, power * 5, power * 9 + power - 1}) {
            if (digits == 20 && v < power) continue;  // wrapped past the top
            EXPECT_EQ(Unsigned(v), std::to_string(v));
        }
        if (digits < 20) {
            EXPECT_EQ(Unsigned(power * 10 - 1), std::to_string(power * 10 - 1));
            power *= 10;
        }
    }
    EXPECT_EQ(Unsigned(0), "0");
    EXPECT_EQ(Unsigned(std::numeric_limits<uint64_t>::max()), "18446744073709551615");
    EXPECT_EQ(Signed(0), "0");
    EXPECT_EQ(Signed(-1), "-1");
    EXPECT_EQ(Signed(-10), "-10");
    EXPECT_EQ(Signed(-99), "-99");
    EXPECT_EQ(Signed(std::numeric_limits<int64_t>::max()), "9223372036854775807");
    EXPECT_EQ(Signed(std::numeric_limits<int64_t>::min()), "-9223372036854775808");
    for (int64_t v = -1000; v <= 1000; v += 7) EXPECT_EQ(Signed(v), std::to_string(v));
}

// Digits come out in blocks of eight, four and two: values of every bit
// length, with zeros inside blocks and at their edges.
TEST(Decimal, FormatsValuesOfEveryLength) {
    uint64_t x = 0x9E3779B97F4A7C15ull;
    for (int i = 0; i < 20000; ++i) {
        x ^= x << 13, x ^= x >> 7, x ^= x << 17;
        uint64_t v = x >> (i % 64);
        if (i % 3 == 0) v -= v % 10000;  // a block of zeros at the end
        ASSERT_EQ(Unsigned(v), std::to_string(v));
        ASSERT_EQ(Signed(static_cast<int64_t>(v)), std::to_string(static_cast<int64_t>(v)));
    }
}

TEST(Decimal, ParsesTheLeadingNumberAndSaturates) {
    EXPECT_EQ(ParseLeadingInt64("  -42abc"), -42);
    EXPECT_EQ(ParseLeadingInt64("+7"), 7);
    EXPECT_EQ(ParseLeadingInt64("x1"), 0);
    EXPECT_EQ(ParseLeadingInt64("99999999999999999999"), std::numeric_limits<int64_t>::max());
    EXPECT_EQ(ParseLeadingInt64("-99999999999999999999"), std::numeric_limits<int64_t>::min());
    EXPECT_EQ(ParseLeadingInt64("-9223372036854775808"), std::numeric_limits<int64_t>::min());
}

}  // namespace
}  // namespace zk
