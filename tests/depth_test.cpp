// The depth bound of every recursive reader and writer, through the format
// switch: each stops at kMaxDepth levels with its format's own code, the
// readers' syntax or parse code and the writers' (and binary templates')
// Unsupported. One case per format, layout and shape of nesting: the
// deepest chain the format takes is written to the exact bytes and read
// back; one level more, of either shape, is not written; its bytes, and
// those of a chain far deeper, are not read. All of it runs on a 1 MiB
// stack, the size host threads commonly have.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "codec/limits.h"
#include "tests/support/codec_cases.h"
#include "tests/support/small_stack.h"
#include "zk_data/codec/error_codes.h"

namespace zk {
namespace {

using test_support::Descend;
using test_support::Nested;
using test_support::RunOnStack;

struct DepthCase {
    const char* name;
    uint8_t format;
    uint32_t options;
    NodeType shape;
    uint32_t limit;     // containers above the leaf in the deepest chain taken
    uint32_t readCode;  // for one level more; Ok for a format without a reader
    std::string (*bytes)(uint32_t containers);  // what such a chain is written as
    bool mixes = true;  // a container of the other shape may hold the leaf
    bool readFar = true;  // bytes() is small enough for a chain far deeper

    test::FormatIo io() const { return test::FormatIo(format, options); }
};

// containers of the case's shape down to an Int8 leaf, 7 as every text
// format writes it; mixed, the last of them is of the other shape. With
// another leaf, the template the binary reader fills.
DataNode Chain(const DepthCase& c, uint32_t containers, bool mixed = false, int64_t leaf = 7) {
    DataNode root;
    NodeType other = c.shape == NodeType::List ? NodeType::Map : NodeType::List;
    DataNode* bottom = &Descend(root, mixed ? containers - 1 : containers, c.shape, c.options);
    if (mixed) bottom = &Descend(*bottom, 1, other, c.options);
    bottom->setInt(leaf, ValueKind::Int8);
    return root;
}

std::string U32(uint32_t v) { return std::string{char(v), char(v >> 8), char(v >> 16), char(v >> 24)}; }

// The bytes of each case: the leaf, and around it what one level adds.
std::string BinaryLists(uint32_t n) {
    std::string s = "\x07";
    for (uint32_t i = 0; i < n; ++i) s = U32(1) + s;
    return s;
}
std::string BinaryMaps(uint32_t n) {
    std::string s = "\x07";
    for (uint32_t i = 0; i < n; ++i) s = U32(s.size()) + s;
    return s;
}
std::string BinaryUnframedMaps(uint32_t) { return "\x07"; }  // no bytes of their own

// An XML document: levels times the open tags, then leaf, then levels times
// the close tags; indented, every tag on a line of its own, behind a TAB for
// each tag it is inside.
std::string Xml(uint32_t levels, std::vector<std::string_view> open, std::string_view leaf,
                std::vector<std::string_view> close, bool indented) {
    std::string s = R"(<?xml version="1.0" encoding="utf-8"?>)";
    auto line = [&](uint32_t tabs, std::string_view text) {
        if (indented) s.append("\r\n").append(tabs, '\t');
        s += text;
    };
    uint32_t per = static_cast<uint32_t>(open.size());
    for (uint32_t i = 0; i < levels; ++i)
        for (uint32_t j = 0; j < per; ++j) line(i * per + j, open[j]);
    line(levels * per, leaf);
    for (uint32_t i = levels; i-- > 0;)
        for (uint32_t j = 0; j < per; ++j) line(i * per + per - 1 - j, close[j]);
    return s;
}

const char kTypedInt[] = R"(<zk_data type="int">7</zk_data>)";
std::string XmlLists(uint32_t n, bool indented) {
    return Xml(n, {R"(<zk_data type="list">)"}, kTypedInt, {"</zk_data>"}, indented);
}
std::string XmlMaps(uint32_t n, bool indented) {
    return Xml(n, {R"(<zk_data type="map">)", R"(<item key="a">)"}, kTypedInt, {"</item>", "</zk_data>"}, indented);
}
// The innermost map and its leaf are one element.
std::string XmlFreeMaps(uint32_t n, bool indented) { return Xml(n - 1, {"<a>"}, "<a>7</a>", {"</a>"}, indented); }

std::string XmlListsCompact(uint32_t n) { return XmlLists(n, false); }
std::string XmlMapsCompact(uint32_t n) { return XmlMaps(n, false); }
std::string XmlFreeMapsCompact(uint32_t n) { return XmlFreeMaps(n, false); }
std::string XmlListsIndented(uint32_t n) { return XmlLists(n, true); }
std::string XmlMapsIndented(uint32_t n) { return XmlMaps(n, true); }
std::string XmlFreeMapsIndented(uint32_t n) { return XmlFreeMaps(n, true); }

std::string BencodeLists(uint32_t n) { return Nested("l", "i7e", "e", n); }
std::string BencodeMaps(uint32_t n) { return Nested("d1:a", "i7e", "e", n); }
std::string JsonLists(uint32_t n) { return Nested("[", "7", "]", n); }
std::string JsonMaps(uint32_t n) { return Nested("{\"a\":", "7", "}", n); }

// Each level a header line, indented by four spaces a level below the root's
// children, and the leaf's line under the last.
std::string Dump(uint32_t n, const char* type, const char* key) {
    std::string s = std::string(type) + " size(1):\r\n";
    for (uint32_t level = 1; level <= n; ++level) {
        s += std::string(4 * (level - 1), ' ') + key + ":";
        s += level < n ? std::string(type) + " size(1):\r\n" : "7\r\n";
    }
    return s;
}
std::string DumpLists(uint32_t n) { return Dump(n, "list", "0"); }
std::string DumpMaps(uint32_t n) { return Dump(n, "map", "a"); }

constexpr uint32_t kCompact = OptionFlags::XmlCompact;
constexpr uint32_t kFree = OptionFlags::XmlFreeForm;

// The binary format counts its leaf as a level, the others count containers;
// its lists report the item that failed (BadListItem), not the template's
// Unsupported. A free-form XML list holds elements, never a bare value.
// Indented XML far deeper would be gigabytes of TABs: its compact twin is
// read that deep.
const DepthCase kCases[] = {
    {"BinaryLists", FormatId::Binary, 0, NodeType::List, kMaxDepth - 1, err::BadListItem, BinaryLists},
    {"BinaryMaps", FormatId::Binary, 0, NodeType::Map, kMaxDepth - 1, err::Unsupported, BinaryMaps},
    {"BinaryUnframedMaps", FormatId::Binary, OptionFlags::MapUnframed, NodeType::Map, kMaxDepth - 1,
     err::Unsupported, BinaryUnframedMaps},
    {"XmlLists", FormatId::Xml, 0, NodeType::List, kMaxDepth, err::XmlParse, XmlListsIndented, true, false},
    {"XmlListsCompact", FormatId::Xml, kCompact, NodeType::List, kMaxDepth, err::XmlParse, XmlListsCompact},
    {"XmlMaps", FormatId::Xml, 0, NodeType::Map, kMaxDepth, err::XmlParse, XmlMapsIndented, true, false},
    {"XmlMapsCompact", FormatId::Xml, kCompact, NodeType::Map, kMaxDepth, err::XmlParse, XmlMapsCompact},
    {"XmlFreeFormMaps", FormatId::Xml, kFree, NodeType::Map, kMaxDepth, err::XmlParse, XmlFreeMapsIndented, false,
     false},
    {"XmlFreeFormMapsCompact", FormatId::Xml, kFree | kCompact, NodeType::Map, kMaxDepth, err::XmlParse,
     XmlFreeMapsCompact, false},
    {"BencodeLists", FormatId::Bencode, 0, NodeType::List, kMaxDepth, err::BencodeSyntax, BencodeLists},
    {"BencodeMaps", FormatId::Bencode, 0, NodeType::Map, kMaxDepth, err::BencodeSyntax, BencodeMaps},
    {"JsonLists", FormatId::Json, 0, NodeType::List, kMaxDepth, err::TextSyntax, JsonLists},
    {"JsonMaps", FormatId::Json, 0, NodeType::Map, kMaxDepth, err::TextSyntax, JsonMaps},
    {"DebugDumpLists", FormatId::DebugDump, 0, NodeType::List, kMaxDepth, err::Ok, DumpLists},
    {"DebugDumpMaps", FormatId::DebugDump, 0, NodeType::Map, kMaxDepth, err::Ok, DumpMaps},
};

std::vector<DepthCase> WithReaders() {
    std::vector<DepthCase> cases;
    for (const DepthCase& c : kCases)
        if (c.readCode) cases.push_back(c);
    return cases;
}

void PrintTo(const DepthCase& c, std::ostream* os) { *os << c.name; }
std::string NameOf(const ::testing::TestParamInfo<DepthCase>& info) { return info.param.name; }

// Host threads may have small stacks: the deepest input must fit in 1 MiB.
void OnSmallStack(void (*body)(const DepthCase&), const DepthCase& c) {
    RunOnStack(1 << 20, [&] { body(c); });
}

class WriteDepth : public ::testing::TestWithParam<DepthCase> {};
class ReadDepth : public ::testing::TestWithParam<DepthCase> {};

TEST_P(WriteDepth, DeepestChainIsWritten) {
    OnSmallStack(
        [](const DepthCase& c) {
            EXPECT_EQ(c.io().Write(Chain(c, c.limit)), c.bytes(c.limit));
            if (c.mixes) {
                EXPECT_EQ(c.io().Written(Chain(c, c.limit, true)).code, err::Ok);
            }
        },
        GetParam());
}

TEST_P(WriteDepth, OneLevelMoreIsNotWritten) {
    OnSmallStack(
        [](const DepthCase& c) {
            EXPECT_EQ(c.io().Write(Chain(c, c.limit + 1)), test::Error(err::Unsupported));
            if (c.mixes) {
                EXPECT_EQ(c.io().Write(Chain(c, c.limit + 1, true)), test::Error(err::Unsupported));
            }
        },
        GetParam());
}

// Reads bytes into the template of a chain and writes them again.
void ExpectReadBack(const DepthCase& c, const std::string& bytes, bool mixed) {
    DataNode back = Chain(c, c.limit, mixed, 0);
    ASSERT_EQ(c.io().Read(bytes, back), err::Ok) << mixed;
    EXPECT_EQ(c.io().Write(back), bytes) << mixed;
}

TEST_P(ReadDepth, DeepestChainIsReadBack) {
    OnSmallStack(
        [](const DepthCase& c) {
            ExpectReadBack(c, c.bytes(c.limit), false);
            if (c.mixes) ExpectReadBack(c, c.io().Written(Chain(c, c.limit, true)).bytes, true);
        },
        GetParam());
}

TEST_P(ReadDepth, OneLevelMoreIsNotRead) {
    OnSmallStack(
        [](const DepthCase& c) {
            DataNode target = Chain(c, c.limit + 1, false, 0);
            EXPECT_EQ(c.io().Read(c.bytes(c.limit + 1), target), c.readCode);
            if (!c.readFar) return;
            // Far deeper, whole or, for text read as it comes, only its
            // opening (a binary map states its length first): the reader
            // stops at the bound.
            constexpr uint32_t kFar = 100000;
            std::string deeper = c.bytes(kFar);
            DataNode deep = Chain(c, kFar, false, 0);
            EXPECT_EQ(c.io().Read(deeper, deep), c.readCode);
            if (c.format != FormatId::Binary) {
                EXPECT_EQ(c.io().Read(deeper.substr(0, kFar), deep), c.readCode);
            }
        },
        GetParam());
}

INSTANTIATE_TEST_SUITE_P(EveryWriter, WriteDepth, ::testing::ValuesIn(kCases), NameOf);
INSTANTIATE_TEST_SUITE_P(EveryReader, ReadDepth, ::testing::ValuesIn(WithReaders()), NameOf);

}  // namespace
}  // namespace zk
