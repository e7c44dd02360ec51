// GBK (Windows code page 936) through the C library's iconv; on Windows,
// gbk_windows.cpp asks the platform instead. iconv stops at anything it
// cannot convert; each stop is answered with one replacement and the
// conversion resumes after the offending unit or byte, so every stop makes
// progress.
#include "zk_data/text/gbk.h"

#include "text/gbk_private_use.h"
#include "text/gbk_runs.h"

#include <iconv.h>

#include <bit>
#include <cerrno>
#include <cstdint>
#include <cstring>

namespace zk {
namespace {

static_assert(std::endian::native == std::endian::little,
              "char16_t strings are handed to iconv as UTF-16LE");

constexpr size_t kIconvError = static_cast<size_t>(-1);
using text_detail::IsHighSurrogate;
using text_detail::IsLowSurrogate;
using text_detail::kReplacement;

iconv_t NoDescriptor() { return reinterpret_cast<iconv_t>(-1); }

// Descriptors are opened on first use in each thread and kept for the
// thread's life: iconv_open is far dearer than a conversion, and an iconv_t
// carries state, so threads cannot share one.
class IconvCache {
public:
    IconvCache() = default;
    IconvCache(const IconvCache&) = delete;
    IconvCache& operator=(const IconvCache&) = delete;
    ~IconvCache() {
        if (toGbk_ != NoDescriptor()) iconv_close(toGbk_);
        if (fromGbk_ != NoDescriptor()) iconv_close(fromGbk_);
    }

    iconv_t ToGbk() { return Open(toGbk_, triedToGbk_, "CP936", "UTF-16LE"); }
    iconv_t FromGbk() { return Open(fromGbk_, triedFromGbk_, "UTF-16LE", "CP936"); }

private:
    // A descriptor that failed to open is not retried: without the CP936
    // module every non-ASCII character simply counts as unconvertible.
    static iconv_t Open(iconv_t& cd, bool& tried, const char* to, const char* from) {
        if (!tried) {
            tried = true;
            cd = iconv_open(to, from);
        }
        if (cd != NoDescriptor()) iconv(cd, nullptr, nullptr, nullptr, nullptr);
        return cd;
    }

    iconv_t toGbk_ = NoDescriptor();
    iconv_t fromGbk_ = NoDescriptor();
    bool triedToGbk_ = false;
    bool triedFromGbk_ = false;
};

thread_local IconvCache tlsIconv;

size_t Convert(iconv_t cd, const char** in, size_t* inLeft, char** out, size_t* outLeft) {
    if (cd == NoDescriptor()) {
        errno = EILSEQ;
        return kIconvError;
    }
    char* inPtr = const_cast<char*>(*in);  // iconv's prototype lacks the const
    size_t r = iconv(cd, &inPtr, inLeft, out, outLeft);
    *in = inPtr;
    return r;
}

// Converts units [src, end), none of them ASCII, to GBK at out, which the
// caller has made big enough; returns the new output end. iconv is granted 2
// bytes per unit: no GBK character needs more and every "?" takes 1 byte for
// at least 1 unit, so it never runs out of room (E2BIG) and only stops at a
// unit it cannot take.
char* UnitsToGbk(iconv_t cd, const char16_t* src, const char16_t* end, char* out) {
    const char* in = reinterpret_cast<const char*>(src);
    size_t inLeft = static_cast<size_t>(end - src) * 2;
    size_t outLeft = inLeft;
    while (inLeft && Convert(cd, &in, &inLeft, &out, &outLeft) == kIconvError) {
        // EILSEQ: no GBK form, or an unpaired surrogate. EINVAL: a high
        // surrogate ends the run, so it is unpaired too.
        if (errno != EILSEQ && errno != EINVAL) break;
        const char16_t* u = reinterpret_cast<const char16_t*>(in);
        size_t skip = inLeft >= 4 && IsHighSurrogate(u[0]) && IsLowSurrogate(u[1]) ? 4 : 2;
        const uint16_t code = text_detail::PrivateUseToGbk(u[0]);
        if (code) {  // two bytes for one unit: still within the room granted
            *out++ = static_cast<char>(code >> 8);
            *out++ = static_cast<char>(code & 0xFF);
            outLeft -= 2;
        } else {
            *out++ = u[0] == text_detail::kWrittenAsFF ? '\xFF' : '?';
            --outLeft;
        }
        in += skip;
        inLeft -= skip;
    }
    return out;
}

// Where a non-ASCII run starting at s ends, stepping over a possible trail
// byte after each non-ASCII byte, since trail bytes may lie in the ASCII range.
const char* GbkRunEnd(const char* s, const char* end) {
    while (s < end && static_cast<unsigned char>(*s) >= 0x80) s += end - s >= 2 ? 2 : 1;
    return s;
}

// Converts the GBK run [src, runEnd) to units at *out; returns where it
// stopped. A lead byte cut off by the run's end (one byte earlier went bad and
// shifted the pairing) is left to the caller, so that it starts a new run
// there and the lead meets its trail byte.
const char* GbkRunToUnits(iconv_t cd, const char* src, const char* runEnd, const char* end,
                          char16_t** out) {
    const char* in = src;
    size_t inLeft = static_cast<size_t>(runEnd - src);
    char* o = reinterpret_cast<char*>(*out);
    size_t outLeft = inLeft * 2;  // one unit per byte at most
    while (inLeft && Convert(cd, &in, &inLeft, &o, &outLeft) == kIconvError) {
        if (errno == EINVAL && runEnd != end && in != src) break;
        if (errno != EILSEQ && errno != EINVAL) break;
        const char16_t privateUse =
            inLeft >= 2 ? text_detail::GbkToPrivateUse(static_cast<unsigned char>(in[0]), static_cast<unsigned char>(in[1]))
                        : 0;
        *reinterpret_cast<char16_t*>(o) = privateUse ? privateUse : kReplacement;
        o += 2;
        outLeft -= 2;
        const size_t taken = privateUse ? 2 : 1;
        in += taken;
        inLeft -= taken;
    }
    *out = reinterpret_cast<char16_t*>(o);
    return in;
}

// The converters of gbk_runs.h, on a descriptor opened (and reset) for one call.
struct IconvToGbk {
    iconv_t cd;
    char* unitsToGbk(const char16_t* src, const char16_t* end, char* out) { return UnitsToGbk(cd, src, end, out); }
};

struct IconvFromGbk {
    iconv_t cd;
    const char* gbkToUnits(const char* src, const char* end, char16_t** out) {
        return GbkRunToUnits(cd, src, GbkRunEnd(src, end), end, out);
    }
};

}  // namespace

void WideToGbk(const char16_t* src, size_t len, ByteString& dst) {
    IconvToGbk converter{tlsIconv.ToGbk()};
    text_detail::WideToGbkWith(converter, src, len, dst);
}

void GbkToWide(const char* src, size_t len, std::u16string& dst) {
    IconvFromGbk converter{tlsIconv.FromGbk()};
    text_detail::GbkToWideWith(converter, src, len, dst);
}

void Utf8ToGbk(const char* src, size_t len, ByteString& dst) {
    IconvToGbk converter{tlsIconv.ToGbk()};
    text_detail::Utf8ToGbkWith(converter, src, len, dst);
}

int GbkPairToUnit(unsigned char lead, unsigned char trail) {
    const char pair[2] = {static_cast<char>(lead), static_cast<char>(trail)};
    char16_t units[2];
    const char* in = pair;
    size_t inLeft = 2;
    char* out = reinterpret_cast<char*>(units);
    size_t outLeft = sizeof units;
    if (Convert(tlsIconv.FromGbk(), &in, &inLeft, &out, &outLeft) == kIconvError || outLeft == sizeof units) {
        const char16_t privateUse = text_detail::GbkToPrivateUse(lead, trail);
        return privateUse ? privateUse : -1;
    }
    return units[0];
}

}  // namespace zk
