// Text conversions between UTF-16, UTF-8 and GBK on any input, with the
// properties they promise: UTF-8 decoded and encoded again is stable, and
// Utf8ToGbk equals Utf8ToWide followed by WideToGbk.
#include <string>

#include "fuzz_common.h"
#include "zk_data/text/gbk.h"
#include "zk_data/text/text_convert.h"

using namespace zk;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const char* bytes = reinterpret_cast<const char*>(data);
    std::u16string wide, wide2;
    ByteString utf8, utf8b, gbk, gbk2;

    Utf8ToWide(bytes, size, wide);
    WideToUtf8(wide.data(), wide.size(), utf8);
    Utf8ToWide(utf8.data(), utf8.size(), wide2);
    if (wide != wide2) zk_fuzz::Fail("UTF-8 round trip");

    Utf8ToGbk(bytes, size, gbk);
    WideToGbk(wide.data(), wide.size(), gbk2);
    if (!(gbk == gbk2)) zk_fuzz::Fail("Utf8ToGbk differs from Utf8ToWide + WideToGbk");

    GbkToWide(bytes, size, wide);
    WideToUtf8(wide.data(), wide.size(), utf8b);

    // The input read as UTF-16 units, unpaired surrogates included.
    std::u16string units(size / 2, u'\0');
    for (size_t i = 0; i < units.size(); ++i) units[i] = static_cast<char16_t>(data[2 * i] | data[2 * i + 1] << 8);
    WideToUtf8(units.data(), units.size(), utf8);
    WideToGbk(units.data(), units.size(), gbk);
    GbkToWide(gbk.data(), gbk.size(), wide);

    if (size >= 2) GbkPairToUnit(data[0], data[1]);
    return 0;
}
