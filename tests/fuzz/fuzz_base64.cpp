// Base64: decoding any text (buffer and string forms, in place too), and
// encode-then-decode giving the input back.
#include <cstring>
#include <vector>

#include "fuzz_common.h"
#include "zk_data/text/base64.h"

using namespace zk;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const char* text = reinterpret_cast<const char*>(data);
    size_t need = 0;
    int rc = Base64DecodeBuffer(nullptr, need, text, size);
    if (rc == kBase64TooSmall) {
        std::vector<char> dst(need);
        size_t len = need;
        if (Base64DecodeBuffer(dst.data(), len, text, size) != kBase64Ok) zk_fuzz::Fail("decode with the size asked");
        std::vector<char> same(text, text + size);
        size_t inPlace = size;
        if (size >= need && Base64DecodeBuffer(same.data(), inPlace, same.data(), size) == kBase64Ok &&
            (inPlace != len || std::memcmp(same.data(), dst.data(), len) != 0))
            zk_fuzz::Fail("in-place decode differs");
    }
    ByteString in(text, size), decoded;
    Base64Decode(in, decoded);
    Base64Decode(in, in);

    ByteString raw(text, size), enc, dec;
    if (Base64Encode(raw, enc)) {
        if (!Base64Decode(enc, dec) || !(dec == raw)) zk_fuzz::Fail("encode then decode");
        size_t n = 0;
        Base64EncodeBuffer(nullptr, n, data, size);
        std::vector<char> buf(n);
        if (Base64EncodeBuffer(buf.data(), n, data, size) != kBase64Ok) zk_fuzz::Fail("encode buffer");
    }
    return 0;
}
