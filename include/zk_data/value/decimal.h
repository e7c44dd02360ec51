// Decimal integers: the lenient leading-number parse used wherever the system
// reads a number out of text it does not otherwise validate, and the fast
// formatter used by every writer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace zk {

// White space as C's isspace in the "C" locale: space, TAB, LF, VT, FF, CR.
constexpr bool IsCSpace(unsigned char c) noexcept { return c == ' ' || (c >= '\t' && c <= '\r'); }

// Leading white space, an optional sign, then decimal digits up to the first
// other byte (a zero byte included). No digit gives 0. A value beyond the
// signed 64-bit range saturates to INT64_MAX or INT64_MIN.
int64_t ParseLeadingInt64(std::string_view text) noexcept;

// Longest text FormatInt64 produces: "-9223372036854775808".
constexpr size_t kMaxInt64Digits = 20;

// Writes v in signed decimal ("-" for negatives, no leading zeros) into buf,
// which must hold kMaxInt64Digits bytes; returns the length. No terminator.
size_t FormatInt64(int64_t v, char* buf) noexcept;
size_t FormatUInt64(uint64_t v, char* buf) noexcept;

}  // namespace zk
