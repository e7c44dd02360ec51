// XML writer: both layouts byte for byte, base64 and escaping, GBK, errors.
// The depth bound is tested with the reader (xml_reader_test.cpp).
#include <gtest/gtest.h>

#include <string>

#include "codec/error_codes.h"
#include "codec/xml/base64.h"
#include "codec/xml/xml_writer.h"

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

struct Written {
    uint32_t code;
    std::string bytes;
};

Written Write(const DataNode& node, uint32_t options = 0) {
    DataNode copy(node);
    copy.setOption(options, true);
    OutputStream out;
    uint32_t code = WriteXml(out, copy);
    return {code, std::string(out.view())};
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
        // Text keeps high bytes, line breaks and even control bytes (such a
        // document is not well-formed, by design).
        {"\xE4\xB8\xAD\r\n\t\x01", text, "<zk_data type=\"str\">\xE4\xB8\xAD\r\n\t\x01</zk_data>"},
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

    // Keys are escaped, never base64; order is insertion order.
    n.reset();
    n.mapGet("z\"<\x80\t").setType(static_cast<int32_t>(NodeType::Map));
    n.mapGet("a").setInt(1, ValueKind::Int8);
    EXPECT_EQ(Body(n), "<zk_data type=\"map\"><item key=\"z&quot;&lt;\x80\t\"><zk_data type=\"map\"></zk_data></item>"
                       "<item key=\"a\"><zk_data type=\"int\">1</zk_data></item></zk_data>");
}

TEST(XmlWriterErrors, CodesAndWhatStaysWritten) {
    DataNode none;
    EXPECT_EQ(Write(none).code, err::Unsupported);
    EXPECT_EQ(Write(none).bytes, kDecl);

    DataNode list;
    list.listAt(0).setInt(1, ValueKind::Int32);
    list.listAt(2).setInt(3, ValueKind::Int32);  // item 1 stays None
    Written w = Write(list, OptionFlags::XmlCompact);
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
    r.mapGet("b").setStr("a]]>b\x01", ValueKind::Binary);                  // CDATA: bytes unchanged
    r.mapGet("t").setStr(std::string_view("a<b\0c", 5), ValueKind::Text);  // up to the zero byte
    r.mapGet("u").setStr("'", ValueKind::Unspecified);
    r.mapGet("x").setStr("v");
    r.mapGet("x@").mapGet("a").setStr("<&\">");  // after its element, written with it
    r.mapGet("x@").mapGet("n").setInt(-2, ValueKind::Int32);
    r.mapGet("only@").mapGet("k").setStr("1");  // attributes without an element
    r.mapGet("a&b\xD6").setStr("raw");           // names are written as the keys hold them
    EXPECT_EQ(Body(n, OptionFlags::XmlFreeForm),
              "<r><i>-7</i><e/><b><![CDATA[a]]>b\x01]]></b><t>a&lt;b</t><u>&apos;</u>"
              R"(<x a="&lt;&amp;&quot;&gt;" n="-2">v</x><only k="1"/>)"
              "<a&b\xD6>raw</a&b\xD6></r>");
}

// A value ends at its first zero byte, found in the same pass as the bytes
// to replace: before, between and after them, in and past the first 16 bytes.
TEST(XmlWriterFreeForm, ValueEndsAtItsFirstZeroByteAnywhere) {
    const std::string text = "ab<cdefghijklmn&opqrstuvwxyz0123456789>";
    for (size_t zero = 0; zero < text.size(); ++zero) {
        std::string value = text;
        value[zero] = '\0';
        DataNode n;
        n.mapGet("t").setStr(value, ValueKind::Text);
        std::string expected;
        for (char c : text.substr(0, zero))
            expected += c == '<' ? "&lt;" : c == '>' ? "&gt;" : c == '&' ? "&amp;" : std::string(1, c);
        EXPECT_EQ(Body(n, OptionFlags::XmlFreeForm), "<t>" + expected + "</t>") << zero;
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
        Written w = Write(c.tree, OptionFlags::XmlFreeForm | OptionFlags::XmlCompact);
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
        Written w = Write(n, OptionFlags::XmlFreeForm | OptionFlags::XmlCompact);
        EXPECT_EQ(w.code, err::Unsupported) << type;
        EXPECT_EQ(w.bytes, kDecl + "<x") << type;
    }
}

TEST(XmlWriterFreeForm, GbkConvertsTextAndAttributeValuesOnly) {
    DataNode n;
    n.mapGet("r@").mapGet("a").setStr("\xE4\xB8\xAD");                  // 中
    n.mapGet("r").mapGet("t").setStr("\xE6\x96\x87<");                   // 文<
    n.mapGet("r").mapGet("c").setStr("\xE4\xB8\xAD", ValueKind::Binary);  // CDATA: unchanged
    n.mapGet("r").mapGet("\xE5\x90\x8D").setStr("x");                    // name: unchanged
    Written w = Write(n, OptionFlags::XmlFreeForm | OptionFlags::XmlGbk | OptionFlags::XmlCompact);
    EXPECT_EQ(w.code, err::Ok);
    EXPECT_EQ(w.bytes, "<?xml version=\"1.0\" encoding=\"gbk\"?><r a=\"\xD6\xD0\"><t>\xCE\xC4&lt;</t>"
                       "<c><![CDATA[\xE4\xB8\xAD]]></c><\xE5\x90\x8D>x</\xE5\x90\x8D></r>");
}

TEST(XmlEscape, InPlaceAndValueForms) {
    struct Case {
        bool asText;
        const char* in;
        const char* out;
        bool base64;
    } cases[] = {
        {true, "a<b", "a&lt;b", false}, {true, "\x01", "\x01", false}, {false, "\x01", "AQ==", true},
        {false, "", "", false},         {false, "x&\x7F", "x&amp;\x7F", false},
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
}

// Every special byte at every offset of strings long enough for the writer's
// wide scan, against a byte-by-byte replacement.
TEST(XmlEscape, EverySpecialAtEveryOffset) {
    auto reference = [](const std::string& in) {
        std::string out;
        for (char c : in) {
            switch (c) {
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '&': out += "&amp;"; break;
            case '\'': out += "&apos;"; break;
            case '"': out += "&quot;"; break;
            default: out += c;
            }
        }
        return out;
    };
    for (char special : std::string("<>&'\"")) {
        for (size_t length : {1, 15, 16, 17, 31, 32, 33, 70}) {
            for (size_t at = 0; at < length; ++at) {
                std::string in(length, 'x');
                for (size_t i = 0; i < length; ++i) in[i] = "ab0;= \x7F\xC3"[i % 8];
                in[at] = special;
                if (at + 3 < length) in[at + 3] = special;  // a second one close behind
                EXPECT_EQ(EscapeXmlValue(in.c_str(), false).view(), reference(in)) << length << " " << at;
            }
        }
    }
}

}  // namespace
}  // namespace zk
