// JSON codec (format 3): a small byte-oriented dialect.
//
// Strings are the node's raw bytes between two double quotes, with no escape
// sequences either way, so a string holding a double quote cannot be written
// (err::JsonSeparator). Keys must not be empty, on writing (err::Unsupported)
// as on reading.
// Numbers are signed 64-bit decimal integers; true and false read as the
// integers 1 and 0, null is refused. The writer emits no white space; the
// reader skips it only between tokens.
#pragma once

#include <cstdint>
#include <cstring>
#include <string_view>

#include "value/word_load.h"
#include "zk_data/codec/input_stream.h"
#include "zk_data/codec/output_stream.h"
#include "zk_data/value/data_node.h"

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
    if (s.size() > 16) return !std::memchr(s.data(), '"', s.size());
    // A byte of w equal to '"' becomes zero, and a zero byte sets its top
    // bit. The zero filling of the words never reads as a quote.
    auto quoteIn = [](uint64_t w) {
        w ^= 0x2222222222222222ull;
        return ((w - 0x0101010101010101ull) & ~w & 0x8080808080808080ull) != 0;
    };
    uint64_t a, b;
    LoadShort(s.data(), s.size(), a, b);
    return !quoteIn(a) && !quoteIn(b);
}

}  // namespace zk
