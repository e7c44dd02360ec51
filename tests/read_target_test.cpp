// What a read does to its target, the same for every reader but the binary
// one, which fills its template in place: the old value goes, the target's
// format and option bits stay, and every node the reader makes below it is a
// fresh one (the default format, no options), moved-in map values included.
// A failed read leaves what it built so far, still under the target's format.
#include <gtest/gtest.h>

#include <ostream>
#include <string_view>

#include "tests/support/codec_cases.h"
#include "zk_data/codec/error_codes.h"

namespace zk {
namespace {

struct TargetCase {
    const char* name;
    uint8_t format;
    uint32_t option;  // set on the target, kept by the read
    std::string_view doc;
    std::string_view tree;  // Show of what doc gives
    std::string_view failing;
    uint32_t code;
    std::string_view partial;  // Show of what the failed read leaves
};

void PrintTo(const TargetCase& c, std::ostream* os) { *os << c.name; }

// Every node below n has the default format and no options.
void ExpectFresh(const DataNode& n, const std::string& path) {
    auto check = [&](const DataNode& child, const std::string& at) {
        EXPECT_EQ(child.format(), FormatId::Xml) << at;
        EXPECT_EQ(child.options(), 0u) << at;
        ExpectFresh(child, at);
    };
    if (n.isList()) {
        for (uint32_t i = 0; i < n.size(); ++i) check(*n.list()[i], path + "/" + std::to_string(i));
    } else if (n.isMap()) {
        for (const MapValue::Entry& e : n.map()) check(*e.child, path + "/" + std::string(e.key.view()));
    }
}

class ReadTarget : public ::testing::TestWithParam<TargetCase> {};

TEST_P(ReadTarget, IsResetButKeepsItsFormatAndOptions) {
    const TargetCase& c = GetParam();
    test::FormatIo io(c.format);
    DataNode node;
    node.mapGet("old").listAt(3).setStr("x");
    ASSERT_TRUE(node.setFormat(c.format));
    node.setOption(c.option, true);
    EXPECT_EQ(io.Read(c.doc, node), err::Ok);
    EXPECT_EQ(test::Show(node), c.tree);
    EXPECT_EQ(node.format(), c.format);
    EXPECT_EQ(node.options(), c.option);
    ExpectFresh(node, "");
    EXPECT_EQ(io.Read(c.failing, node), c.code);
    EXPECT_EQ(test::Show(node), c.partial);
    EXPECT_EQ(node.format(), c.format);
    EXPECT_EQ(node.options(), c.option);
}

const TargetCase kCases[] = {
    {"Json", FormatId::Json, OptionFlags::XmlCompact, R"([1,{"k":"v"}])", R"([1,{k:"v"}])", "\"unterminated",
     err::StreamFailure, "~"},
    {"Bencode", FormatId::Bencode, OptionFlags::BigEndian, "d1:kd1:xi1eee", "{k:{x:1}}", "9:short",
     err::StreamFailure, "~"},
    {"Xml", FormatId::Xml, OptionFlags::BigEndian,
     R"(<zk_data type="list"><zk_data type="int">1</zk_data><zk_data type="map"><item key="k">)"
     R"(<zk_data type="str">v</zk_data></item></zk_data></zk_data>)",
     R"([1k10,{k:"v"k12}])", R"(<zk_data type="list"><zk_data type="int">1</zk_data>)", err::XmlParse, "[1k10]"},
    {"XmlFreeForm", FormatId::Xml, OptionFlags::XmlFreeForm, "<r><a>1</a><b><c>v</c></b></r>",
     R"({r:{a:"1"k12,b:{c:"v"k12}}})", "<r><a>1</a>", err::XmlParse, R"({r:{a:"1"k12}})"},
    {"Http", FormatId::Http, OptionFlags::BigEndian, "GET /x HTTP/1.1\r\nA: b\r\n\r\n",
     R"({Request-Line:{Method:"GET",Request-URI:"/x",HTTP-Version:"HTTP/1.1"},Header:{A:"b"}})",
     "GET /x HTTP/1.1\r\nA: b\r\nbad\r\n\r\n", err::TextSyntax,
     R"({Request-Line:{Method:"GET",Request-URI:"/x",HTTP-Version:"HTTP/1.1"},Header:{A:"b"}})"},
    {"Ini", FormatId::Ini, OptionFlags::BigEndian, "[s]\r\na=1\r\n", R"({s:{a:"1"}})", "[s]\na=1\n[t]\n=b\nc=2\n",
     err::TextSyntax, R"({s:{a:"1"},t:{}})"},
};

INSTANTIATE_TEST_SUITE_P(EveryReader, ReadTarget, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<TargetCase>& info) { return info.param.name; });

}  // namespace
}  // namespace zk
