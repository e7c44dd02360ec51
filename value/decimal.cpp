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

size_t FormatUInt64(uint64_t v, char* buf) noexcept {
    char tmp[kMaxInt64Digits];
    char* p = tmp + sizeof(tmp);
    do {
        *--p = static_cast<char>('0' + v % 10);
        v /= 10;
    } while (v);
    size_t n = static_cast<size_t>(tmp + sizeof(tmp) - p);
    std::memcpy(buf, p, n);
    return n;
}

size_t FormatInt64(int64_t v, char* buf) noexcept {
    if (v >= 0) return FormatUInt64(static_cast<uint64_t>(v), buf);
    buf[0] = '-';
    return 1 + FormatUInt64(0 - static_cast<uint64_t>(v), buf + 1);
}

}  // namespace zk
