// XML writer: both layouts byte for byte, base64 and escaping, GBK, errors.
// The depth bound is tested with the reader (xml_reader_test.cpp).
#include <gtest/gtest.h>

#include <string>

#include "codec/xml/xml_writer.h"
#include "tests/support/codec_cases.h"
#include "zk_data/codec/error_codes.h"
#include "zk_data/text/base64.h"

namespace zk {
namespace {

const std::string kDecl = R"(<?xml version="1.0" encoding="utf-8"?>)";
using Lines = std::initializer_list<std::pair<int, const char*>>;  // TABs, text

std::string Join(Lines lines, bool compact = false) {
    std::string s;
    for (auto [tabs, text] : lines) {
        if (!s.empty() && !compact) s += "\r\n";
        if (!compact) s.append(tabs, '\t');
        s += text;
    }
    return s;
}

test::Output Write(const DataNode& node, uint32_t options = 0) {
    return test::FormatIo(FormatId::Xml, options).Written(node);
}

// The body of a compact document, declaration dropped.
std::string Body(const DataNode& node, uint32_t options = 0) {
    return Write(node, options | OptionFlags::XmlCompact).bytes.substr(kDecl.size());
}

DataNode Str(std::string_view bytes, int32_t kind) {
    DataNode n;
    n.setStr(bytes, kind);
    return n;
}

const Lines kTypedExample = {
    {0, R"(<?xml version="1.0" encoding="utf-8"?>)"},
    {0, R"(<zk_data type="map">)"},
    {1, R"(<item key="s">)"},
    {2, R"(<zk_data type="str">a&lt;b</zk_data>)"},
    {1, "</item>"},
    {1, R"(<item key="n">)"},
    {2, R"(<zk_data type="int">-5</zk_data>)"},
    {1, "</item>"},
    {1, R"(<item key="l">)"},
    {2, R"(<zk_data type="list">)"},
    {3, R"(<zk_data type="int">7</zk_data>)"},
    {3, R"(<zk_data type="str" encoding="base64">AP8=</zk_data>)"},
    {2, "</zk_data>"},
    {1, "</item>"},
    {0, "</zk_data>"},
};

TEST(XmlWriterTyped, ExampleIsByteExactWithAndWithoutCompact) {
    DataNode root;
    root.mapGet("s").setStr("a<b");
    root.mapGet("n").setInt(-5, ValueKind::Int32);
    root.mapGet("l").listAt(0).setInt(7, ValueKind::Int64);
    root.mapGet("l").listAt(1).setStr(std::string_view("\0\xFF", 2), ValueKind::Binary);
    EXPECT_EQ(Write(root).code, err::Ok);
    EXPECT_EQ(Write(root).bytes, Join(kTypedExample));
    EXPECT_EQ(Write(root, OptionFlags::XmlCompact).bytes, Join(kTypedExample, true));
    // Option bits of nested nodes have no effect.
    root.mapGet("l").setOption(OptionFlags::XmlCompact | OptionFlags::XmlFreeForm | OptionFlags::XmlGbk, true);
    EXPECT_EQ(Write(root).bytes, Join(kTypedExample));
}

TEST(XmlWriterTyped, StringsAreEscapedOrBase64ByKind) {
    const int32_t text = ValueKind::Text, bin = ValueKind::Binary, none = ValueKind::Unspecified;
    struct Case {
        std::string_view bytes;
        int32_t kind;
        const char* body;
    } cases[] = {
        {R"(<>&'")", text, R"(<zk_data type="str">&lt;&gt;&amp;&apos;&quot;</zk_data>)"},
        // Text keeps UTF-8, TAB and LF; CR is a reference, since a parser
        // reads a CR as LF.
        {"\xE4\xB8\xAD\r\n\t\x7F\xC2\x85", text, "<zk_data type=\"str\">\xE4\xB8\xAD&#13;\n\t\x7F\xC2\x85</zk_data>"},
        // What XML cannot carry at all sends text to base64 too: a control
        // byte, ill-formed UTF-8, U+FFFF.
        {"\xE4\xB8\xAD\r\n\t\x01", text, R"(<zk_data type="str" encoding="base64">5LitDQoJAQ==</zk_data>)"},
        {"\xC3(", text, R"(<zk_data type="str" encoding="base64">wyg=</zk_data>)"},
        {"\xEF\xBF\xBF", text, R"(<zk_data type="str" encoding="base64">77+/</zk_data>)"},
        {"ab\n", bin, R"(<zk_data type="str" encoding="base64">YWIK</zk_data>)"},
        {"a\x80", none, R"(<zk_data type="str" encoding="base64">YYA=</zk_data>)"},
        {"a<\x7F~ ", bin, "<zk_data type=\"str\">a&lt;\x7F~ </zk_data>"},  // 0x20..0x7F: escaped
        {"", bin, R"(<zk_data type="str"></zk_data>)"},
    };
    for (const Case& c : cases) EXPECT_EQ(Body(Str(c.bytes, c.kind)), c.body) << c.bytes;

    // Base64 goes out in blocks; the text must equal the whole string's.
    for (size_t n : {767u, 768u, 769u, 2000u}) {
        std::string bytes(n, '\0');
        for (size_t i = 0; i < n; ++i) bytes[i] = static_cast<char>(i * 7);
        ByteString expected;
        ASSERT_TRUE(Base64Encode(ByteString(bytes), expected));
        EXPECT_EQ(Body(Str(bytes, bin)),
                  R"(<zk_data type="str" encoding="base64">)" + std::string(expected.view()) + "</zk_data>");
    }
}

TEST(XmlWriterTyped, IntsContainersAndKeys) {
    DataNode n;
    n.setInt(-1, ValueKind::UInt64);  // 2^64 - 1 unsigned is written signed
    EXPECT_EQ(Body(n), R"(<zk_data type="int">-1</zk_data>)");
    n.setInt(INT64_MIN, ValueKind::Int64);
    EXPECT_EQ(Body(n), R"(<zk_data type="int">-9223372036854775808</zk_data>)");

    n.reset();
    n.setType(static_cast<int32_t>(NodeType::List));
    EXPECT_EQ(Write(n).bytes, kDecl + "\r\n<zk_data type=\"list\">\r\n</zk_data>");

    // Keys are escaped, with TAB, LF and CR as references (an attribute
    // value turns them into spaces); a key XML cannot carry goes in base64.
    // Order is insertion order.
    n.reset();
    n.mapGet("z\"<\x80\t").setType(static_cast<int32_t>(NodeType::Map));
    n.mapGet("a").setInt(1, ValueKind::Int8);
    n.mapGet("\t\n\r'\xE4\xB8\xAD").setInt(2, ValueKind::Int8);
    EXPECT_EQ(Body(n), "<zk_data type=\"map\"><item key=\"eiI8gAk=\" encoding=\"base64\"><zk_data type=\"map\"></zk_data>"
                       "</item><item key=\"a\"><zk_data type=\"int\">1</zk_data></item><item key=\"&#9;&#10;&#13;&apos;"
                       "\xE4\xB8\xAD\"><zk_data type=\"int\">2</zk_data></item></zk_data>");
}

TEST(XmlWriterErrors, CodesAndWhatStaysWritten) {
    DataNode none;
    EXPECT_EQ(Write(none).code, err::Unsupported);
    EXPECT_EQ(Write(none).bytes, kDecl);

    DataNode list;
    list.listAt(0).setInt(1, ValueKind::Int32);
    list.listAt(2).setInt(3, ValueKind::Int32);  // item 1 stays None
    test::Output w = Write(list, OptionFlags::XmlCompact);
    EXPECT_EQ(w.code, err::Unsupported);
    EXPECT_EQ(w.bytes, kDecl + R"(<zk_data type="list"><zk_data type="int">1</zk_data>)");

    // GBK needs the free-form layout; nothing is written without it.
    EXPECT_EQ(Write(list, OptionFlags::XmlGbk).code, err::BadArgument);
    EXPECT_EQ(Write(list, OptionFlags::XmlGbk).bytes, "");
    OutputStream out;
    EXPECT_EQ(WriteXmlNode(out, list, 0, false, false, true), err::BadArgument);

    out.setFailed();
    EXPECT_EQ(WriteXml(out, list), err::BadArgument);
    EXPECT_EQ(WriteXmlNode(out, list, 0, false, true, false), err::BadArgument);
    DataNode attributes;
    attributes.mapGet("a").setStr("1");
    EXPECT_EQ(WriteXmlAttributes(out, attributes, false), err::StreamFailure);
    EXPECT_EQ(out.size(), 0u);
}

TEST(XmlWriterFreeForm, ExampleIsByteExact) {
    DataNode root;
    root.mapGet("doc@").mapGet("v").setStr("1");
    DataNode& doc = root.mapGet("doc");
    doc.mapGet("title").setStr("x & y");
    doc.mapGet("n").setInt(3, ValueKind::Int32);
    doc.mapGet("empty").setStr("");
    doc.mapGet("bin").setStr("ab", ValueKind::Binary);
    Lines lines = {{0, kDecl.c_str()},
                   {0, R"(<doc v="1">)"},
                   {1, "<title>x &amp; y</title>"},
                   {1, "<n>3</n>"},
                   {1, "<empty/>"},
                   {1, "<bin><![CDATA[ab]]></bin>"},
                   {0, "</doc>"}};
    EXPECT_EQ(Write(root, OptionFlags::XmlFreeForm).code, err::Ok);
    EXPECT_EQ(Write(root, OptionFlags::XmlFreeForm).bytes, Join(lines));
    EXPECT_EQ(Write(root, OptionFlags::XmlFreeForm | OptionFlags::XmlCompact).bytes, Join(lines, true));
}

TEST(XmlWriterFreeForm, ElementsAttributesAndValues) {
    DataNode n;
    DataNode& r = n.mapGet("r");
    r.mapGet("i").setInt(-7, ValueKind::UInt16);
    r.mapGet("e").setStr("", ValueKind::Binary);
    r.mapGet("b").setStr("a<]]b\t\n", ValueKind::Binary);  // CDATA: bytes unchanged
    r.mapGet("t").setStr("a<b\r\n\t", ValueKind::Text);
    r.mapGet("u").setStr("'", ValueKind::Unspecified);
    r.mapGet("x").setStr("v");
    r.mapGet("x@").mapGet("a").setStr("<&\">\t\n\r");  // after its element, written with it
    r.mapGet("x@").mapGet("n").setInt(-2, ValueKind::Int32);
    r.mapGet("only@").mapGet("k").setStr("1");  // attributes without an element
    r.mapGet("\xE4\xB8\xAD:_.-9").setStr("raw");  // names are written as the keys hold them
    EXPECT_EQ(Body(n, OptionFlags::XmlFreeForm),
              "<r><i>-7</i><e/><b><![CDATA[a<]]b\t\n]]></b><t>a&lt;b&#13;\n\t</t><u>&apos;</u>"
              R"(<x a="&lt;&amp;&quot;&gt;&#9;&#10;&#13;" n="-2">v</x><only k="1"/>)"
              "<\xE4\xB8\xAD:_.-9>raw</\xE4\xB8\xAD:_.-9></r>");
}

// A zero byte has no form in XML: a value holding one anywhere, before,
// between and after the bytes to replace, in and past the first 16 bytes, is
// refused (it used to be cut there).
TEST(XmlWriterFreeForm, AZeroByteAnywhereIsRefused) {
    const std::string text = "ab<cdefghijklmn&opqrstuvwxyz0123456789>";
    for (size_t zero = 0; zero < text.size(); ++zero) {
        std::string value = text;
        value[zero] = '\0';
        for (bool attribute : {false, true}) {
            DataNode n;
            (attribute ? n.mapGet("t@").mapGet("a") : n.mapGet("t")).setStr(value, ValueKind::Text);
            EXPECT_EQ(Write(n, OptionFlags::XmlFreeForm).code, err::Unsupported) << zero << attribute;
        }
    }
}

TEST(XmlWriterFreeForm, ListItemsStayAtTheListsLevel) {
    DataNode n;
    DataNode& r = n.mapGet("r");
    r.listAt(0).mapGet("x").setStr("1");
    r.listAt(1).mapGet("x@").mapGet("k").setStr("v");
    r.listAt(1).mapGet("x").setStr("2");
    r.listAt(2).mapGet("y").setStr("3");
    EXPECT_EQ(Write(n, OptionFlags::XmlFreeForm).bytes,
              Join({{0, kDecl.c_str()}, {0, "<r>"}, {1, "<x>1</x>"}, {1, R"(<x k="v">2</x>)"}, {1, "<y>3</y>"}, {0, "</r>"}}));
}

TEST(XmlWriterFreeForm, ErrorsStopWhereTheyArise) {
    struct Case {
        const char* name;
        DataNode tree;
        uint32_t code;
        const char* body;
    } cases[] = {
        {"second root", {}, err::XmlManyRoots, "<a>1</a>"},
        {"Str root", Str("x", ValueKind::Text), err::Unsupported, ""},
        {"Int list item", {}, err::Unsupported, "<r>"},
        {"None value", {}, err::Unsupported, "<r><x>"},
        {"attribute value a list", {}, err::Unsupported, R"(<x a="1" b=")"},
    };
    cases[0].tree.mapGet("a").setStr("1");
    cases[0].tree.mapGet("b").setStr("2");
    cases[2].tree.mapGet("r").listAt(0).setInt(1, ValueKind::Int32);
    cases[3].tree.mapGet("r").mapGet("x");
    cases[4].tree.mapGet("x@").mapGet("a").setStr("1");
    cases[4].tree.mapGet("x@").mapGet("b").listAt(0);
    for (const Case& c : cases) {
        test::Output w = Write(c.tree, OptionFlags::XmlFreeForm | OptionFlags::XmlCompact);
        EXPECT_EQ(w.code, c.code) << c.name;
        EXPECT_EQ(w.bytes, kDecl + c.body) << c.name;
    }
    // A host may store anything under "x@"; only a map is attributes.
    for (int type : {0, 1, 2, 3}) {
        DataNode n;
        n.mapGet("x").setStr("1");
        DataNode& a = n.mapGet("x@");
        if (type == 1) a.setStr("v");
        if (type == 2) a.setInt(1, ValueKind::Int32);
        if (type == 3) a.listAt(0).setStr("v");
        test::Output w = Write(n, OptionFlags::XmlFreeForm | OptionFlags::XmlCompact);
        EXPECT_EQ(w.code, err::Unsupported) << type;
        EXPECT_EQ(w.bytes, kDecl + "<x") << type;
    }
}

TEST(XmlWriterFreeForm, GbkConvertsTextAndAttributeValuesOnly) {
    DataNode n;
    n.mapGet("r@").mapGet("a").setStr("\xE4\xB8\xAD");              // 中
    n.mapGet("r").mapGet("t").setStr("\xE6\x96\x87<");               // 文<
    n.mapGet("r").mapGet("c").setStr("a]b", ValueKind::Binary);       // CDATA: unchanged
    n.mapGet("r").mapGet("d").setStr("\xE4\xB8\xAD", ValueKind::Binary);  // not ASCII: as text
    const uint32_t gbk = OptionFlags::XmlFreeForm | OptionFlags::XmlGbk | OptionFlags::XmlCompact;
    test::Output w = Write(n, gbk);
    EXPECT_EQ(w.code, err::Ok);
    EXPECT_EQ(w.bytes, "<?xml version=\"1.0\" encoding=\"gbk\"?><r a=\"\xD6\xD0\"><t>\xCE\xC4&lt;</t>"
                       "<c><![CDATA[a]b]]></c><d>\xD6\xD0</d></r>");
    // Names are written unconverted, and the reader returns a GBK
    // document's names in UTF-8: a name beyond ASCII cannot come back.
    n.mapGet("r").mapGet("\xE5\x90\x8D").setStr("x");
    EXPECT_EQ(Write(n, gbk).code, err::Unsupported);
}

TEST(XmlEscape, InPlaceAndValueForms) {
    struct Case {
        bool asText;
        const char* in;
        const char* out;
        bool base64;
    } cases[] = {
        {true, "a<b", "a&lt;b", false}, {true, "\x01", "AQ==", true},        {false, "\x01", "AQ==", true},
        {false, "", "", false},         {false, "x&\x7F", "x&amp;\x7F", false}, {true, "a\rb", "a&#13;b", false},
    };
    for (const Case& c : cases) {
        ByteString s(c.in);
        bool base64 = !c.base64;
        EscapeXmlText(c.asText, s, base64);
        EXPECT_EQ(s, c.out) << c.in;
        EXPECT_EQ(base64, c.base64) << c.in;
    }
    EXPECT_EQ(EscapeXmlValue(R"(<a'b">&)", false), "&lt;a&apos;b&quot;&gt;&amp;");
    EXPECT_EQ(EscapeXmlValue("\xE4\xB8\xAD&", false), "\xE4\xB8\xAD&amp;");
    EXPECT_EQ(EscapeXmlValue("\xE4\xB8\xAD&", true), "\xD6\xD0&amp;");
    EXPECT_EQ(EscapeXmlValue(nullptr, true), "");
    // What the writer refuses escapes to nothing.
    EXPECT_EQ(EscapeXmlValue("a\x01", false), "");
    EXPECT_EQ(EscapeXmlValue("\xF0\x9F\x98\x80", true), "");  // no GBK form
}

// Every byte the escape pass stops at, at every offset of strings of every
// length the wide scan treats apart (short forms, whole blocks, overlapping
// tails), against a byte-by-byte reference: in element text and in an
// attribute value, with a second one close behind, and for a refusal, with
// the refused byte anywhere.
TEST(XmlEscape, EveryStopAtEveryOffset) {
    auto reference = [](const std::string& in, bool attribute, bool& refused) {
        std::string out;
        refused = false;
        for (size_t i = 0; i < in.size(); ++i) {
            unsigned char c = static_cast<unsigned char>(in[i]);
            switch (c) {
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '&': out += "&amp;"; break;
            case '\'': out += "&apos;"; break;
            case '"': out += "&quot;"; break;
            case '\r': out += "&#13;"; break;
            case '\t': out += attribute ? "&#9;" : "\t"; break;
            case '\n': out += attribute ? "&#10;" : "\n"; break;
            default:
                if (c < 0x20 || c == 0xFF) refused = true;
                out += static_cast<char>(c);
            }
        }
        return out;
    };
    const std::string stops = std::string("<>&'\"\r\t\n\x01\xFF", 10);
    for (char stop : stops) {
        for (size_t length = 1; length <= 40; ++length) {
            for (size_t at = 0; at < length; ++at) {
                std::string in(length, 'x');
                for (size_t i = 0; i < length; ++i) in[i] = "ab0;= \x7F~"[i % 8];
                in[at] = stop;
                if (at + 3 < length) in[at + 3] = stop;
                for (bool attribute : {false, true}) {
                    bool refused;
                    std::string expected = reference(in, attribute, refused);
                    DataNode n;
                    (attribute ? n.mapGet("t@").mapGet("a") : n.mapGet("t")).setStr(in, ValueKind::Text);
                    test::Output w = Write(n, OptionFlags::XmlFreeForm | OptionFlags::XmlCompact);
                    ASSERT_EQ(w.code, refused ? err::Unsupported : err::Ok) << length << " " << at;
                    if (refused) continue;
                    std::string body = attribute ? "<t a=\"" + expected + "\"/>" : "<t>" + expected + "</t>";
                    ASSERT_EQ(w.bytes, kDecl + body) << length << " " << at << " " << attribute;
                }
            }
        }
    }
}

}  // namespace
}  // namespace zk
