// Round trips. The first byte picks the property:
//  0 JSON, 1 bencode: a tree read from the input writes, reads back and
//    writes again to the same bytes;
//  2 typed XML: a tree built from the input, of strings, integers, lists and
//    maps the typed layout carries, reads back equal to itself (also compact);
//  3 binary: a tree built from the input, written (either byte order) and
//    read into a copy of itself, reads back equal.
#include "fuzz_common.h"

using namespace zk_fuzz;

namespace {

void WriteReadWrite(uint8_t format, const uint8_t* data, size_t size) {
    DataNode first;
    first.setFormat(format);
    if (ReadAll(first, std::string(reinterpret_cast<const char*>(data), size)) != 0) return;
    std::string a;
    if (WriteAll(first, a) != 0) return;
    DataNode second;
    second.setFormat(format);
    if (ReadAll(second, a) != 0) Fail("written bytes do not read back");
    std::string b;
    if (WriteAll(second, b) != 0) Fail("read-back tree does not write");
    if (a != b) Fail("write, read, write changed the bytes");
}

void TypedXml(FuzzedDataProvider& p) {
    DataNode tree;
    BuildTree(p, tree, {true, true, false, false, true, true});
    tree.setFormat(FormatId::Xml);
    if (p.ConsumeBool()) tree.setOption(OptionFlags::XmlCompact, true);
    std::string xml;
    if (WriteAll(tree, xml) != 0) Fail("typed XML write");
    DataNode back;
    if (ReadAll(back, xml) != 0) Fail("typed XML does not read back");
    if (!back.equals(tree)) Fail("typed XML read back differs");
}

void Binary(FuzzedDataProvider& p) {
    DataNode tree;
    BuildTree(p, tree, {false, true, true, true, false, false});
    tree.setFormat(FormatId::Binary);
    if (p.ConsumeBool()) tree.setOption(OptionFlags::BigEndian, true);
    std::string bytes;
    if (WriteAll(tree, bytes) != 0) Fail("binary write");
    DataNode back(tree);
    if (ReadAll(back, bytes) != 0) Fail("binary does not read back");
    if (!back.equals(tree)) Fail("binary read back differs");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    switch (data[0] % 4) {
    case 0: WriteReadWrite(FormatId::Json, data + 1, size - 1); break;
    case 1: WriteReadWrite(FormatId::Bencode, data + 1, size - 1); break;
    case 2: {
        FuzzedDataProvider p(data + 1, size - 1);
        TypedXml(p);
        break;
    }
    default: {
        FuzzedDataProvider p(data + 1, size - 1);
        Binary(p);
        break;
    }
    }
    return 0;
}
