// Round trips. The first byte picks the property:
//  0 JSON, 1 bencode: a tree read from the input writes, reads back and
//    writes again to the same bytes;
//  2 typed XML: a tree built from the input, of strings, integers, lists and
//    maps the typed layout carries, reads back equal to itself (also compact);
//  3 binary: a tree built from the input, written (either byte order) and
//    read into a copy of itself, reads back equal;
//  4 to 7 every format: a tree built from the input (4 of any shape, 5 an
//    HTTP message, 6 an INI text, 7 a free-form XML document) is written in
//    every format that has a reader; each write that succeeds reads back
//    without error, to its last byte, into the tree the format's
//    normalisation makes of the tree written.
#include "fuzz_common.h"
#include "read_back.h"

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

// --- every format ----------------------------------------------------------------

// One way of writing a tree: its format and the root option bits it is
// written and read with.
struct Way {
    const char* name;
    uint8_t format;
    uint32_t options;
};

constexpr uint32_t kRootBits = OptionFlags::BigEndian | OptionFlags::XmlCompact | OptionFlags::XmlFreeForm |
                               OptionFlags::XmlGbk | OptionFlags::HttpNoBody;

// Bytes as C would spell them, the first 600 of them.
void PrintBytes(const char* label, const std::string& bytes) {
    std::fprintf(stderr, "%s (%zu bytes):\n", label, bytes.size());
    for (size_t i = 0; i < bytes.size() && i < 600; ++i) {
        unsigned char c = static_cast<unsigned char>(bytes[i]);
        if (c >= 0x20 && c < 0x7F && c != '\\')
            std::fputc(c, stderr);
        else
            std::fprintf(stderr, "\\x%02X", c);
    }
    std::fputc('\n', stderr);
}

// A tree as the debug dump shows it.
void PrintTree(const char* label, const DataNode& tree) {
    DataNode copy(tree);
    copy.setFormat(FormatId::DebugDump);
    std::string dump;
    WriteAll(copy, dump);
    PrintBytes(label, dump);
}

// Stops with the way, what broke, the bytes written and, when there are
// any, the two trees.
[[noreturn]] void Broken(const Way& way, const char* what, const std::string& bytes, const DataNode* got = nullptr,
                         const DataNode* expected = nullptr) {
    std::fprintf(stderr, "%s: %s\n", way.name, what);
    PrintBytes("written", bytes);
    if (got) PrintTree("read back", *got);
    if (expected) PrintTree("expected", *expected);
    Fail(what);
}

// The tree the reader must give back for written in this way; false when the
// way defines none (raw HTTP text), and mustRefuse when the writer should
// have refused the tree.
bool Expected(const Way& way, const DataNode& written, DataNode& expected, bool& mustRefuse) {
    mustRefuse = false;
    switch (way.format) {
    case FormatId::Binary:
        expected.assign(written);
        BinaryReadBack(expected);
        return true;
    case FormatId::Xml:
        if (!(way.options & OptionFlags::XmlFreeForm)) {
            expected.assign(written);
            return true;
        }
        mustRefuse = !FreeFormReadBack(written, expected);
        return !mustRefuse;
    case FormatId::Http:
        return HttpReadBack(written, expected);
    case FormatId::Ini:
        expected.assign(written);
        IniReadBack(expected);
        return true;
    default:  // bencode, JSON: the same tree
        expected.assign(written);
        return true;
    }
}

// Writes tree in one way; what is written must read back, all of it, to the
// tree expected.
void CheckWay(const DataNode& tree, const Way& way) {
    std::string bytes;
    if (WriteAll(tree, bytes) != 0) return;
    DataNode expected;
    bool mustRefuse = false;
    bool defined = Expected(way, tree, expected, mustRefuse);
    if (mustRefuse) Broken(way, "written although it cannot read back", bytes);
    // The binary reader fills a template: a copy of the tree written.
    DataNode back;
    if (way.format == FormatId::Binary) back.assign(tree);
    back.setFormat(way.format);
    back.setOption(way.options, true);
    uint32_t consumed = 0;
    uint32_t code = ReadAll(back, bytes, &consumed);
    if (!defined) return;
    if (code != 0) Broken(way, "written bytes do not read back", bytes);
    if (consumed != bytes.size() && consumed != zk::InputStream::kNoPosition)
        Broken(way, "reading stops before the end of what was written", bytes, &back, &expected);
    if (!SameTree(back, expected)) Broken(way, "read back differs", bytes, &back, &expected);
}

// The way's format and root bits for the time of the check.
void WriteAndReadBack(DataNode& tree, const Way& way) {
    const uint32_t own = tree.options();
    tree.setFormat(way.format);
    tree.setOption(kRootBits, false);
    tree.setOption(way.options, true);
    CheckWay(tree, way);
    tree.setOption(kRootBits, false);
    tree.setOption(own, true);
}

void EveryFormat(int shape, FuzzedDataProvider& p) {
    uint8_t bits = p.ConsumeIntegral<uint8_t>();
    DataNode tree;
    switch (shape) {
    case 0: {
        uint8_t s = p.ConsumeIntegral<uint8_t>();
        BuildTree(p, tree, {bool(s & 1), bool(s & 2), bool(s & 4), bool(s & 8), bool(s & 16), bool(s & 32)});
        break;
    }
    case 1: BuildHttpMessage(p, tree); break;
    case 2: BuildIniText(p, tree); break;
    default: BuildFreeFormDocument(p, tree); break;
    }
    const uint32_t compact = bits & 2 ? OptionFlags::XmlCompact : 0;
    const Way ways[] = {
        {"binary", FormatId::Binary, bits & 1 ? OptionFlags::BigEndian : 0u},
        {"typed XML", FormatId::Xml, compact},
        {"free-form XML", FormatId::Xml, OptionFlags::XmlFreeForm | compact},
        {"free-form XML in GBK", FormatId::Xml, OptionFlags::XmlFreeForm | OptionFlags::XmlGbk | compact},
        {"bencode", FormatId::Bencode, 0},
        {"JSON", FormatId::Json, 0},
        {"HTTP", FormatId::Http, bits & 4 ? OptionFlags::HttpNoBody : 0u},
        {"INI", FormatId::Ini, 0},
    };
    for (const Way& way : ways) WriteAndReadBack(tree, way);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    int property = data[0] % 8;
    switch (property) {
    case 0: WriteReadWrite(FormatId::Json, data + 1, size - 1); break;
    case 1: WriteReadWrite(FormatId::Bencode, data + 1, size - 1); break;
    case 2: {
        FuzzedDataProvider p(data + 1, size - 1);
        TypedXml(p);
        break;
    }
    case 3: {
        FuzzedDataProvider p(data + 1, size - 1);
        Binary(p);
        break;
    }
    default: {
        FuzzedDataProvider p(data + 1, size - 1);
        EveryFormat(property - 4, p);
        break;
    }
    }
    return 0;
}
