// XML reader: both layouts, the codes at the moment they arise, stopping at
// the root's end, encodings, round trips with the writer, and hostile input.
#include <gtest/gtest.h>
#include <pthread.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "codec/limits.h"
#include "codec/xml/xml_read_state.h"
#include "codec/xml/xml_reader.h"
#include "tests/support/codec_cases.h"
#include "tests/support/printable.h"
#include "tests/support/small_stack.h"
#include "zk_data/codec/error_codes.h"

namespace zk {
namespace {

struct Result {
    uint32_t code;
    uint32_t consumed;  // the stream's reported position
};

Result Read(std::string_view doc, DataNode& node, uint32_t options = 0) {
    Result r;
    r.code = test::FormatIo(FormatId::Xml, options).Read(doc, node, &r.consumed);
    return r;
}

constexpr uint32_t kFree = OptionFlags::XmlFreeForm;

std::string Bytes(std::string_view bytes) { return test::Printable(bytes); }

// A compact picture of a tree: strings marked t (Text), b (Binary) or u.
std::string Show(const DataNode& n) {
    std::string s;
    switch (n.type()) {
    case NodeType::Str:
        s = n.kind() == ValueKind::Text ? "t\"" : n.kind() == ValueKind::Binary ? "b\"" : "u\"";
        return s.append(Bytes(n.str().view())).append("\"");
    case NodeType::Int: return std::to_string(n.num());
    case NodeType::List:
        s = "[";
        for (const NodeRef& item : n.list()) s.append(s.size() > 1 ? "," : "").append(Show(*item));
        return s + "]";
    case NodeType::Map:
        s = "{";
        for (const MapValue::Entry& e : n.map())
            s.append(s.size() > 1 ? "," : "").append(Bytes(e.key.view())).append(":").append(Show(*e.child));
        return s + "}";
    default: return "none";
    }
}

std::string Written(const DataNode& n, uint32_t options = 0) {
    test::Output out = test::FormatIo(FormatId::Xml, options).Written(n);
    EXPECT_EQ(out.code, err::Ok);
    return out.bytes;
}

// Runs body on a thread with a 1 MiB stack, the size hosts commonly give.
void OnSmallStack(const std::function<void()>& body) { test_support::RunOnStack(1 << 20, body); }

struct Case {
    const char* doc;
    const char* tree;
    uint32_t code = err::Ok;
};

void ExpectReads(std::initializer_list<Case> cases, uint32_t options = 0) {
    for (const Case& c : cases) {
        DataNode n;
        Result r = Read(c.doc, n, options);
        EXPECT_EQ(r.code, c.code) << c.doc;
        EXPECT_EQ(Show(n), c.tree) << c.doc;  // on failure: what was built so far
        if (c.code) {
            EXPECT_EQ(r.consumed, 0u) << c.doc;  // left at the start, position reported
        }
    }
}

const char kTypedExample[] =
    "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<zk_data type=\"map\">\r\n\t<item key=\"s\">\r\n"
    "\t\t<zk_data type=\"str\">a&lt;b</zk_data>\r\n\t</item>\r\n\t<item key=\"n\">\r\n"
    "\t\t<zk_data type=\"int\">-5</zk_data>\r\n\t</item>\r\n\t<item key=\"l\">\r\n\t\t<zk_data type=\"list\">\r\n"
    "\t\t\t<zk_data type=\"int\">7</zk_data>\r\n\t\t\t<zk_data type=\"str\" encoding=\"base64\">AP8=</zk_data>\r\n"
    "\t\t</zk_data>\r\n\t</item>\r\n</zk_data>";

TEST(XmlReaderTyped, ExampleReadsBackInAnyWhiteSpace) {
    std::string compact, spaced;
    for (const char* p = kTypedExample; *p; ++p) {
        if (*p != '\r' && *p != '\n' && *p != '\t') compact += *p;
        spaced += *p == '\t' ? std::string(" \n ") : std::string(1, *p);
    }
    for (const std::string& doc : {std::string(kTypedExample), compact, spaced}) {
        DataNode n;
        Result r = Read(doc, n);
        EXPECT_EQ(r.code, err::Ok);
        EXPECT_EQ(r.consumed, doc.size());
        EXPECT_EQ(Show(n), R"({s:t"a<b",n:-5,l:[7,b"\x00\xFF"]})");
        EXPECT_EQ(n.mapGet("n").kind(), ValueKind::UInt64);
    }
}

TEST(XmlReaderTyped, WriterOutputRoundTrips) {
    DataNode tree;
    tree.mapGet("text").setStr("\xE4\xB8\xAD <&>'\" \t");
    tree.mapGet("bin").setStr(std::string_view("\x00\x01\xFE", 3), ValueKind::Binary);
    tree.mapGet("ascii").setStr("plain", ValueKind::Binary);  // needs no base64: comes back as Text
    tree.mapGet("big").setInt(INT64_MIN, ValueKind::Int8);   // every Int comes back as UInt64
    DataNode& inner = tree.mapGet("k<\"&>'").mapGet("inner");
    inner.listAt(2).setInt(9, ValueKind::Int8);
    inner.listAt(0).setType(static_cast<int32_t>(NodeType::Map));
    inner.listAt(1).setType(static_cast<int32_t>(NodeType::List));
    // XML normalises line ends and attribute values, so CR in text and TAB,
    // CR and LF in a key are written as character references: they come
    // back as they were. Text XML cannot carry comes back through base64.
    tree.mapGet("a\tb\r\nc\rd").setStr("x\r\ny\rz");
    tree.mapGet("\x01\xFF").setStr("\x02\xC3", ValueKind::Text);
    for (uint32_t options : {0u, uint32_t(OptionFlags::XmlCompact)}) {
        DataNode back;
        ASSERT_EQ(Read(Written(tree, options), back).code, err::Ok);
        EXPECT_EQ(Show(back), R"({text:t"\xE4\xB8\xAD <&>'" \x09",bin:b"\x00\x01\xFE",ascii:t"plain",)"
                              R"(big:-9223372036854775808,k<"&>':{inner:[{},[],9]},)"
                              R"(a\x09b\x0D\x0Ac\x0Dd:t"x\x0D\x0Ay\x0Dz",\x01\xFF:b"\x02\xC3"})");
        EXPECT_EQ(back.mapGet("big").kind(), ValueKind::UInt64);
        EXPECT_TRUE(back.equals(tree));
    }
}

TEST(XmlReaderTyped, ElementText) {
    ExpectReads({
        {R"(<zk_data type="str"> a </zk_data>)", R"(t" a ")"},
        {R"(<zk_data type="int"> 42 </zk_data>)", "42"},
        {R"(<zk_data type="int">12ab</zk_data>)", "12"},
        {R"(<zk_data type="int"></zk_data>)", "0"},
        {R"(<zk_data type="int">-99999999999999999999</zk_data>)", "-9223372036854775808"},  // saturates
        {R"(<zk_data type="str" encoding="base64"></zk_data>)", R"(b"")"},
        {R"(<zk_data type="str" encoding="base64">YW&#10;Jj</zk_data>)", R"(b"abc")"},
        {R"(<zk_data type="str" encoding="base64">not base64!</zk_data>)", R"(b"not base64!")"},  // kept
        {R"(<zk_data type="str" encoding="other" extra="1">x</zk_data>)", R"(t"x")"},
        {"<zk_data type=\"str\">a\r\nb\rc</zk_data>", R"(t"a\x0Ab\x0Ac")"},
        {R"(<zk_data type="str">x<![CDATA[<ab>]]>y</zk_data>)", R"(t"<ab>")"},
        {R"(<zk_data type="str"><![CDATA[1]]>z<![CDATA[2]]></zk_data>)", R"(t"2")"},
        {R"(<zk_data type="map"><item key="YQ==" encoding="base64"><zk_data type="int">1</zk_data></item>)"
         R"(<item key="" encoding="base64"><zk_data type="int">2</zk_data></item></zk_data>)",
         "{a:1,:2}"},
        {R"(<zk_data type="map"><item key="a"><zk_data type="int">1</zk_data></item><item key="b">)"
         R"(<zk_data type="int">2</zk_data></item><item key="a"><zk_data type="int">3</zk_data></item></zk_data>)",
         "{a:3,b:2}"},  // a repeated key overwrites and keeps its place
        // A zk_data that is not a list item fills the node on top again.
        {R"(<zk_data type="map"><item key="a"><zk_data type="int">1</zk_data>)"
         R"(<zk_data type="str">x</zk_data></item></zk_data>)",
         R"(t"x")"},
    });
    const std::string doc = R"(<zk_data type="map"><zk_data type="int">5</zk_data>)";
    DataNode n;
    Result r = Read(doc + "</zk_data>", n);
    EXPECT_EQ(Show(n), "5");
    EXPECT_EQ(r.consumed, doc.size());  // the inner end tag ended the reading
}

// The first failure is the result. The parser still delivers the rest of
// the event it stopped in (the end of an empty-element tag), which used to
// pop the root and complete the reading with 0, or to go on changing the
// tree; now it does neither, and the stream is left at its start.
TEST(XmlReaderTyped, AFailureIsFinal) {
    ExpectReads({
        {R"(<zk_data type="int"><zk_data type="bad"/></zk_data>)", "0", err::Unsupported},
        {R"(<zk_data type="int"><zk_data/>)", "0", err::Unsupported},
        {R"(<zk_data type="str">ab<zk_data/></zk_data>)", R"(t"")", err::Unsupported},
        {R"(<zk_data type="map"><item key="a"><zk_data type="int">1</zk_data><zk_data type="x"/></item></zk_data>)",
         "{a:1}", err::Unsupported},
        {R"(<zk_data type="list"><zk_data/></zk_data>)", "[none]", err::Unsupported},
        {R"(<zk_data type="int"><item key="a"/></zk_data>)", "0", err::XmlItemNotInMap},
        {R"(<zk_data type="int"><x/></zk_data>)", "0", err::XmlUnknownElement},
        {R"(<zk_data type="map"><item/></zk_data>)", "{}", err::XmlItemWithoutKey},
    });
    // Directly: a later stop, of another code or of success, keeps the first.
    for (uint32_t later : {err::Ok, err::XmlParse}) {
        DataNode n;
        XmlReadState state(n, false);
        state.parser = XML_ParserCreate(nullptr);
        state.StopReading(err::XmlItemWithoutKey);
        state.StopReading(later);
        EXPECT_EQ(state.errorCode, err::XmlItemWithoutKey);
        EXPECT_EQ(state.consumed, 0u);
        XML_ParserFree(state.parser);
    }
}

TEST(XmlReaderTyped, Errors) {
    ExpectReads({
        {"", "none", err::StreamFailure},
        {R"(<zk_data type="list"><zk_data type="int">1</zk_data>)", "[1]", err::XmlParse},
        {R"(<zk_data type="list"><item key="a"/></zk_data>)", "[]", err::XmlItemNotInMap},
        {R"(<zk_data type="map"><item/></zk_data>)", "{}", err::XmlItemWithoutKey},
        {R"(<zk_data type="map"><item key="a"></item></zk_data>)", "{a:none}", err::Unsupported},
        {R"(<zk_data type="map"><item key="a"></item><item key="b"></item></zk_data>)", "{a:none}",
         err::XmlItemNotInMap},
        {"<data/>", "none", err::XmlUnknownElement},
        {R"(<zk_data type="map"><item key="a"><b/></item></zk_data>)", "{a:none}", err::XmlUnknownElement},
        {R"(<item key="a"/>)", "none", err::XmlItemNotInMap},
        {"<item/>", "none", err::XmlItemWithoutKey},
        {"<zk_data/>", "none", err::Unsupported},
        {R"(<zk_data type="Str">x</zk_data>)", "none", err::Unsupported},
        {R"(<zk_data type="list"><zk_data type="int">1</zk_data><zk_data/></zk_data>)", "[1,none]", err::Unsupported},
        {"<zk_data type=\"str\">a\x01</zk_data>", "t\"\"", err::XmlParse},
        {R"(<zk_data type="str">a</zk_dat>)", "t\"\"", err::XmlParse},
        {"<?xml version=\"1.0\"?><!-- no element -->", "none", err::XmlParse},
    });
}

TEST(XmlReaderStream, StartsAtTheBeginningAndStopsAfterTheRoot) {
    const std::string doc = R"(<zk_data type="int">1</zk_data>)";
    for (const char* tail : {"", "\r\n", "<<<garbage", "<zk_data type=\"int\">2</zk_data>", "\xFF\xFE"}) {
        DataNode n;
        Result r = Read(doc + tail, n);
        EXPECT_EQ(r.code, err::Ok) << tail;
        EXPECT_EQ(r.consumed, doc.size()) << tail;
        EXPECT_EQ(Show(n), "1");
    }
    DataNode e;
    EXPECT_EQ(Read(R"(<zk_data type="str"/>junk)", e).consumed, 21u);

    // Many chunks, and the root ends in the middle of one.
    DataNode tree;
    for (int i = 0; i < 3000; ++i) tree.listAt(i).setStr("value " + std::to_string(i) + " & more", ValueKind::Text);
    std::string big = Written(tree);
    DataNode back;
    Result r = Read(big + std::string(5000, '#'), back);
    EXPECT_EQ(r.code, err::Ok);
    EXPECT_EQ(r.consumed, big.size());
    EXPECT_EQ(Show(back.listAt(2999)), R"(t"value 2999 & more")");

    // The stream's position does not matter; the target is reset, its options stay.
    InputStream in(doc);
    in.seek(5);
    DataNode n;
    n.setStr("old");
    n.setOption(OptionFlags::XmlCompact, true);
    EXPECT_EQ(ReadXml(in, n), err::Ok);
    EXPECT_EQ(Show(n), "1");
    EXPECT_TRUE(n.hasOption(OptionFlags::XmlCompact));

    in.setFailed();
    EXPECT_EQ(ReadXml(in, n), err::BadArgument);
    EXPECT_EQ(Show(n), "1");  // untouched
}

std::string WithDecl(const char* encoding, const std::string& body) {
    return std::string("<?xml version=\"1.0\" encoding=\"") + encoding + "\"?>" + body;
}

TEST(XmlReaderEncoding, DeclarationsDecideTheGbkOption) {
    for (const char* name : {"utf-8", "UTF-8", "Utf-8"}) {
        DataNode n;
        n.setOption(OptionFlags::XmlGbk, true);
        EXPECT_EQ(Read(WithDecl(name, R"(<zk_data type="int">1</zk_data>)"), n).code, err::Ok) << name;
        EXPECT_FALSE(n.hasOption(OptionFlags::XmlGbk)) << name;
    }
    for (const char* doc : {"<?xml version=\"1.0\"?><r/>", "<r/>"}) {
        DataNode n;
        n.setOption(OptionFlags::XmlGbk, true);
        EXPECT_EQ(Read(doc, n, kFree).code, err::Ok);
        EXPECT_EQ(n.hasOption(OptionFlags::XmlGbk), doc[1] == 'r') << doc;  // no declaration: as it was
    }
    for (const char* name : {"gbk", "GBK", "Gb2312", "GB2312"}) {
        DataNode n;
        EXPECT_EQ(Read(WithDecl(name, R"(<zk_data type="int">1</zk_data>)"), n).code, err::XmlEncoding) << name;
    }
    for (const char* name : {"ISO-8859-1", "US-ASCII", "UTF-16", "big5", "latin1"}) {
        DataNode typed, free;
        EXPECT_EQ(Read(WithDecl(name, R"(<zk_data type="int">1</zk_data>)"), typed).code, err::XmlEncoding) << name;
        EXPECT_EQ(Read(WithDecl(name, "<r>x</r>"), free, kFree).code, err::XmlEncoding) << name;
    }
}

TEST(XmlReaderEncoding, FreeFormReadsGbkAsUtf8AndWritesItBack) {
    const std::string body = "<r a=\"\xD6\xD0\"><\xCE\xC4>\xD6\xD0\xCE\xC4</\xCE\xC4></r>";  // 中, 文
    for (const char* name : {"gbk", "GBK", "gb2312", "Gb2312"}) {
        DataNode n;
        Result r = Read(WithDecl(name, body) + "\xD6", n, kFree);
        EXPECT_EQ(r.code, err::Ok) << name;
        EXPECT_EQ(r.consumed, WithDecl(name, body).size()) << name;
        EXPECT_TRUE(n.hasOption(OptionFlags::XmlGbk)) << name;
        EXPECT_EQ(Show(n), R"({r@:{a:b"\xE4\xB8\xAD"},r:{\xE6\x96\x87:t"\xE4\xB8\xAD\xE6\x96\x87"}})") << name;
    }
    DataNode n;
    ASSERT_EQ(Read(WithDecl("gbk", "<r><t>\xD6\xD0&amp;</t></r>"), n, kFree).code, err::Ok);
    EXPECT_EQ(Written(n, OptionFlags::XmlCompact), WithDecl("gbk", "<r><t>\xD6\xD0&amp;</t></r>"));

    // Two-byte sequences across every chunk edge.
    std::string text, expected;
    for (int i = 0; i < 3000; ++i) {
        text += i % 3 ? "\xD6\xD0" : "a";
        expected += i % 3 ? "\xE4\xB8\xAD" : "a";
    }
    DataNode split;
    ASSERT_EQ(Read(WithDecl("gbk", "<r>" + text + "</r>"), split, kFree).code, err::Ok);
    EXPECT_EQ(split.mapGet("r").str().view(), expected);

    // Ending inside a sequence, or a pair code page 936 rejects, fails cleanly.
    for (std::string broken : {"<r>\xD6", "<r>\xFF\xFF</r>", "<r a=\"\xD6\"/>"}) {
        DataNode b;
        EXPECT_EQ(Read(WithDecl("gbk", broken), b, kFree).code, err::XmlParse) << broken;
    }
}

TEST(XmlReaderEncoding, HandlersDirectly) {
    EXPECT_EQ(ConvertGbkPair(nullptr, "\xD6\xD0"), 0x4E2D);
    EXPECT_EQ(ConvertGbkPair(nullptr, "\xFF\xFF"), -1);
    XML_Encoding info{};
    EXPECT_EQ(OnUnknownEncoding(nullptr, nullptr, &info) + OnUnknownEncoding(nullptr, "big5", &info), 0);
    EXPECT_EQ(OnUnknownEncoding(nullptr, "gBk", &info), 1);
    EXPECT_EQ(std::vector<int>(info.map + 0x7E, info.map + 0x82), (std::vector<int>{0x7E, 0x7F, -2, -2}));
    EXPECT_EQ(info.map[0xFF], -2);
    EXPECT_TRUE(info.convert == &ConvertGbkPair && !info.release);
}

TEST(XmlReaderFreeForm, ExampleReadsAndWritesBackInItsOwnShape) {
    const std::string doc = R"(<doc v="1"><title>x &amp; y</title><n>3</n><empty/><bin><![CDATA[ab]]></bin></doc>)";
    DataNode n;
    Result r = Read(doc + "\r\n<second/>", n, kFree);
    EXPECT_EQ(r.code, err::Ok);
    EXPECT_EQ(r.consumed, doc.size());
    EXPECT_EQ(Show(n), R"({doc@:{v:b"1"},doc:{title:t"x & y",n:t"3",empty:t"",bin:b"ab"}})");
    EXPECT_EQ(Written(n), "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<doc v=\"1\">\r\n\t<title>x &amp; y</title>\r\n"
                          "\t<n>3</n>\r\n\t<empty/>\r\n\t<bin><![CDATA[ab]]></bin>\r\n</doc>");
}

TEST(XmlReaderFreeForm, Shapes) {
    ExpectReads(
        {
            {"<r><x>1</x><x>2</x><y>3</y></r>", R"({r:[{x:t"1"},{x:t"2"},{y:t"3"}]})"},
            {"<r><y>0</y><x>1</x><x>2</x></r>", R"({r:[{y:t"0"},{x:t"1"},{x:t"2"}]})"},
            {R"(<r><x a="1">1</x><x>2</x><x b="2"/></r>)", R"({r:[{x@:{a:b"1"},x:t"1"},{x:t"2"},{x@:{b:b"2"},x:t""}]})"},
            {"<r><x><a>1</a><a>2</a></x><x/></r>", R"({r:[{x:[{a:t"1"},{a:t"2"}]},{x:t""}]})"},
            {"<r>t<a>1</a>u</r>", R"({r:{a:t"1"}})"},  // an element with children drops its text
            {"<r>a\r\nb</r>", R"({r:t"a\x0Ab"})"},
            {"<r>a<![CDATA[<b>]]>c</r>", R"({r:b"<b>"})"},
            {"<r><![CDATA[]]></r>", R"({r:b""})"},
            {"<r>&#x4E2D;&lt;</r>", R"({r:t"\xE4\xB8\xAD<"})"},
            {"<r a=\"x&#9;y\tz\r\nw\"/>", R"({r@:{a:b"x\x09y z w"},r:t""})"},
            {"<r><a>1</a>", R"({r:{a:t"1"}})", err::XmlParse},
        },
        kFree);
    DataNode n;
    ASSERT_EQ(Read(R"(<r><x a="1">1</x><x>2</x><y>3</y></r>)", n, kFree).code, err::Ok);
    EXPECT_EQ(Written(n, OptionFlags::XmlCompact),
              R"(<?xml version="1.0" encoding="utf-8"?><r><x a="1">1</x><x>2</x><y>3</y></r>)");
}

std::string Nested(uint32_t depth, const char* open, const char* innermost, const char* close) {
    std::string doc;
    for (uint32_t i = 1; i < depth; ++i) doc += open;
    doc += innermost;
    for (uint32_t i = 1; i < depth; ++i) doc += close;
    return doc;
}

// The bound itself, for both layouts, is in depth_test.cpp.
TEST(XmlHostile, DepthIsBoundedOnASmallStack) {
    OnSmallStack([] {
        // Past the bound, an empty element's end must neither undo the
        // refusal nor close the element above it.
        for (const char* innermost : {"<x>1</x>", "<x/>", "<x a=\"1\"/>"}) {
            DataNode deep;
            EXPECT_EQ(Read(Nested(kMaxDepth + 1, "<e>", innermost, "</e>"), deep, kFree).code, err::XmlParse);
            const DataNode* p = &deep;
            uint32_t depth = 0;
            for (; p->isMap(); ++depth) p = p->map().find("e")->get();
            EXPECT_EQ(depth, kMaxDepth) << innermost;
            EXPECT_TRUE(p->isNone()) << innermost;
        }
    });
}

std::string EntityChain(int count) {
    std::string doc = "<!DOCTYPE r [<!ENTITY e0 \"x\">";
    for (int i = 1; i < count; ++i) doc += "<!ENTITY e" + std::to_string(i) + " \"&e" + std::to_string(i - 1) + ";\">";
    return doc + "]><r>&e" + std::to_string(count - 1) + ";</r>";
}

TEST(XmlHostile, EntitiesCannotExplodeRecurseOrReachOut) {
    // expat's amplification limit is what stops a billion laughs: it must be there.
    bool protection = false;
    for (const XML_Feature* f = XML_GetFeatureList(); f->feature != XML_FEATURE_END; ++f)
        protection |= f->feature == XML_FEATURE_BILLION_LAUGHS_ATTACK_PROTECTION_MAXIMUM_AMPLIFICATION_DEFAULT;
    ASSERT_TRUE(protection);
    std::string laughs = "<!DOCTYPE r [<!ENTITY a0 \"lollollollollollollollollollol\">";
    for (int i = 1; i < 10; ++i) {
        laughs += "<!ENTITY a" + std::to_string(i) + " \"";
        for (int j = 0; j < 10; ++j) laughs += "&a" + std::to_string(i - 1) + ";";
        laughs += "\">";
    }
    auto start = std::chrono::steady_clock::now();
    DataNode n;
    EXPECT_EQ(Read(laughs + "]><r>&a9;</r>", n, kFree).code, err::XmlParse);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));

    OnSmallStack([] {
        DataNode few;
        EXPECT_EQ(Read(EntityChain(100), few, kFree).code, err::Ok);
        EXPECT_EQ(Show(few), R"({r:t"x"})");
        DataNode many;
        uint32_t code = Read(EntityChain(20000), many, kFree).code;  // reaching the next line is the test
        XML_Expat_Version v = XML_ExpatVersionInfo();
        if (v.major == 2 && v.minor < 7) {
            EXPECT_EQ(code, err::XmlParse);
        }
    });

    DataNode external;
    EXPECT_EQ(Read(R"(<!DOCTYPE r [<!ENTITY x SYSTEM "file:///etc/passwd">]><r>&x;</r>)", external, kFree).code, err::Ok);
    EXPECT_EQ(Show(external), R"({r:t""})");
}

TEST(XmlHostile, AHugeTokenIsNotRescannedChunkByChunk) {
    // One 8 MiB attribute value: with fixed 1 KiB chunks expat 2.5.0 rescans
    // it from its start on every chunk, which takes minutes.
    std::string doc = "<r a=\"" + std::string(8 << 20, 'x') + "\"/>";
    auto start = std::chrono::steady_clock::now();
    DataNode n;
    EXPECT_EQ(Read(doc, n, kFree).code, err::Ok);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_EQ(n.mapGet("r@").mapGet("a").size(), 8u << 20);
}

}  // namespace
}  // namespace zk
