#include "zk_data/value/decimal.h"

#include <bit>
#include <cstring>
#include <limits>

namespace zk {

int64_t ParseLeadingInt64(std::string_view text) noexcept {
    const char* p = text.data();
    const char* end = p + text.size();
    while (p < end && IsCSpace(static_cast<unsigned char>(*p))) ++p;
    bool negative = false;
    if (p < end && (*p == '-' || *p == '+')) negative = (*p++ == '-');
    // Accumulate the magnitude as unsigned so that INT64_MIN is reachable.
    const uint64_t limit = negative ? uint64_t{1} << 63 : uint64_t(std::numeric_limits<int64_t>::max());
    uint64_t magnitude = 0;
    bool saturated = false;
    for (; p < end && *p >= '0' && *p <= '9'; ++p) {
        unsigned digit = static_cast<unsigned>(*p - '0');
        if (saturated || magnitude > (limit - digit) / 10) {
            saturated = true;
            continue;
        }
        magnitude = magnitude * 10 + digit;
    }
    if (saturated) magnitude = limit;
    return negative ? static_cast<int64_t>(0 - magnitude) : static_cast<int64_t>(magnitude);
}

namespace {

// "00" to "99": two digits per division halves the divisions of a number.
constexpr char kDigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

constexpr uint64_t kPowersOf10[] = {1ull,
                                    10ull,
                                    100ull,
                                    1000ull,
                                    10000ull,
                                    100000ull,
                                    1000000ull,
                                    10000000ull,
                                    100000000ull,
                                    1000000000ull,
                                    10000000000ull,
                                    100000000000ull,
                                    1000000000000ull,
                                    10000000000000ull,
                                    100000000000000ull,
                                    1000000000000000ull,
                                    10000000000000000ull,
                                    100000000000000000ull,
                                    1000000000000000000ull,
                                    10000000000000000000ull};

// From the bit length: 1233 / 4096 is just above log10(2), so t is the digit
// count or one more than it, and one comparison settles which.
unsigned CountDigits(uint64_t v) noexcept {
    v |= 1;  // 0 has one digit, as 1 has
    unsigned t = static_cast<unsigned>(std::bit_width(v)) * 1233 >> 12;
    return t + 1 - (v < kPowersOf10[t]);
}

void TwoDigits(char* p, uint32_t v) noexcept { std::memcpy(p, kDigitPairs + 2 * v, 2); }

// v < 10000 as exactly four digits, zeros leading.
void FourDigits(char* p, uint32_t v) noexcept {
    TwoDigits(p, v / 100);
    TwoDigits(p + 2, v % 100);
}

// v < 10^8 without leading zeros, ending at end.
void Below1e8(char* end, uint32_t v) noexcept {
    if (v >= 10000) {
        FourDigits(end - 4, v % 10000);
        end -= 4;
        v /= 10000;
    }
    if (v >= 100) {
        TwoDigits(end - 2, v % 100);
        end -= 2;
        v /= 100;
    }
    if (v >= 10)
        TwoDigits(end - 2, v);
    else
        end[-1] = static_cast<char>('0' + v);
}

}  // namespace

// Eight digits per 64-bit division, each eight split into halves and pairs
// that do not wait on one another: the chain of dependent divisions is a
// third as long as two digits at a time.
size_t FormatUInt64(uint64_t v, char* buf) noexcept {
    const unsigned n = CountDigits(v);
    char* p = buf + n;
    while (v >= 100000000) {
        uint32_t low = static_cast<uint32_t>(v % 100000000);
        v /= 100000000;
        p -= 8;
        FourDigits(p, low / 10000);
        FourDigits(p + 4, low % 10000);
    }
    Below1e8(p, static_cast<uint32_t>(v));
    return n;
}

size_t FormatInt64(int64_t v, char* buf) noexcept {
    if (v >= 0) return FormatUInt64(static_cast<uint64_t>(v), buf);
    buf[0] = '-';
    return 1 + FormatUInt64(0 - static_cast<uint64_t>(v), buf + 1);
}

}  // namespace zk
