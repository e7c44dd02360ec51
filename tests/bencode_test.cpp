// Bencode with this system's two traits: dictionary keys in insertion order,
// and a reader lenient about white space, signs and leading zeros. Hostile
// lengths and nesting must fail cleanly, and a failed read leaves a partial
// tree that hosts can see.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "codec/text/bencode.h"
#include "tests/support/codec_cases.h"
#include "zk_data/codec/error_codes.h"
#include "zk_data/codec/format_switch.h"

namespace zk {
namespace {

using test::Error;
using test::Show;

using namespace std::string_view_literals;

const test::FormatIo bencode(FormatId::Bencode);

// --- reader: one input, its code, the tree left behind, the position ---------

constexpr uint32_t Ok = err::Ok, SF = err::StreamFailure, BS = err::BencodeSyntax;

TEST(BencodeRead, Strings) {
    bencode.CheckReads({
        {"0:", Ok, R"("")", 2},
        {"4 :spam", Ok, R"("spam")", 7},  // white space before the colon is skipped
        {"4: spa", Ok, R"(" spa")", 6},   // after it, it belongs to the string
        {"\t\n 003:a\0bxyz"sv, Ok, "\"a\0b\""sv, 10},
        {"3:abc", Ok, R"("abc")", 5},  // the last byte read exactly: no end state
        {"5:abc", SF, "~"},            // a failed string leaves None
        {"1:", SF, "~"},
        {"3", SF, "~"},
        {"3 ", SF, "~"},
        {"4294967295:x", SF, "~"},  // a huge length costs nothing
        {"4294967296:x", SF, "~"},
        {"99999999999999999999:", SF, "~"},
        {"3x", BS, "~"},
        {"3;abc", BS, "~"},
    });
    DataNode node;
    std::string longText(100000, 'x');
    EXPECT_EQ(bencode.Read("100000:" + longText, node), Ok);
    EXPECT_EQ(node.str().view(), longText);
}

TEST(BencodeRead, Integers) {
    bencode.CheckReads({
        {" i 42 e", Ok, "42", 7},
        {"i-0e", Ok, "0"},
        {"i007e", Ok, "7"},
        {"i+5e", Ok, "5"},
        {"i-9223372036854775808e", Ok, "-9223372036854775808"},
        {"\v\fi1\r\ne", Ok, "1"},  // all six C white-space bytes
        {"i5ei6e", Ok, "5", 3},
        {"ie", SF, "0k10"},  // a failed integer leaves Int 0 of kind UInt64
        {"i", SF, "0k10"},
        {"i5", SF, "0k10"},
        {"i5 ", SF, "0k10"},
        {"i-e", SF, "0k10"},
        {"ixe", SF, "0k10"},
        {"i9223372036854775808e", SF, "0k10"},
        {"i5x", BS, "0k10"},
        {"i5.0e", BS, "0k10"},
    });
}

TEST(BencodeRead, BytesThatStartNoValue) {
    bencode.CheckReads({
        {"x", BS, "~"}, {"e", BS, "~"}, {"-1:a", BS, "~"}, {"+1:a", BS, "~"},
        {":", BS, "~"}, {"I1e", BS, "~"}, {"L", BS, "~"},  {"", SF, "~"},
        {" \t\n", SF, "~"},
    });
}

TEST(BencodeRead, Lists) {
    bencode.CheckReads({
        {"le", Ok, "[]", 2},
        {"lei1e", Ok, "[]", 2},
        {"l i1e 1:a le de e", Ok, R"([1,"a",[],{}])"},
        {"li1e3:ab", SF, "[1,~]"},  // items read so far stay
        {"li1ex", BS, "[1,~]"},
        {"li1e", SF, "[1]"},  // nothing more to read: nothing added
        {"l", SF, "[]"},
    });
}

TEST(BencodeRead, Dictionaries) {
    bencode.CheckReads({
        {" de  ", Ok, "{}", 3},
        {"d1:bi2e1:ai1ee", Ok, "{b:2,a:1}"},  // insertion order, not sorted
        {"d 1 :ai1e +1:b0: 0:le e", Ok, R"({a:1,b:"",:[]})"},
        {"d2:\0\xffi1ee"sv, Ok, "{\0\xff:1}"sv},
        {"d1:ai1e1:ai2ee", Ok, "{a:2}"},
        {"d1:ai1e1:bi2e1:ald1:xi1eeee", Ok, "{a:[{x:1}],b:2}"},  // first place, last value
        {"di1ei2ee", SF, "{}"},  // an integer where a key belongs
        {"dlei2ee", SF, "{}"},
        {"d-1:ai1ee", SF, "{}"},  // a signed key length is refused, -0 too
        {"d-0:i1ee", SF, "{}"},
        {"d4294967295:", SF, "{}"},
        {"d1:ai1e", SF, "{a:1}"},
        {"d1:a", SF, "{}"},
        {"d", SF, "{}"},
        {"d1:ae", BS, "{}"},
        {"d1xi1ee", BS, "{}"},
        // A pair whose value fails is not stored, and does not replace an
        // earlier value of its key.
        {"d1:ai1e1:bli1exee", BS, "{a:1}"},
        {"d1:ai1e1:ali1exee", BS, "{a:1}"},
    });
}

// --- writer ------------------------------------------------------------------

TEST(BencodeWrite, KeysInInsertionOrderUnsorted) {
    DataNode node;
    node.mapGet("name").setStr("abc");
    node.mapGet("n").setInt(-5, ValueKind::Int32);
    node.mapGet("l").listAt(0).setInt(1, ValueKind::UInt8);
    node.mapGet("l").listAt(1).setStr("");
    EXPECT_EQ(bencode.Write(node), "d4:name3:abc1:ni-5e1:lli1e0:ee");

    DataNode unsorted;
    unsorted.mapGet("b").setInt(2, ValueKind::Int64);
    unsorted.mapGet("a").setInt(1, ValueKind::Int64);
    EXPECT_EQ(bencode.Write(unsorted), "d1:bi2e1:ai1ee");
}

TEST(BencodeWrite, ScalarsAndEmptyContainers) {
    DataNode node;
    node.setStr("", ValueKind::Binary);
    EXPECT_EQ(bencode.Write(node), "0:");
    node.asList();
    EXPECT_EQ(bencode.Write(node), "le");
    node.asMap();
    EXPECT_EQ(bencode.Write(node), "de");
    node.setInt(INT64_MIN, ValueKind::Int64);
    EXPECT_EQ(bencode.Write(node), "i-9223372036854775808e");
    node.setInt(-1, ValueKind::UInt64);  // the kind is ignored: always signed
    EXPECT_EQ(bencode.Write(node), "i-1e");
    node.setStr("\0\"e:"sv, ValueKind::Binary);
    EXPECT_EQ(bencode.Write(node), "4:\0\"e:"sv);
    std::string longText(300, 'q');
    node.setStr(longText, ValueKind::Text);
    EXPECT_EQ(bencode.Write(node), "300:" + longText);
    DataNode map;
    map.mapGet("\0"sv).asList();
    EXPECT_EQ(bencode.Write(map), "d1:\0lee"sv);
}

TEST(BencodeWrite, NoneNodeAndFailedStream) {
    EXPECT_EQ(bencode.Written(DataNode()), (test::Output{err::Unsupported, ""}));
    DataNode map;
    map.mapGet("a").setInt(1, ValueKind::Int64);
    map.mapGet("b").mapGet("c");
    EXPECT_EQ(bencode.Write(map), Error(err::Unsupported));

    DataNode node;
    node.listAt(0).setStr("x");
    EXPECT_EQ(bencode.WriteToFailedStream(node), SF);
    node.setInt(1, ValueKind::Int64);
    EXPECT_EQ(bencode.WriteToFailedStream(node), SF);
}

TEST(BencodeWrite, ReadBackGivesTheSameText) {
    DataNode node;
    node.mapGet("z").setStr("\0e:i\xff"sv, ValueKind::Binary);
    node.mapGet("a").listAt(0).setInt(INT64_MAX, ValueKind::Int64);
    node.mapGet("a").listAt(1).mapGet("").asList();
    bencode.ExpectReadsBack(node);
}

// --- through the format switch -----------------------------------------------

bool BencodeWired() {
    return CodecFor(FormatId::Bencode).read == ReadBencode && CodecFor(FormatId::Bencode).write == WriteBencode;
}

TEST(BencodeBuffer, RoundTripAndConsumedLength) {
    if (!BencodeWired()) GTEST_SKIP() << "bencode is not in the format switch yet";
    DataNode node;
    node.mapGet("b").setInt(2, ValueKind::Int64);
    node.mapGet("a").setStr("x");
    ASSERT_TRUE(node.setFormat(FormatId::Bencode));
    char buf[32];
    uint32_t size = sizeof buf;
    ASSERT_EQ(writeToBuffer(node, buf, size), Ok);
    EXPECT_EQ(std::string_view(buf, size), "d1:bi2e1:a1:xe");
    DataNode back;
    ASSERT_TRUE(back.setFormat(FormatId::Bencode));
    std::memcpy(buf + size, "i1e", 3);  // trailing bytes are not read
    uint32_t got = size + 3;
    EXPECT_EQ(readFromBuffer(back, buf, got), Ok);
    EXPECT_EQ(got, size);
    EXPECT_EQ(Show(back), R"({b:2,a:"x"})");
    got = 5;
    EXPECT_EQ(readFromBuffer(back, "5:abc", got), SF);
    EXPECT_EQ(got, 0u);
}

}  // namespace
}  // namespace zk
