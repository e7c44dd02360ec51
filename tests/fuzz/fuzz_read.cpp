// Every reader through readFromBuffer. The first byte picks the format (all
// ids, the write-only debug dump and an unknown id included), the second the
// option bits that change reading, the third a binary template. A tree that
// reads is then written in every format, compared with a copy and destroyed.
#include "fuzz_common.h"

using namespace zk_fuzz;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 3) return 0;
    static const uint8_t kFormats[] = {0, 1, 2, 3, 4, 5, 255, 1, 1, 3};
    uint8_t format = kFormats[data[0] % sizeof kFormats];
    uint8_t bits = data[1];
    DataNode node;
    if (format == FormatId::Binary) {
        BinaryTemplate(data[2], node);
        node.setOption(OptionFlags::BigEndian, bits & 1);
    } else {
        node.setFormat(format);
        node.setOption(OptionFlags::XmlFreeForm, bits & 1);
        node.setOption(OptionFlags::HttpNoBody, bits & 2);
        node.setOption(OptionFlags::XmlGbk, bits & 4);
    }
    std::string input(reinterpret_cast<const char*>(data + 3), size - 3);
    uint32_t code = ReadAll(node, input);
    if (data[0] % sizeof kFormats == 6 && code != zk::err::BadArgument) Fail("debug dump read");

    // Whatever was read, complete or not, must write, copy and compare safely.
    DataNode copy(node);
    // None nodes (a failed read, an empty INI text) never compare equal.
    if (code == 0 && !node.isNone() && !copy.equals(node)) Fail("copy differs");
    static const uint8_t kAll[] = {0, 1, 2, 3, 4, 5, 255};
    for (uint8_t f : kAll) {
        copy.setFormat(f);
        std::string out;
        WriteAll(copy, out);
    }
    uint32_t n = 0;
    zk::writeToBuffer(node, nullptr, n);
    return 0;
}
