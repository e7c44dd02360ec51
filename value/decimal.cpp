#include "value/decimal.h"

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

unsigned CountDigits(uint64_t v) noexcept {
    for (unsigned n = 1;; n += 4, v /= 10000) {
        if (v < 10) return n;
        if (v < 100) return n + 1;
        if (v < 1000) return n + 2;
        if (v < 10000) return n + 3;
    }
}

}  // namespace

size_t FormatUInt64(uint64_t v, char* buf) noexcept {
    const unsigned n = CountDigits(v);
    char* p = buf + n;
    while (v >= 100) {
        p -= 2;
        std::memcpy(p, kDigitPairs + 2 * (v % 100), 2);
        v /= 100;
    }
    if (v >= 10)
        std::memcpy(p - 2, kDigitPairs + 2 * v, 2);
    else
        p[-1] = static_cast<char>('0' + v);
    return n;
}

size_t FormatInt64(int64_t v, char* buf) noexcept {
    if (v >= 0) return FormatUInt64(static_cast<uint64_t>(v), buf);
    buf[0] = '-';
    return 1 + FormatUInt64(0 - static_cast<uint64_t>(v), buf + 1);
}

}  // namespace zk
