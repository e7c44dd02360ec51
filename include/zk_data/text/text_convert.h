// Text conversions between UTF-16 (char16_t) and UTF-8; GBK is in gbk.h.
//
// Every source is counted: a length is always given and zero units inside it
// are converted like any other. A null source or a length of zero empties the
// destination. The destination is overwritten with exactly the converted
// units; nothing reports a status, because ill-formed input is never an error:
//   - ill-formed UTF-8 becomes U+FFFD, one per maximal subpart (the Unicode
//     recommended practice, also what Windows' MultiByteToWideChar does);
//   - an unpaired UTF-16 surrogate becomes U+FFFD.
#pragma once

#include <cstddef>
#include <string>

#include "zk_data/text/byte_string.h"

namespace zk {

// Units of a zero-terminated UTF-16 string before its zero; 0 for null.
inline size_t WideLength(const char16_t* s) noexcept {
    size_t n = 0;
    if (s)
        while (s[n]) ++n;
    return n;
}

void WideToUtf8(const char16_t* src, size_t len, ByteString& dst);
void Utf8ToWide(const char* src, size_t len, std::u16string& dst);

}  // namespace zk
