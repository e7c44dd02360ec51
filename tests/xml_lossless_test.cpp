// XML writes either read back as they were or fail: names, text and bytes XML
// cannot carry, white space the parser normalises, CDATA, GBK, and the
// free-form root; then seeded random trees over awkward bytes, written in
// both layouts and read back.
#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/codec_cases.h"
#include "tests/support/printable.h"
#include "tests/support/xml_elements.h"
#include "zk_data/codec/error_codes.h"

namespace zk {
namespace {

using namespace std::string_view_literals;

constexpr uint32_t kFree = OptionFlags::XmlFreeForm;
constexpr uint32_t kGbk = OptionFlags::XmlFreeForm | OptionFlags::XmlGbk;

struct Trip {
    uint32_t writeCode = err::Ok;
    uint32_t readCode = err::Ok;
    DataNode back;
    std::string doc;
};

// Writes tree with options and, when that succeeds, reads the document back
// in the same layout.
Trip RoundTrip(const DataNode& tree, uint32_t options = 0) {
    Trip t;
    test::Output out = test::FormatIo(FormatId::Xml, options).Written(tree);
    t.writeCode = out.code;
    t.doc = std::move(out.bytes);
    if (t.writeCode) return t;
    t.readCode = test::FormatIo(FormatId::Xml, options & OptionFlags::XmlFreeForm).Read(t.doc, t.back);
    return t;
}

std::string Bytes(std::string_view bytes) { return test::Printable(bytes); }

std::string Scalar(const DataNode& n) {
    return n.isInt() ? std::to_string(n.num()) : n.isStr() ? std::string(n.str().view()) : std::string();
}

// The free-form document a tree stands for, as the writer defines it: the
// elements with their attributes and text in document order, whatever maps
// and lists hold them. Int values are their decimal text, and an element
// without content is the same whether its value was an empty string or an
// empty container. The reader's tree of a written document must stand for
// the same document: this is equality up to the layout's shapes.
void Elements(const DataNode& n, std::string& out);

void Element(std::string_view name, const DataNode* attributes, const DataNode* value, std::string& out) {
    out.append("<").append(Bytes(name));
    if (attributes && attributes->isMap())
        for (const MapValue::Entry& a : attributes->map())
            out.append(" ").append(Bytes(a.key.view())).append("=").append(std::to_string(Scalar(*a.child).size()))
                .append(":").append(Bytes(Scalar(*a.child)));
    out += ">";
    if (value && (value->isMap() || value->isList()))
        Elements(*value, out);
    else if (value && !Scalar(*value).empty())
        out += std::to_string(Scalar(*value).size()) + ":" + Bytes(Scalar(*value));
    out += "</>";
}

void Elements(const DataNode& n, std::string& out) {
    test::ForEachXmlElement(n, [&](std::string_view name, const DataNode* attributes, const DataNode* value) {
        Element(name, attributes, value, out);
    });
}

std::string Document(const DataNode& tree) {
    std::string s;
    Elements(tree, s);
    return s;
}

void ExpectTypedTrip(const DataNode& tree, const char* what) {
    for (uint32_t options : {0u, uint32_t(OptionFlags::XmlCompact)}) {
        Trip t = RoundTrip(tree, options);
        ASSERT_EQ(t.writeCode, err::Ok) << what;
        ASSERT_EQ(t.readCode, err::Ok) << what << "\n" << Bytes(t.doc);
        EXPECT_TRUE(t.back.equals(tree)) << what << "\n" << Bytes(t.doc);
    }
}

void ExpectFreeTrip(const DataNode& tree, const char* what, uint32_t options = kFree) {
    for (uint32_t compact : {0u, uint32_t(OptionFlags::XmlCompact)}) {
        Trip t = RoundTrip(tree, options | compact);
        ASSERT_EQ(t.writeCode, err::Ok) << what;
        ASSERT_EQ(t.readCode, err::Ok) << what << "\n" << Bytes(t.doc);
        EXPECT_EQ(Document(t.back), Document(tree)) << what << "\n" << Bytes(t.doc);
    }
}

DataNode FreeLeaf(std::string_view name, std::string_view value, int32_t kind = ValueKind::Text) {
    DataNode tree;
    tree.mapGet("r").mapGet(name).setStr(value, kind);
    return tree;
}

TEST(XmlLossless, TypedTextXmlCannotCarryComesBackThroughBase64) {
    for (std::string_view bytes : {"a\x01z", "\x1F", "\xC3(", "\xED\xA0\x80", "\xEF\xBF\xBE", "\xF4\x90\x80\x80",
                                   "\xE4\xB8", "\x7F\x0B\x0C"}) {
        DataNode tree;
        tree.mapGet("k").setStr(bytes, ValueKind::Text);
        ExpectTypedTrip(tree, Bytes(bytes).c_str());
    }
}

TEST(XmlLossless, TypedCarriageReturnsAndKeyWhiteSpaceSurvive) {
    DataNode tree;
    tree.mapGet("text").setStr("a\rb\r\nc\n\r", ValueKind::Text);
    tree.mapGet("\r").setStr("x");
    tree.mapGet("a\tb\nc\r\nd  ").setStr("x");
    tree.mapGet(" lead and trail ").setStr(" \t ");
    ExpectTypedTrip(tree, "white space");
}

TEST(XmlLossless, TypedKeysXmlCannotCarryGoInBase64) {
    DataNode tree;
    for (std::string_view key : {"a\x01"sv, "\xFF"sv, "\xD6\xD0"sv, "\xEF\xBF\xBF"sv, "\0"sv})
        tree.mapGet(key).setInt(1, ValueKind::Int32);
    tree.mapGet("plain").setInt(2, ValueKind::Int32);
    ExpectTypedTrip(tree, "keys");
}

TEST(XmlLossless, FreeFormCdataCannotHoldItsEndSoSuchBytesGoAsText) {
    for (std::string_view bytes : {"a]]>b", "]]>", "]]]]>>", "x]]>]]>y", "a\r\nb", "\r"}) {
        DataNode tree = FreeLeaf("b", bytes, ValueKind::Binary);
        ExpectFreeTrip(tree, Bytes(bytes).c_str());
        DataNode back = RoundTrip(tree, kFree).back;
        EXPECT_EQ(back.mapGet("r").mapGet("b").str().view(), bytes);
    }
    // What CDATA holds unchanged stays CDATA, "]]" and ">" apart included.
    Trip t = RoundTrip(FreeLeaf("b", "a]]b>", ValueKind::Binary), kFree | OptionFlags::XmlCompact);
    EXPECT_NE(t.doc.find("<b><![CDATA[a]]b>]]></b>"), std::string::npos) << t.doc;
}

TEST(XmlLossless, FreeFormNamesMustBeXmlNames) {
    for (std::string_view name : {"a b", "", "1a", "-a", ".a", "a<b", "a>b", "a\"b", "a&b", "a=b", "a/b", "a'b",
                                  "a\x01", "a\tb", "a@b", "\xFF", "a\xC3", "\xC3\x97", "\xE4\xB6\xB5", "\xEF\xBB\xBF"}) {
        EXPECT_EQ(RoundTrip(FreeLeaf(name, "v"), kFree).writeCode, err::Unsupported) << Bytes(name);
        DataNode attribute;
        attribute.mapGet("r@").mapGet(name).setStr("v");
        EXPECT_EQ(RoundTrip(attribute, kFree).writeCode, err::Unsupported) << Bytes(name);
    }
    for (std::string_view name : {"a", "_", ":", "A-b.c_d:9", "xmlns", "\xE4\xB8\xAD", "a\xC3\xA9", "\xC3\xA9t\xC3\xA9"}) {
        ExpectFreeTrip(FreeLeaf(name, "v"), Bytes(name).c_str());
        DataNode attribute;
        attribute.mapGet("r@").mapGet(name).setStr("v");
        ExpectFreeTrip(attribute, Bytes(name).c_str());
    }
    // "@" ends an attribute key; the element name before it must be valid.
    DataNode lone;
    lone.mapGet("r").mapGet("@").mapGet("a").setStr("1");
    EXPECT_EQ(RoundTrip(lone, kFree).writeCode, err::Unsupported);
}

TEST(XmlLossless, FreeFormTextXmlCannotCarryIsRefused) {
    for (std::string_view bytes : {"a\x01"sv, "a\0b"sv, "\xC3("sv, "\xEF\xBF\xBF"sv, "\x1B[0m"sv}) {
        for (int32_t kind : {ValueKind::Text, ValueKind::Binary, ValueKind::Unspecified}) {
            EXPECT_EQ(RoundTrip(FreeLeaf("t", bytes, kind), kFree).writeCode, err::Unsupported) << Bytes(bytes);
        }
        DataNode attribute;
        attribute.mapGet("r@").mapGet("a").setStr(bytes, ValueKind::Text);
        EXPECT_EQ(RoundTrip(attribute, kFree).writeCode, err::Unsupported) << Bytes(bytes);
    }
}

TEST(XmlLossless, FreeFormWhiteSpaceTheParserNormalisesIsEscaped) {
    const std::string_view text = "\r\na\rb\t\n c \r";
    ExpectFreeTrip(FreeLeaf("t", text), "text");
    DataNode attribute;
    attribute.mapGet("r@").mapGet("a").setStr(text, ValueKind::Text);
    attribute.mapGet("r@").mapGet("b").setStr("\t");
    ExpectFreeTrip(attribute, "attribute");
    Trip t = RoundTrip(attribute, kFree);
    EXPECT_EQ(t.back.mapGet("r@").mapGet("a").str().view(), text);
}

TEST(XmlLossless, GbkDocumentsCarryOnlyWhatGbkReadsBackAs) {
    // Converted and read back: the same UTF-8, Binary values as text.
    ExpectFreeTrip(FreeLeaf("t", "\xE4\xB8\xAD\xE6\x96\x87 <&> \r"), "text", kGbk);
    ExpectFreeTrip(FreeLeaf("b", "\xE4\xB8\xAD]]>", ValueKind::Binary), "binary", kGbk);
    // No GBK form, or a form the reader takes for something else: refused.
    for (std::string_view bytes : {"\xF0\x9F\x98\x80", "\xE2\x82\xAC", "\xC3(", "\xEF\xBF\xBD", "\xE2\x84\xAA"}) {
        EXPECT_EQ(RoundTrip(FreeLeaf("t", bytes), kGbk).writeCode, err::Unsupported) << Bytes(bytes);
        EXPECT_EQ(RoundTrip(FreeLeaf("b", bytes, ValueKind::Binary), kGbk).writeCode, err::Unsupported) << Bytes(bytes);
        DataNode attribute;
        attribute.mapGet("r@").mapGet("a").setStr(bytes, ValueKind::Text);
        EXPECT_EQ(RoundTrip(attribute, kGbk).writeCode, err::Unsupported) << Bytes(bytes);
    }
    EXPECT_EQ(RoundTrip(FreeLeaf("\xE4\xB8\xAD", "x"), kGbk).writeCode, err::Unsupported);
    // A literal "?" is no lost character.
    ExpectFreeTrip(FreeLeaf("t", "?\xE4\xB8\xAD?"), "question marks", kGbk);
}

TEST(XmlLossless, FreeFormRootIsOneElement) {
    DataNode empty;
    empty.setType(static_cast<int32_t>(NodeType::Map));
    EXPECT_EQ(RoundTrip(empty, kFree).writeCode, err::Unsupported);
    DataNode emptyList;
    emptyList.setType(static_cast<int32_t>(NodeType::List));
    EXPECT_EQ(RoundTrip(emptyList, kFree).writeCode, err::Unsupported);
    DataNode listOfEmpty;
    listOfEmpty.listAt(0).setType(static_cast<int32_t>(NodeType::Map));
    EXPECT_EQ(RoundTrip(listOfEmpty, kFree).writeCode, err::Unsupported);
    // Two roots from the items of a root list: the reader would stop after
    // the first.
    DataNode two;
    two.listAt(0).mapGet("a").setStr("1");
    two.listAt(1).mapGet("b").setStr("2");
    EXPECT_EQ(RoundTrip(two, kFree).writeCode, err::XmlManyRoots);
    DataNode one;
    one.listAt(0).mapGet("a").setStr("1");
    ExpectFreeTrip(one, "one root in a list");
}

TEST(XmlLossless, FreeFormEmptyContainersReadBackAsEmptyText) {
    DataNode tree;
    tree.mapGet("r").mapGet("m").setType(static_cast<int32_t>(NodeType::Map));
    tree.mapGet("r").mapGet("l").setType(static_cast<int32_t>(NodeType::List));
    tree.mapGet("r").mapGet("n").listAt(0).setType(static_cast<int32_t>(NodeType::Map));
    for (uint32_t compact : {0u, uint32_t(OptionFlags::XmlCompact)}) {
        Trip t = RoundTrip(tree, kFree | compact);
        ASSERT_EQ(t.readCode, err::Ok);
        for (const char* key : {"m", "l", "n"}) EXPECT_EQ(t.back.mapGet("r").mapGet(key).str().view(), "") << key;
    }
}

// Random trees over awkward bytes. Strings and keys come from pieces that
// mix escapes, white space the parser normalises, controls, CDATA ends,
// well-formed and ill-formed UTF-8, characters with and without GBK forms.
class Generator {
public:
    explicit Generator(uint32_t seed) : rng_(seed) {}

    uint32_t below(uint32_t n) { return static_cast<uint32_t>(rng_() % n); }

    std::string bytes(bool clean) {
        static const char* const kPieces[] = {"a", "Z", " ", "<", ">", "&", "'", "\"", "]]>", "]", "\t", "\n",
                                              "\r", "\r\n", "\x7F", "\xC3\xA9", "\xE4\xB8\xAD", "\xF0\x9F\x98\x80",
                                              "?", "=", "/"};
        static const char* const kNasty[] = {"\x01", "\x1F", "\x80", "\xC3", "\xED\xA0\x80", "\xEF\xBF\xBE",
                                             "\xFF", "\xE2\x82\xAC", "\xC0\xAF", "\xE4\xB8"};
        std::string s;
        for (uint32_t i = below(6); i > 0; --i) {
            if (!clean && below(4) == 0)
                s += kNasty[below(std::size(kNasty))];
            else
                s += kPieces[below(std::size(kPieces))];
        }
        if (!clean && below(8) == 0) s += '\0';
        return s;
    }

    std::string name(bool clean) {
        static const char* const kNames[] = {"a", "b", "item", "x-y", "_z", "n.1", "\xE4\xB8\xAD", "k:v"};
        static const char* const kBad[] = {"", "1a", "a b", "a<", "\xFF", "a=b", "\xE4\xB6\xB5", "a\x01"};
        return !clean && below(6) == 0 ? kBad[below(std::size(kBad))] : kNames[below(std::size(kNames))];
    }

    // Any tree of strings, integers, lists and maps: the typed layout
    // carries them all.
    void typed(DataNode& n, int depth) {
        switch (depth > 3 ? below(2) : below(4)) {
        case 0: n.setStr(bytes(false), kKinds[below(3)]); break;
        case 1: n.setInt(static_cast<int64_t>(rng_()) * (below(2) ? 1 : -1), kIntKinds[below(3)]); break;
        case 2:
            n.setType(static_cast<int32_t>(NodeType::List));
            for (uint32_t i = below(4); i > 0; --i) typed(n.listAt(n.size()), depth + 1);
            break;
        default:
            n.setType(static_cast<int32_t>(NodeType::Map));
            for (uint32_t i = below(4); i > 0; --i) typed(n.mapGet(bytes(false)), depth + 1);
        }
    }

    // The content of a free-form element: a map of elements (and attribute
    // maps), or a list of such contents.
    void content(DataNode& n, int depth, bool clean) {
        if (below(5) == 0) {
            n.setType(static_cast<int32_t>(NodeType::List));
            for (uint32_t i = below(3); i > 0; --i) content(n.listAt(n.size()), depth + 1, clean);
            return;
        }
        n.setType(static_cast<int32_t>(NodeType::Map));
        for (uint32_t i = below(4); i > 0; --i) {
            std::string key = name(clean);
            if (below(4) == 0) {
                DataNode& attributes = n.mapGet(key + "@");
                attributes.setType(static_cast<int32_t>(NodeType::Map));
                for (uint32_t j = below(3); j > 0; --j) leaf(attributes.mapGet(name(clean)), clean);
            }
            if (depth < 3 && below(3) == 0)
                content(n.mapGet(key), depth + 1, clean);
            else
                leaf(n.mapGet(key), clean);
        }
    }

    void leaf(DataNode& n, bool clean) {
        if (below(4) == 0)
            n.setInt(static_cast<int32_t>(rng_()), ValueKind::Int32);
        else
            n.setStr(bytes(clean), kKinds[below(3)]);
    }

private:
    static constexpr int32_t kKinds[] = {ValueKind::Text, ValueKind::Binary, ValueKind::Unspecified};
    static constexpr int32_t kIntKinds[] = {ValueKind::Int8, ValueKind::UInt64, ValueKind::Int64};
    std::mt19937 rng_;
};

TEST(XmlLossless, RandomTypedTreesReadBackEqual) {
    Generator g(20240611);
    for (int i = 0; i < 3000; ++i) {
        DataNode tree;
        g.typed(tree, 0);
        uint32_t options = g.below(2) ? uint32_t(OptionFlags::XmlCompact) : 0u;
        Trip t = RoundTrip(tree, options);
        ASSERT_EQ(t.writeCode, err::Ok) << i;
        ASSERT_EQ(t.readCode, err::Ok) << i << "\n" << Bytes(t.doc);
        ASSERT_TRUE(t.back.equals(tree)) << i << "\n" << Bytes(t.doc);
    }
}

// Free-form trees either fail to write, with the layout's codes, or read
// back into the same document. Trees of valid names and text always write.
TEST(XmlLossless, RandomFreeFormTreesFailOrReadBackTheSameDocument) {
    Generator g(7);
    int written = 0;
    for (int i = 0; i < 4000; ++i) {
        bool clean = i % 2 == 0;
        uint32_t options = (g.below(3) == 0 ? kGbk : kFree) | (g.below(2) ? uint32_t(OptionFlags::XmlCompact) : 0u);
        DataNode tree;
        g.content(tree.mapGet(g.name(clean)), 1, clean);
        Trip t = RoundTrip(tree, options);
        if (t.writeCode) {
            ASSERT_FALSE(clean && !(options & OptionFlags::XmlGbk)) << i << " " << t.writeCode << "\n" << Bytes(t.doc);
            ASSERT_EQ(t.writeCode, err::Unsupported) << i;
            continue;
        }
        ++written;
        ASSERT_EQ(t.readCode, err::Ok) << i << "\n" << Bytes(t.doc);
        ASSERT_EQ(Document(t.back), Document(tree)) << i << "\n" << Bytes(t.doc);
    }
    EXPECT_GT(written, 1500);
}

}  // namespace
}  // namespace zk
