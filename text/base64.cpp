#include "zk_data/text/base64.h"

#include <cstdint>
#include <utility>

namespace zk {
namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr unsigned char kPad = 64, kInvalid = 127;

struct DecodeTable {
    unsigned char value[128];
    constexpr DecodeTable() : value() {
        for (auto& v : value) v = kInvalid;
        for (unsigned char i = 0; i < 64; ++i) value[static_cast<unsigned char>(kAlphabet[i])] = i;
        value[static_cast<unsigned char>('=')] = kPad;
    }
};
constexpr DecodeTable kDecode;

// 4 * ceil(n / 3) + 1, saturating at SIZE_MAX where no buffer could be big
// enough anyway.
size_t EncodedCapacity(size_t n) {
    size_t groups = n / 3 + (n % 3 != 0);
    if (groups > (SIZE_MAX - 1) / 4) return SIZE_MAX;
    return 4 * groups + 1;
}

// floor((6n + 7) / 8), split so that 6n cannot overflow.
size_t DecodedCapacity(size_t n) { return n / 8 * 6 + (n % 8 * 6 + 7) / 8; }

size_t Encode(const unsigned char* s, size_t n, char* out) {
    char* start = out;
    for (; n >= 3; n -= 3, s += 3) {
        uint32_t v = uint32_t{s[0]} << 16 | uint32_t{s[1]} << 8 | s[2];
        out[0] = kAlphabet[v >> 18];
        out[1] = kAlphabet[v >> 12 & 63];
        out[2] = kAlphabet[v >> 6 & 63];
        out[3] = kAlphabet[v & 63];
        out += 4;
    }
    if (n) {
        uint32_t v = uint32_t{s[0]} << 16 | (n == 2 ? uint32_t{s[1]} << 8 : 0);
        out[0] = kAlphabet[v >> 18];
        out[1] = kAlphabet[v >> 12 & 63];
        out[2] = n == 2 ? kAlphabet[v >> 6 & 63] : '=';
        out[3] = '=';
        out += 4;
    }
    *out = 0;
    return static_cast<size_t>(out - start);
}

// Checks the whole text; on success stores the count of characters other
// than line breaks in *count.
bool Validate(const unsigned char* s, size_t n, size_t* count) {
    size_t breaks = 0, pads = 0;
    for (size_t i = 0; i < n; ++i) {
        unsigned c = s[i];
        unsigned v = c < 0x80 ? kDecode.value[c] : kInvalid;
        if (v < 64) {
            if (pads) return false;
        } else if (v == kPad) {
            if (++pads > 2) return false;
        } else if (c == '\n') {
            ++breaks;
        } else if (c == '\r' && i + 1 < n && s[i + 1] == '\n') {
            breaks += 2;
            ++i;
        } else {
            return false;
        }
    }
    *count = n - breaks;
    return true;
}

// Decodes text that passed Validate. Bytes are written no faster than they
// are read (3 per 4), so out may equal s.
size_t Decode(const unsigned char* s, size_t n, unsigned char* out) {
    const unsigned char* table = kDecode.value;
    unsigned char* start = out;
    uint32_t acc = 0;
    int filled = 0, keep = 3;
    size_t i = 0;
    while (i < n) {
        if (filled == 0) {
            // Whole groups of plain letters, the common case.
            for (; i + 4 <= n; i += 4) {
                unsigned a = table[s[i]], b = table[s[i + 1]], c = table[s[i + 2]], d = table[s[i + 3]];
                if ((a | b | c | d) >= 64) break;  // a pad or a line break
                uint32_t v = a << 18 | b << 12 | c << 6 | d;
                out[0] = static_cast<unsigned char>(v >> 16);
                out[1] = static_cast<unsigned char>(v >> 8);
                out[2] = static_cast<unsigned char>(v);
                out += 3;
            }
            if (i == n) break;
        }
        unsigned c = s[i++];
        if (c == '\r' || c == '\n') continue;
        unsigned v = table[c];
        if (v == kPad) {
            v = 0;
            --keep;
        }
        acc = acc << 6 | v;
        if (++filled < 4) continue;
        if (keep > 0) *out++ = static_cast<unsigned char>(acc >> 16);
        if (keep > 1) *out++ = static_cast<unsigned char>(acc >> 8);
        if (keep > 2) *out++ = static_cast<unsigned char>(acc);
        acc = 0;
        filled = 0;
        keep = 3;
    }
    return static_cast<size_t>(out - start);
}

}  // namespace

int Base64EncodeBuffer(char* dst, size_t& dstLen, const void* src, size_t srcLen) {
    if (!src || !srcLen) return kBase64TooSmall;
    size_t need = EncodedCapacity(srcLen);
    if (!dst || dstLen < need || need == SIZE_MAX) {
        dstLen = need;
        return kBase64TooSmall;
    }
    dstLen = Encode(static_cast<const unsigned char*>(src), srcLen, dst);
    return kBase64Ok;
}

int Base64DecodeBuffer(void* dst, size_t& dstLen, const char* src, size_t srcLen) {
    if (!src || !srcLen) return kBase64Invalid;
    const unsigned char* s = reinterpret_cast<const unsigned char*>(src);
    size_t chars;
    if (!Validate(s, srcLen, &chars)) return kBase64Invalid;
    if (chars == 0) {
        dstLen = 0;
        return kBase64Ok;
    }
    size_t need = DecodedCapacity(chars);
    if (!dst || dstLen < need) {
        dstLen = need;
        return kBase64TooSmall;
    }
    dstLen = Decode(s, srcLen, static_cast<unsigned char*>(dst));
    return kBase64Ok;
}

bool Base64Encode(const ByteString& in, ByteString& out) {
    if (in.empty()) return false;
    if (&in == &out) {  // the text is longer than the bytes: it cannot overwrite them
        ByteString text;
        Base64Encode(in, text);
        out = std::move(text);
        return true;
    }
    size_t len = EncodedCapacity(in.size());
    char* dst = out.resizeForOverwrite(len);
    Base64EncodeBuffer(dst, len, in.data(), in.size());
    out.resize(len);
    return true;
}

bool Base64Decode(const ByteString& in, ByteString& out) {
    if (in.empty()) return false;
    const unsigned char* s = reinterpret_cast<const unsigned char*>(in.data());
    size_t chars;
    if (!Validate(s, in.size(), &chars)) return false;
    // Decoding in place needs no room beyond the text itself.
    char* dst = &in == &out ? out.data() : out.resizeForOverwrite(DecodedCapacity(chars));
    out.resize(Decode(s, in.size(), reinterpret_cast<unsigned char*>(dst)));
    return true;
}

}  // namespace zk
