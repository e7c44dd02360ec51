// Bytes made readable in a test's failure message.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace zk::test {

// Printable ASCII as it is, every other byte as \xHH.
inline std::string Printable(std::string_view bytes) {
    std::string s;
    for (unsigned char c : bytes) {
        char hex[8];
        std::snprintf(hex, sizeof hex, c >= 0x20 && c < 0x7F ? "%c" : "\\x%02X", c);
        s += hex;
    }
    return s;
}

}  // namespace zk::test
