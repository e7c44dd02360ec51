// GBK through Windows code page 936. The platform converts one character at a
// time only at the cost of a call, so the first conversion asks it once for
// every unit and every byte pair and keeps the answers in two tables (256 KiB
// for the process); conversions are lookups from then on. The rules are
// those of the iconv build: a unit without a GBK form and an unpaired or
// supplementary surrogate pair become "?", a byte that does not start a
// valid sequence becomes U+FFFD and the next byte is read afresh.
#include "zk_data/text/gbk.h"

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>

#include "text/gbk_runs.h"

namespace zk {
namespace {

constexpr UINT kGbk = 936;
using text_detail::IsHighSurrogate;
using text_detail::IsLowSurrogate;
using text_detail::kReplacement;

class CodePage936 {
public:
    CodePage936() : toGbk_(new uint16_t[0x10000]()), fromGbk_(new char16_t[0x10000]()) {
        for (uint32_t u = 0x80; u < 0x10000; ++u) {
            if (IsHighSurrogate(static_cast<char16_t>(u)) || IsLowSurrogate(static_cast<char16_t>(u))) continue;
            const wchar_t unit = static_cast<wchar_t>(u);
            char bytes[2];
            BOOL usedDefault = FALSE;
            int n = WideCharToMultiByte(kGbk, WC_NO_BEST_FIT_CHARS, &unit, 1, bytes, 2, nullptr, &usedDefault);
            if (usedDefault || n < 1) continue;
            const auto b0 = static_cast<unsigned char>(bytes[0]), b1 = static_cast<unsigned char>(bytes[1]);
            toGbk_[u] = static_cast<uint16_t>(n == 1 ? b0 : (b0 << 8) | b1);
        }
        for (uint32_t lead = 0x80; lead < 0x100; ++lead) {
            fromGbk_[lead] = Decode(static_cast<char>(lead), 1);  // a byte that stands alone, if any
            for (uint32_t trail = 0x40; trail < 0x100; ++trail) {
                const char pair[2] = {static_cast<char>(lead), static_cast<char>(trail)};
                fromGbk_[(lead << 8) | trail] = Decode(pair[0], 2, pair[1]);
            }
        }
    }

    // The GBK bytes of a BMP unit from 0x80 up: one byte below 0x100, two
    // above; 0 when it has none.
    uint16_t toGbk(char16_t unit) const { return toGbk_[unit]; }
    // The unit of a two-byte sequence (lead << 8 | trail) or of a lone byte
    // from 0x80 up; 0 when it is not valid.
    char16_t fromGbk(uint32_t code) const { return fromGbk_[code]; }

private:
    static char16_t Decode(char first, int n, char second = 0) {
        const char bytes[2] = {first, second};
        wchar_t unit = 0;
        return MultiByteToWideChar(kGbk, MB_ERR_INVALID_CHARS, bytes, n, &unit, 1) == 1
                   ? static_cast<char16_t>(unit)
                   : 0;
    }

    std::unique_ptr<uint16_t[]> toGbk_;
    std::unique_ptr<char16_t[]> fromGbk_;
};

const CodePage936& Tables() {
    static const CodePage936 tables;
    return tables;
}

// The converters of gbk_runs.h, over the tables.
struct TableConverter {
    const CodePage936& cp;

    char* unitsToGbk(const char16_t* src, const char16_t* end, char* out) const {
        while (src < end) {
            const char16_t unit = *src++;
            if (IsHighSurrogate(unit) && src < end && IsLowSurrogate(*src)) ++src;  // no GBK form: one "?"
            const uint16_t gbk = IsHighSurrogate(unit) || IsLowSurrogate(unit) ? 0 : cp.toGbk(unit);
            if (gbk == 0) {
                *out++ = '?';
            } else if (gbk < 0x100) {
                *out++ = static_cast<char>(gbk);
            } else {
                *out++ = static_cast<char>(gbk >> 8);
                *out++ = static_cast<char>(gbk & 0xFF);
            }
        }
        return out;
    }

    // A valid pair is taken whole, even when its trail byte is in the ASCII
    // range; a byte that starts nothing valid is replaced and the next byte
    // read afresh.
    const char* gbkToUnits(const char* src, const char* end, char16_t** out) const {
        char16_t* o = *out;
        while (src < end && static_cast<unsigned char>(*src) >= 0x80) {
            const auto lead = static_cast<unsigned char>(*src);
            const char16_t pair = end - src >= 2 ? cp.fromGbk(lead << 8 | static_cast<unsigned char>(src[1])) : 0;
            if (pair) {
                *o++ = pair;
                src += 2;
            } else {
                const char16_t alone = cp.fromGbk(lead);
                *o++ = alone ? alone : kReplacement;
                ++src;
            }
        }
        *out = o;
        return src;
    }
};

}  // namespace

void WideToGbk(const char16_t* src, size_t len, ByteString& dst) {
    TableConverter converter{Tables()};
    text_detail::WideToGbkWith(converter, src, len, dst);
}

void GbkToWide(const char* src, size_t len, std::u16string& dst) {
    TableConverter converter{Tables()};
    text_detail::GbkToWideWith(converter, src, len, dst);
}

void Utf8ToGbk(const char* src, size_t len, ByteString& dst) {
    TableConverter converter{Tables()};
    text_detail::Utf8ToGbkWith(converter, src, len, dst);
}

int GbkPairToUnit(unsigned char lead, unsigned char trail) {
    const char16_t unit = Tables().fromGbk(uint32_t{lead} << 8 | trail);
    return unit ? unit : -1;
}

}  // namespace zk
