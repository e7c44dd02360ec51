// JSON codec (format 3): a small byte-oriented dialect.
//
// Strings are the node's raw bytes between two double quotes, with no escape
// sequences either way, so a string holding a double quote cannot be written.
// Numbers are signed 64-bit decimal integers; true and false read as the
// integers 1 and 0, null is refused. The writer emits no white space; the
// reader skips it only between tokens.
#pragma once

#include <cstdint>
#include <cstring>
#include <string_view>

#include "codec/input_stream.h"
#include "codec/output_stream.h"
#include "value/data_node.h"

namespace zk {

// Writes node and its subtree; map members in insertion order. Returns 0 or
// an error code; on failure what was written stays in out.
uint32_t WriteJson(OutputStream& out, const DataNode& node);

// Resets node, then reads one value from the stream's position into it,
// stopping right after the value (a number stops at the first byte that is
// not part of it). On failure node keeps what was built so far.
uint32_t ReadJson(InputStream& in, DataNode& node);

// The white space skipped between tokens: TAB, LF, CR and space only.
inline bool IsJsonSpace(unsigned char c) noexcept { return c == ' ' || c == '\n' || c == '\r' || c == '\t'; }

// True when no byte of s is a double quote; zero bytes are ordinary bytes.
// Every key and string is checked, and most are short: up to 16 bytes are
// tested as two overlapping words in place rather than by a library call.
inline bool HasNoQuote(std::string_view s) noexcept {
    const char* p = s.data();
    const size_t n = s.size();
    if (n > 16) return !std::memchr(p, '"', n);
    auto word = [](const char* at, size_t bytes) {
        uint64_t w = 0;
        std::memcpy(&w, at, bytes);
        return w;
    };
    // A byte of w equal to '"' becomes zero, and a zero byte sets its top bit.
    auto quoteIn = [](uint64_t w) {
        w ^= 0x2222222222222222ull;
        return ((w - 0x0101010101010101ull) & ~w & 0x8080808080808080ull) != 0;
    };
    if (n >= 8) return !quoteIn(word(p, 8)) && !quoteIn(word(p + n - 8, 8));
    if (n >= 4) return !quoteIn(word(p, 4) | word(p + n - 4, 4) << 32);
    for (size_t i = 0; i < n; ++i)
        if (p[i] == '"') return false;
    return true;
}

}  // namespace zk
