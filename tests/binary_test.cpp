// The binary record format: exact bytes, the code of every way a tree or a
// record can be wrong, template reuse, and the depth bound.
#include <gtest/gtest.h>

#include <string>

#include "codec/binary.h"
#include "codec/limits.h"
#include "tests/support/codec_cases.h"
#include "tests/support/small_stack.h"
#include "zk_data/codec/error_codes.h"

namespace zk {
namespace {

std::string B(std::initializer_list<int> bytes) { return std::string(bytes.begin(), bytes.end()); }
std::string U32(uint32_t v) { return B({int(v & 0xFF), int(v >> 8 & 0xFF), int(v >> 16 & 0xFF), int(v >> 24)}); }

const test::FormatIo binary(FormatId::Binary);

test::Output Write(const DataNode& n) { return binary.Written(n); }

struct Read {
    uint32_t code;
    size_t offset;
    bool failed;
};
Read ReadInto(DataNode& n, std::string_view bytes) {
    InputStream in(bytes);
    uint32_t code = binary.Read(in, n);
    return {code, in.offset(), in.failed()};
}

DataNode Str(std::string_view s, uint32_t options = 0) {
    DataNode n;
    n.setStr(s, ValueKind::Binary);
    n.setOption(options, true);
    return n;
}

DataNode Example(uint32_t options = 0) {  // a = Int32 1, b = "ab"
    DataNode m;
    m.setOption(options, true);
    m.mapGet("a").setInt(1, ValueKind::Int32);
    m.mapGet("b").setStr("ab", ValueKind::Binary);
    return m;
}

TEST(BinaryWrite, WorkedExample) {
    EXPECT_EQ(Write(Example()).bytes, B({10, 0, 0, 0, 1, 0, 0, 0, 2, 0, 0, 0, 'a', 'b'}));
    EXPECT_EQ(Write(Example(OptionFlags::BigEndian)).bytes, B({0, 0, 0, 10, 0, 0, 0, 1, 0, 0, 0, 2, 'a', 'b'}));
    EXPECT_EQ(Write(Example(OptionFlags::MapUnframed)).bytes, B({1, 0, 0, 0, 2, 0, 0, 0, 'a', 'b'}));
    DataNode m = Example();
    m.mapGet("a").setOption(OptionFlags::BigEndian, true);  // only the root's bit counts
    EXPECT_EQ(Write(m).bytes.substr(4, 4), U32(1));
}

// Each kind writes the low bytes of the value and reads back all-ones bytes
// sign- or zero-extended; kinds 7 and 8 come back as 5 and 6.
TEST(BinaryWrite, IntegersByKind) {
    const int64_t v = 0x1122334455667788;
    const int widths[] = {0, 1, 1, 2, 2, 4, 4, 4, 4, 8, 8};
    const int64_t ones[] = {0, -1, 0xFF, -1, 0xFFFF, -1, 0xFFFFFFFF, -1, 0xFFFFFFFF, -1, -1};
    const int32_t kindAfter[] = {0, 1, 2, 3, 4, 5, 6, 5, 6, 9, 10};
    for (int32_t kind = 1; kind <= 10; ++kind) {
        SCOPED_TRACE(kind);
        std::string little, big;
        for (int i = 0; i < widths[kind]; ++i) {
            little.push_back(char(v >> 8 * i));
            big.insert(big.begin(), char(v >> 8 * i));
        }
        DataNode n;
        n.setInt(v, kind);
        EXPECT_EQ(Write(n).bytes, little);
        EXPECT_EQ(EncodedSize(n), little.size());
        n.setOption(OptionFlags::BigEndian, true);
        EXPECT_EQ(Write(n).bytes, big);
        Read r = ReadInto(n, std::string(9, '\xFF'));
        EXPECT_EQ(r.code, err::Ok);
        EXPECT_EQ(r.offset, little.size());
        EXPECT_EQ(n.num(), ones[kind]);
        EXPECT_EQ(n.kind(), kindAfter[kind]);
    }
    DataNode n;
    n.setInt(300, ValueKind::UInt8);
    EXPECT_EQ(Write(n).bytes, B({0x2C}));
    ReadInto(n, B({0x2C}));
    EXPECT_EQ(n.num(), 44);
}

TEST(BinaryWrite, RefusedTrees) {
    DataNode n;
    EXPECT_EQ(Write(n).code, err::Unsupported);  // None
    for (int32_t kind : {0, 11, -1}) {
        n.setInt(5, kind);
        EXPECT_EQ(Write(n).code, err::Unsupported);
        EXPECT_EQ(Write(n).bytes, "");
    }
    DataNode m = Example(OptionFlags::MapUnframed);
    m.mapGet("c");  // None after two good fields: their bytes stay
    EXPECT_EQ(Write(m).code, err::Unsupported);
    EXPECT_EQ(Write(m).bytes.size(), 10u);
    m.mapGet("c").asMap();
    EXPECT_EQ(Write(m).code, err::EmptyMap);
    m.mapGet("c").setOption(OptionFlags::MapUnframed, true);
    EXPECT_EQ(Write(m).code, err::EmptyMap);
    DataNode list;
    list.asList().append().setStr("xyz", ValueKind::Text);
    list.list()[0]->setOption(OptionFlags::HexString, true);
    EXPECT_EQ(Write(list).code, err::BadHexString);  // the item's own code
    EXPECT_EQ(binary.WriteToFailedStream(Example()), err::StreamFailure);
}

TEST(BinaryWrite, NestedFramedMaps) {
    DataNode m;
    m.mapGet("a").setInt(1, ValueKind::Int8);
    DataNode& inner = m.mapGet("inner");
    inner.mapGet("s").setStr("xyz", ValueKind::Text);
    inner.mapGet("deeper").mapGet("c").setInt(-2, ValueKind::Int32);
    m.mapGet("list").asList().append().setInt(3, ValueKind::Int16);
    std::string innerBody = U32(3) + "xyz" + U32(4) + B({0xFE, 0xFF, 0xFF, 0xFF});
    std::string body = B({1}) + U32(innerBody.size()) + innerBody + U32(1) + B({3, 0});
    EXPECT_EQ(Write(m).bytes, U32(body.size()) + body);
    EXPECT_EQ(EncodedSize(m), 4 + body.size());

    // More framed maps than the writer keeps lengths for on its stack.
    DataNode root;
    std::string items;
    for (int i = 0; i < 100; ++i) {
        DataNode& rec = root.mapGet("records").asList().append();
        rec.mapGet("id").setInt(i, ValueKind::Int32);
        rec.mapGet("sub").mapGet("name").setStr(std::string(i % 7, 'n'), ValueKind::Text);
        items += Write(rec).bytes;
    }
    EXPECT_EQ(Write(root).bytes, U32(items.size() + 4) + U32(100) + items);
}

TEST(BinaryWrite, LimitsAreTheReadersOnly) {
    DataNode big = Str(std::string(kMaxBinaryStringLength + 1, 'x'));
    test::Output w = Write(big);
    EXPECT_EQ(w.code, err::Ok);
    EXPECT_EQ(ReadInto(big, w.bytes).code, err::LimitExceeded);
}

TEST(BinaryHex, WritesTheBytesReadsLowerCaseText) {
    DataNode s = Str("0a1B", OptionFlags::HexString);
    EXPECT_EQ(Write(s).bytes, U32(2) + B({0x0A, 0x1B}));
    EXPECT_EQ(ReadInto(s, U32(3) + B({0, 0xFF, 0x8C})).code, err::Ok);
    EXPECT_EQ(s.str(), "00ff8c");
    EXPECT_EQ(Write(Str("", OptionFlags::HexString)).bytes, U32(0));
    for (const char* bad : {"abc", "zz", "0g", "+1"}) {
        EXPECT_EQ(Write(Str(bad, OptionFlags::HexString)).code, err::BadHexString) << bad;
        EXPECT_EQ(Write(Str(bad, OptionFlags::HexString)).bytes, "") << bad;
    }
    std::string bytes, text;  // longer than the writer's decode buffer
    for (int i = 0; i < 1000; ++i) bytes.push_back(char(i * 37));
    text.resize(2000);
    EncodeHex(bytes.data(), bytes.size(), text.data());
    EXPECT_EQ(Write(Str(text, OptionFlags::HexString)).bytes, U32(1000) + bytes);
}

TEST(BinaryHex, SharedDigitHelpers) {
    EXPECT_EQ(std::string_view(kHexDigits, 16), "0123456789abcdef");
    OutputStream out;
    AppendHex(out, std::string(700, '\xC3').data(), 700);
    EXPECT_EQ(out.size(), 1400u);
    EXPECT_EQ(out.view().substr(1396), "c3c3");
    EXPECT_EQ(HexValue('F') + HexValue('f') + HexValue('9'), 39);
    EXPECT_EQ(HexValue('g'), -1);
    EXPECT_TRUE(IsHexText("") && IsHexText("aF09"));
    EXPECT_FALSE(IsHexText("aF0") || IsHexText(std::string_view("a\0", 2)));
}

TEST(BinarySize, EveryNodeType) {
    DataNode n, list, empty;
    EXPECT_EQ(EncodedSize(n), 0u);
    n.setInt(1, 0);
    EXPECT_EQ(EncodedSize(n), 0u);
    EXPECT_EQ(EncodedSize(Str("abc")), 7u);
    EXPECT_EQ(EncodedSize(Str("abc", OptionFlags::HexString)), 5u);  // half, rounded down
    list.asList().append().setInt(1, ValueKind::Int64);
    EXPECT_EQ(EncodedSize(list), 12u);
    EXPECT_EQ(EncodedSize(Example(OptionFlags::MapUnframed)), 10u);
    empty.asMap();
    EXPECT_EQ(EncodedSize(empty), 4u);
    DataNode deep;  // far deeper than the writer follows
    DataNode* d = &deep;
    for (int i = 0; i < 200000; ++i) d = &d->asList().append();
    d->setInt(1, ValueKind::Int8);
    EXPECT_EQ(EncodedSize(deep), 200000u * 4 + 1);
    EXPECT_EQ(Write(deep).code, err::Unsupported);
}

TEST(BinaryRead, FailedFixedWidthReads) {
    DataNode n;
    n.setInt(99, ValueKind::NativeInt);
    EXPECT_EQ(ReadInto(n, "").code, err::NoData);
    EXPECT_EQ(n.num(), 0);  // still set, with the new kind
    EXPECT_EQ(n.kind(), ValueKind::Int32);
    n.setInt(99, ValueKind::UInt64);
    Read r = ReadInto(n, B({1, 2, 3}));
    EXPECT_EQ(r.code, err::StreamFailure);
    EXPECT_TRUE(r.failed);
    EXPECT_EQ(n.num(), 0);
    n.setInt(42, 0);
    EXPECT_EQ(ReadInto(n, B({1})).code, err::Unsupported);
    EXPECT_EQ(n.num(), 42);
    DataNode none;
    EXPECT_EQ(ReadInto(none, B({1})).code, err::Unsupported);
}

TEST(BinaryRead, StringsAndTheirLimits) {
    DataNode s;
    s.setStr("keep", ValueKind::Text);
    EXPECT_EQ(ReadInto(s, B({5, 0, 0})).code, err::StreamFailure);
    EXPECT_EQ(ReadInto(s, U32(5) + "abcd").code, err::StreamFailure);
    EXPECT_EQ(ReadInto(s, U32(kMaxBinaryStringLength + 1)).code, err::LimitExceeded);
    EXPECT_EQ(ReadInto(s, U32(kMaxBinaryStringLength)).code, err::StreamFailure);  // allowed, but short
    EXPECT_EQ(s.str(), "keep");
    Read r = ReadInto(s, U32(3) + B({'a', 0, 'b'}) + "tail");
    EXPECT_EQ(r.code, err::Ok);
    EXPECT_EQ(r.offset, 7u);
    EXPECT_EQ(s.str(), std::string_view("a\0b", 3));
    EXPECT_EQ(s.kind(), ValueKind::Text);
}

DataNode Int8List(std::initializer_list<int> values) {
    DataNode list;
    list.asList();
    for (int v : values) list.asList().append().setInt(v, ValueKind::Int8);
    return list;
}

TEST(BinaryRead, ListsResizeFromThePrototype) {
    DataNode list = Int8List({0});
    DataNode& proto = *list.list().prototype();
    proto.setInt(0, ValueKind::UInt16);
    proto.setOption(0x40, true);
    EXPECT_EQ(ReadInto(list, U32(3) + B({0xFF, 1, 2, 3, 4})).code, err::Ok);
    ASSERT_EQ(list.list().size(), 3u);
    EXPECT_EQ(list.list()[0]->num(), -1);  // an existing item is its own template
    EXPECT_EQ(list.list()[2]->num(), 0x0403);
    EXPECT_EQ(list.list()[2]->options(), 0x40u);
    EXPECT_EQ(proto.num(), 0);
    const DataNode* first = list.list()[0].get();
    EXPECT_EQ(ReadInto(list, U32(1) + B({9})).code, err::Ok);
    EXPECT_EQ(list.list().size(), 1u);
    EXPECT_EQ(list.list()[0].get(), first);  // reused, not rebuilt
    EXPECT_EQ(ReadInto(list, U32(0)).code, err::Ok);
    EXPECT_EQ(list.list().size(), 0u);
    EXPECT_EQ(list.list().prototype()->kind(), ValueKind::UInt16);

    // A copied list's prototype is the source's first item as it was copied.
    DataNode source = Int8List({5}), copy(source);
    EXPECT_EQ(ReadInto(copy, U32(1) + B({9})).code, err::Ok);
    EXPECT_EQ(copy.list().prototype()->num(), 5);
}

TEST(BinaryRead, ListCountsAndFailingItems) {
    DataNode list = Int8List({5});
    EXPECT_EQ(ReadInto(list, B({1})).code, err::StreamFailure);
    EXPECT_EQ(ReadInto(list, U32(kMaxBinaryListCount + 1)).code, err::LimitExceeded);
    EXPECT_EQ(list.list().size(), 1u);
    EXPECT_EQ(ReadInto(list, U32(2) + B({7})).code, err::BadListItem);
    EXPECT_EQ(list.list().size(), 2u);  // item 0 read, item 1 failed
    EXPECT_EQ(ReadInto(list, U32(kMaxBinaryListCount) + B({7})).code, err::BadListItem);
    EXPECT_EQ(list.list().size(), 2u);  // grown no further than the items read
    EXPECT_EQ(list.list()[0]->num(), 7);
}

// Four bytes that declare a million items of a wide record cost one copy of
// the prototype, not a million.
TEST(BinaryRead, DeclaredCountCostsNothingAhead) {
    DataNode list;
    DataNode& proto = *list.asList().prototype();
    for (int i = 0; i < 20; ++i) proto.mapGet("field" + std::to_string(i)).setInt(0, ValueKind::Int32);
    EXPECT_EQ(ReadInto(list, B({0, 0, 0x10, 0})).code, err::BadListItem);
    EXPECT_EQ(list.list().size(), 1u);

    // A list of lists nests the same way: each level stops at its input.
    DataNode outer;
    outer.asList().prototype()->asList().prototype()->setInt(0, ValueKind::Int8);
    EXPECT_EQ(ReadInto(outer, U32(kMaxBinaryListCount) + U32(kMaxBinaryListCount) + B({1, 2})).code, err::BadListItem);
    ASSERT_EQ(outer.list().size(), 1u);
    EXPECT_EQ(outer.list()[0]->size(), 3u);
    EXPECT_EQ(outer.list()[0]->list()[1]->num(), 2);

    // Well-formed records read as before: shorter, equal and longer counts.
    DataNode t = Int8List({1, 2, 3});
    t.list().prototype()->setInt(0, ValueKind::Int8);
    EXPECT_EQ(ReadInto(t, U32(5) + B({9, 8, 7, 6, 5})).code, err::Ok);
    EXPECT_EQ(Write(t).bytes, U32(5) + B({9, 8, 7, 6, 5}));
    EXPECT_EQ(ReadInto(t, U32(2) + B({4, 3})).code, err::Ok);
    EXPECT_EQ(Write(t).bytes, U32(2) + B({4, 3}));
}

// A record may lie in the string it is read into.
TEST(BinaryRead, RecordInsideTheStringItFills) {
    DataNode hex = Str("", OptionFlags::HexString);
    hex.setStr(U32(20) + std::string(20, '\xAB'), ValueKind::Binary);
    EXPECT_EQ(ReadInto(hex, hex.str().view()).code, err::Ok);
    std::string text;
    for (int i = 0; i < 20; ++i) text += "ab";
    EXPECT_EQ(hex.str().view(), text);

    DataNode plain = Str("");
    plain.setStr(U32(30) + std::string(30, 'x'), ValueKind::Binary);
    EXPECT_EQ(ReadInto(plain, plain.str().view()).code, err::Ok);
    EXPECT_EQ(plain.str().view(), std::string(30, 'x'));
}

// A copy's prototype is its source's first item as copied, whatever is done
// to the copy's item 0 afterwards.
TEST(BinaryRead, CopiedListReadsWithTheWidthsItWasCopiedWith) {
    DataNode source;
    source.listAt(0).setInt(1, ValueKind::Int32);
    DataNode copy(source);
    copy.listAt(0).setInt(1, ValueKind::Int64);
    EXPECT_EQ(copy.list().prototype()->kind(), ValueKind::Int32);
    std::string record = U32(2) + B({1, 0, 0, 0, 0, 0, 0, 0}) + B({2, 0, 0, 0});
    EXPECT_EQ(ReadInto(copy, record).code, err::Ok);
    EXPECT_EQ(copy.list()[1]->num(), 2);
    EXPECT_EQ(Write(copy).bytes, record);
}

TEST(BinaryRead, MapBodies) {
    DataNode empty;
    empty.asMap();
    EXPECT_EQ(ReadInto(empty, U32(1) + B({1})).code, err::EmptyMap);
    DataNode m = Example();
    EXPECT_EQ(ReadInto(m, "").code, err::NoData);
    EXPECT_EQ(ReadInto(m, B({1, 0})).code, err::StreamFailure);
    EXPECT_EQ(ReadInto(m, U32(0)).code, err::EmptyMap);
    EXPECT_EQ(ReadInto(m, U32(kMaxBinaryStringLength + 1)).code, err::LimitExceeded);
    EXPECT_EQ(ReadInto(m, U32(kMaxBinaryStringLength)).code, err::StreamFailure);
    EXPECT_TRUE(m.equals(Example()));
    Read r = ReadInto(m, Write(Example(OptionFlags::BigEndian)).bytes);  // 0x0A000000 read little-endian
    EXPECT_EQ(r.code, err::LimitExceeded);
    EXPECT_EQ(r.offset, 4u);
}

TEST(BinaryRead, ShortRecordsAndLeftoverBodyBytes) {
    DataNode m = Example();
    m.mapGet("c").setInt(3, ValueKind::UInt16);
    m.mapGet("d").setInt(4, ValueKind::Int8);
    Read r = ReadInto(m, U32(4) + U32(7) + B({0xEE}));
    EXPECT_EQ(r.code, err::Ok);
    EXPECT_EQ(r.offset, 8u);
    EXPECT_EQ(m.mapGet("a").num(), 7);
    EXPECT_EQ(m.mapGet("b").str(), "ab");  // as in the template
    EXPECT_EQ(ReadInto(m, U32(10) + U32(7) + U32(2) + "xy").code, err::Ok);
    EXPECT_EQ(m.mapGet("c").num(), 3);  // the Int that met the end keeps its template value
    EXPECT_EQ(m.mapGet("c").kind(), ValueKind::UInt16);
    EXPECT_EQ(m.mapGet("d").num(), 4);
    DataNode lone;  // an Int read on its own is still set to 0 when it meets the end
    lone.setInt(5, ValueKind::NativeInt);
    EXPECT_EQ(ReadInto(lone, "").code, err::NoData);
    EXPECT_EQ(lone.num(), 0);
    EXPECT_EQ(lone.kind(), ValueKind::Int32);

    DataNode outer;  // unframed: {m: framed {a}, z}, with two spare body bytes
    outer.setOption(OptionFlags::MapUnframed, true);
    outer.mapGet("m").mapGet("a").setInt(0, ValueKind::Int8);
    outer.mapGet("z").setInt(0, ValueKind::Int8);
    r = ReadInto(outer, U32(3) + B({5, 0xEE, 0xEE, 9}));
    EXPECT_EQ(r.code, err::Ok);
    EXPECT_EQ(r.offset, 8u);
    EXPECT_EQ(outer.mapGet("z").num(), 9);
    EXPECT_EQ(ReadInto(outer, U32(1) + B({5})).code, err::Ok);  // z finds nothing
    EXPECT_TRUE(ReadInto(outer, U32(1) + B({5})).failed);
    EXPECT_EQ(ReadInto(outer, "").code, err::EmptyMap);  // not even the first field

    DataNode nested;  // a later unframed map whose first field finds nothing fails
    nested.mapGet("a").setInt(0, ValueKind::Int8);
    nested.mapGet("flat").setOption(OptionFlags::MapUnframed, true);
    nested.mapGet("flat").mapGet("x").setInt(0, ValueKind::Int8);
    EXPECT_EQ(ReadInto(nested, U32(1) + B({1})).code, err::EmptyMap);
}

TEST(BinaryRead, FieldFailureInABodyFailsTheOuterStream) {
    DataNode m;
    m.mapGet("s").setStr("", ValueKind::Binary);
    Read r = ReadInto(m, U32(6) + U32(255) + "ab" + "outside");
    EXPECT_EQ(r.code, err::StreamFailure);
    EXPECT_TRUE(r.failed);
    m.mapGet("none");
    r = ReadInto(m, U32(6) + U32(2) + "ab");
    EXPECT_EQ(r.code, err::Unsupported);
    EXPECT_FALSE(r.failed);  // no stream failure to carry
}

// Every node type and option, every integer kind at an extreme value.
DataNode Rich(bool big) {
    DataNode r;
    r.setOption(OptionFlags::BigEndian, big);
    const int64_t values[] = {0, -128, 250, -300, 60000, INT32_MIN, 4000000000, -7, 0xFFFFFFFF, INT64_MIN, -2};
    for (int32_t kind = 1; kind <= 10; ++kind) r.mapGet(std::to_string(kind)).setInt(values[kind], kind);
    r.mapGet("bytes").setStr(std::string_view("\0\1\xFF", 3), ValueKind::Binary);
    r.mapGet("hex").setStr("00ff7f80", ValueKind::Text);
    r.mapGet("hex").setOption(OptionFlags::HexString, true);
    r.mapGet("inner").mapGet("y").setStr(std::string(300, 'y'), ValueKind::Text);
    r.mapGet("flat").setOption(OptionFlags::MapUnframed, true);
    r.mapGet("flat").mapGet("q").setStr("", ValueKind::Text);
    for (int i = 0; i < 3; ++i) {
        DataNode& item = r.mapGet("list").asList().append();
        item.mapGet("k").setInt(i, ValueKind::UInt32);
        item.mapGet("v").setStr(std::string(i * 10, 'v'), ValueKind::Text);
    }
    r.mapGet("empty").asList();
    return r;
}

void Scribble(DataNode& n) {  // same shape, every value changed
    if (n.isInt()) n.setInt(n.num() ^ 0x5A5A, n.kind());
    if (n.isStr()) n.setStr(n.hasOption(OptionFlags::HexString) ? "abcd" : "scribble", n.kind());
    if (n.isList())
        for (NodeRef& item : n.list()) Scribble(*item);
    if (n.isMap())
        for (uint32_t i = 0; i < n.map().size(); ++i) Scribble(*n.map().entry(i).child);
}

TEST(BinaryRoundTrip, EveryTypeBothOrdersBackToBack) {
    for (bool big : {false, true}) {
        DataNode a = Rich(big), b = Rich(big);
        b.mapGet("list").list().resize(1);
        b.mapGet("5").setInt(12345, ValueKind::Int32);
        std::string wire = Write(a).bytes;
        EXPECT_EQ(EncodedSize(a), wire.size());
        wire += Write(b).bytes;
        DataNode t(a);
        Scribble(t);
        InputStream in(wire);
        EXPECT_EQ(ReadBinary(in, t), err::Ok);
        EXPECT_TRUE(t.equals(a));
        EXPECT_EQ(Write(t).bytes, Write(a).bytes);
        EXPECT_EQ(ReadBinary(in, t), err::Ok);
        EXPECT_TRUE(t.equals(b));
        EXPECT_EQ(in.tell(), wire.size());
    }
}

// A chain of levels nodes, containers of one shape down to an Int8 (the
// leaf is a level of its own here).
void BuildChain(DataNode& root, uint32_t levels, NodeType shape, uint32_t options = 0) {
    test_support::Descend(root, levels - 1, shape, options).setInt(0x11, ValueKind::Int8);
}

// The bound itself is in depth_test.cpp. What a refused write leaves behind
// still holds exact body lengths.
TEST(BinaryDepth, RefusedWriteKeepsExactBodyLengths) {
    DataNode deeper;
    BuildChain(deeper, kMaxDepth + 5, NodeType::Map);
    EXPECT_EQ(Write(deeper).bytes.substr(0, 8), U32(EncodedSize(deeper) - 4) + U32(EncodedSize(deeper) - 8));
}

TEST(BinaryDepth, ThousandLevelsFitWellInsideOneMebibyteOfStack) {
    DataNode trees[3];
    BuildChain(trees[0], kMaxDepth, NodeType::Map);
    BuildChain(trees[1], kMaxDepth, NodeType::Map, OptionFlags::MapUnframed);
    BuildChain(trees[2], kMaxDepth, NodeType::List);
    uint32_t failures = 0;
    size_t used = test_support::StackUsed(1 << 20, [&] {
        for (DataNode& tree : trees) {
            OutputStream out;
            failures += WriteBinary(out, tree) != err::Ok;
            InputStream in(out.view());
            failures += ReadBinary(in, tree) != err::Ok;
        }
    });
    EXPECT_EQ(failures, 0u);
    RecordProperty("stack_bytes", std::to_string(used));
    EXPECT_LT(used, size_t{1} << 19);
}

}  // namespace
}  // namespace zk
