// The JSON dialect: raw strings without escapes, 64-bit integers, true and
// false as integers, white space only between tokens. Where a read stops and
// what it leaves behind on failure matter as much as the tree: the
// caller-buffer contract reports the position, and hosts see partial trees.
#include <gtest/gtest.h>
#include <pthread.h>

#include <string>

#include "codec/limits.h"
#include "codec/text/json.h"
#include "tests/support/codec_cases.h"
#include "tests/support/small_stack.h"
#include "zk_data/codec/error_codes.h"
#include "zk_data/codec/format_switch.h"

namespace zk {
namespace {

using test_support::Nested;
using test_support::RunOnStack;
using test::Error;
using test::Show;

using namespace std::string_view_literals;

const test::FormatIo json(FormatId::Json);

// --- reader: one input, its code, the tree left behind, the position ---------

constexpr uint32_t kEndState = InputStream::kNoPosition;
constexpr uint32_t Ok = err::Ok, SF = err::StreamFailure, TS = err::TextSyntax, JS = err::JsonSeparator;

TEST(JsonRead, Strings) {
    json.CheckReads({
        {R"("a\")", Ok, R"("a\")", 4},  // no escapes: a and a backslash
        {R"("")", Ok, R"("")", 2},
        {"\"\0\t\n\x01\xff{[\" tail"sv, Ok, "\"\0\t\n\x01\xff{[\""sv, 9},
        {R"(  "x"y)", Ok, R"("x")", 5},
        {R"("abc)", SF, "~"},  // a failed string leaves None
        {R"(")", SF, "~"},
    });
    DataNode node;
    std::string longText(1000, 'z');
    EXPECT_EQ(json.Read("\"" + longText + "\"", node), Ok);
    EXPECT_EQ(node.str().view(), longText);
}

TEST(JsonRead, MissingClosingQuoteEndsInTheEndState) {
    InputStream in("\"abc"sv);
    DataNode node;
    EXPECT_EQ(ReadJson(in, node), SF);
    EXPECT_TRUE(in.eof());
    EXPECT_TRUE(in.failed());
}

TEST(JsonRead, Words) {
    json.CheckReads({
        {" true", Ok, "1k7", 5},
        {"trUE", Ok, "1k7", 4},
        {"fAlSe,", Ok, "0k7", 5},
        {"truex", Ok, "1k7", 4},
        {"True", TS, "~"},  // the first letter must be lower case
        {"False", TS, "~"},
        {"trux", TS, "~"},
        {"t\xf2ue", TS, "~"},  // only the case bit is ignored
        {"falsy", TS, "~"},
        {"null", TS, "~"},
        {"tru", SF, "~"},
        {"fals", SF, "~"},
        {"t", SF, "~"},
    });
}

TEST(JsonRead, Numbers) {
    json.CheckReads({
        {"007", Ok, "7", kEndState},  // the number ran into the end
        {"5", Ok, "5", kEndState},
        {"5xyz", Ok, "5", 1},
        {"-5 ", Ok, "-5", 2},
        {"-0]", Ok, "0", 2},
        {"-9223372036854775808,", Ok, "-9223372036854775808", 20},
        {"9223372036854775807}", Ok, "9223372036854775807", 19},
        {"1.5", Ok, "1", 1},  // no fraction, no exponent
        {"2e3", Ok, "2", 1},
        {"-", SF, "0"},  // a failed number leaves Int 0 of kind Int64
        {"-x", SF, "0"},
        {"- 1", SF, "0"},
        {"--1", SF, "0"},
        {"9223372036854775808", SF, "0"},
        {"-9223372036854775809,", SF, "0"},
    });
}

TEST(JsonRead, BytesThatStartNoValue) {
    json.CheckReads({
        {"+5", TS, "~"}, {".5", TS, "~"}, {"n", TS, "~"},   {"]", TS, "~"},
        {"}", TS, "~"},  {",", TS, "~"},  {":", TS, "~"},   {"'a'", TS, "~"},
        {"\v5", TS, "~"}, {"\f5", TS, "~"}, {"\0"sv, TS, "~"},  // VT and FF are not white space here
        {"", SF, "~"},   {" \t\r\n ", SF, "~"},
    });
    EXPECT_TRUE(IsJsonSpace(' ') && IsJsonSpace('\t') && IsJsonSpace('\n') && IsJsonSpace('\r'));
    EXPECT_FALSE(IsJsonSpace('\v') || IsJsonSpace('\f') || IsJsonSpace(0) || IsJsonSpace(0xA0));
    InputStream none(nullptr, 0);
    DataNode node;
    EXPECT_EQ(ReadJson(none, node), SF);
}

TEST(JsonRead, Lists) {
    json.CheckReads({
        {"[1 , 2]", Ok, "[1,2]", 7},
        {"[ 1\n,\t2 ] ", Ok, "[1,2]", 9},
        {"[]", Ok, "[]", 2},
        {"[1,]", Ok, "[1]", 4},  // the byte after a comma is looked at before white space
        {R"([[],[1,["x"]],{}])", Ok, R"([[],[1,["x"]],{}])"},
        {R"(["s",5,true])", Ok, R"(["s",5,1k7])"},
        {"[ ]", TS, "[~]"},
        {"[1, ]", TS, "[1,~]"},
        {"[,]", TS, "[~]"},
        {"[1,,2]", TS, "[1,~]"},
        {R"([1,"a",x])", TS, R"([1,"a",~])"},  // items read so far stay
        {"[1 2]", JS, "[1]"},
        {"[1;2]", JS, "[1]"},
        {"[1}", JS, "[1]"},
        {"[", SF, "[]"},
        {"[ ", SF, "[~]"},
        {"[1", SF, "[1]"},
        {"[1 ", SF, "[1]"},
        {"[1,", SF, "[1]"},
    });
}

TEST(JsonRead, Maps) {
    json.CheckReads({
        {R"({"a" : 1 , "b":[]})", Ok, "{a:1,b:[]}", 18},
        {R"({"b":2,"a":1})", Ok, "{b:2,a:1}"},  // insertion order, not sorted
        {"{ \"a\":\n\t1}", Ok, "{a:1}"},
        {R"({"a":1,})", Ok, "{a:1}"},
        {"{}", Ok, "{}", 2},
        {"{\"\0 :\":1}"sv, Ok, "{\0 ::1}"sv},
        {R"({"a":1,"a":2})", Ok, "{a:2}"},
        {R"({"a":1,"b":2,"a":[3]})", Ok, "{a:[3],b:2}"},  // first place, last value
        {R"({"s":"x","n":5,"t":true})", Ok, R"({s:"x",n:5,t:1k7})"},
    });
}

TEST(JsonRead, MapKeysMustBeNonEmptyStrings) {
    json.CheckReads({
        {R"({"":1})", TS, "{}"},
        {"{1:2}", TS, "{}"},
        {"{true:2}", TS, "{}"},
        {"{[]:2}", TS, "{}"},
        {"{x:2}", TS, "{}"},
        {"{ }", TS, "{}"},
        {"{,}", TS, "{}"},
        {"{[1 2]:3}", JS, "{}"},  // a malformed key fails with its own code
        {"{-x:1}", SF, "{}"},
        {"{tru", SF, "{}"},
        {R"({"a)", SF, "{}"},
    });
}

TEST(JsonRead, MapSeparatorsAndFailedMembers) {
    json.CheckReads({
        {R"({"a" 1})", JS, "{}"},
        {R"({"a";1})", JS, "{}"},
        {R"({"a":1 "b":2})", JS, "{a:1}"},
        {R"({"a":1;})", JS, "{a:1}"},
        {R"({"a":1])", JS, "{a:1}"},
        {R"({"a":})", TS, "{}"},
        {R"({"a":1, })", TS, "{a:1}"},
        {"{", SF, "{}"},
        {R"({"a")", SF, "{}"},
        {R"({"a" )", SF, "{}"},
        {R"({"a":)", SF, "{}"},
        {R"({"a":1)", SF, "{a:1}"},
        {R"({"a":1,)", SF, "{a:1}"},
        // A member whose value fails is not stored, and does not replace an
        // earlier value of its key.
        {R"({"a":1,"b":[1,x]})", TS, "{a:1}"},
        {R"({"a":1,"a":[1,x]})", TS, "{a:1}"},
        {R"({"a":{"b":1,"c":"x)", SF, "{}"},
    });
}

// --- writer ------------------------------------------------------------------

TEST(JsonWrite, MembersInInsertionOrderWithoutWhiteSpace) {
    DataNode node;
    node.mapGet("name").setStr("abc");
    node.mapGet("n").setInt(-5, ValueKind::Int32);
    node.mapGet("l").listAt(0).setInt(1, ValueKind::UInt8);
    node.mapGet("l").listAt(1).setStr("x");
    node.mapGet("m").asMap();
    EXPECT_EQ(json.Write(node), R"({"name":"abc","n":-5,"l":[1,"x"],"m":{}})");

    DataNode unsorted;
    unsorted.mapGet("b").setInt(2, ValueKind::Int64);
    unsorted.mapGet("a").setInt(1, ValueKind::Int64);
    EXPECT_EQ(json.Write(unsorted), R"({"b":2,"a":1})");
}

TEST(JsonWrite, ScalarsAndEmptyContainers) {
    DataNode node;
    node.asList();
    EXPECT_EQ(json.Write(node), "[]");
    node.asMap();
    EXPECT_EQ(json.Write(node), "{}");
    node.setStr("", ValueKind::Binary);
    EXPECT_EQ(json.Write(node), "\"\"");
    node.setStr("a\0b\\n\n\x01\xff"sv, ValueKind::Text);  // bytes go out unchanged
    EXPECT_EQ(json.Write(node), "\"a\0b\\n\n\x01\xff\""sv);
    node.setInt(INT64_MIN, ValueKind::Int64);
    EXPECT_EQ(json.Write(node), "-9223372036854775808");
    node.setInt(-1, ValueKind::UInt64);  // the kind is ignored: always signed
    EXPECT_EQ(json.Write(node), "-1");
    node.setInt(1, ValueKind::NativeInt);
    EXPECT_EQ(json.Write(node), "1");
    DataNode map;
    map.mapGet("k\0y"sv).setInt(0, ValueKind::Int64);
    EXPECT_EQ(json.Write(map), "{\"k\0y\":0}"sv);
}

TEST(JsonWrite, QuoteInStringOrKeyFailsAnywhere) {
    DataNode node;
    node.setStr("\0\""sv, ValueKind::Binary);  // a zero byte does not end the search
    EXPECT_EQ(json.Write(node), Error(JS));
    DataNode deep;
    deep.mapGet("a").listAt(0).setInt(1, ValueKind::Int64);
    deep.mapGet("a").listAt(1).mapGet("b").setStr("q\"");
    EXPECT_EQ(json.Write(deep), Error(JS));
    DataNode key;
    key.mapGet("ok").setInt(1, ValueKind::Int64);
    key.mapGet("k\"").setInt(2, ValueKind::Int64);
    EXPECT_EQ(json.Write(key), Error(JS));
    EXPECT_TRUE(HasNoQuote("") && HasNoQuote("\0\0"sv));
    EXPECT_FALSE(HasNoQuote("\0\0\""sv));
    // Short strings are tested word by word: a quote at every place of every
    // length is found, and bytes one bit away from a quote are not taken
    // for one.
    for (size_t len = 1; len <= 24; ++len) {
        std::string s(len, '\x22' ^ 0x01);
        EXPECT_TRUE(HasNoQuote(s)) << len;
        s.assign(len, '\xA2');
        EXPECT_TRUE(HasNoQuote(s)) << len;
        for (size_t at = 0; at < len; ++at) {
            std::string q(len, '#');
            q[at] = '"';
            EXPECT_FALSE(HasNoQuote(q)) << len << " " << at;
        }
    }
}

// The reader takes only non-empty keys, so the writer gives none.
TEST(JsonWrite, EmptyKeyFailsAnywhere) {
    DataNode top;
    top.mapGet("").setInt(1, ValueKind::Int64);
    EXPECT_EQ(json.Write(top), Error(err::Unsupported));
    DataNode deep;
    deep.mapGet("a").listAt(0).setInt(1, ValueKind::Int64);
    deep.mapGet("a").listAt(1).mapGet("b").mapGet("").setStr("x");
    EXPECT_EQ(json.Write(deep), Error(err::Unsupported));
}

TEST(JsonWrite, NoneNodeAndFailedStream) {
    EXPECT_EQ(json.Written(DataNode()), (test::Output{err::Unsupported, ""}));
    DataNode list;
    list.listAt(0).setInt(7, ValueKind::Int64);
    list.listAt(1);  // grown, still None
    EXPECT_EQ(json.Write(list), Error(err::Unsupported));

    DataNode node;
    node.mapGet("a").setStr("x");
    EXPECT_EQ(json.WriteToFailedStream(node), SF);
    node.setInt(5, ValueKind::Int64);
    EXPECT_EQ(json.WriteToFailedStream(node), SF);
}

TEST(JsonWrite, ReadBackGivesTheSameText) {
    DataNode node;
    node.mapGet("b").setStr("\0\x01\\\xfe"sv, ValueKind::Binary);
    node.mapGet("a").listAt(0).setInt(INT64_MIN, ValueKind::Int64);
    node.mapGet("a").listAt(1).mapGet("z").asList();
    json.ExpectReadsBack(node);
}

// --- depth -------------------------------------------------------------------

// A key that is not a string is read as a value before it is refused, so
// past the bound that path must fit a 1 MiB stack too.
TEST(JsonDepth, RefusedKeysPastTheBoundFitInOneMiBStack) {
    RunOnStack(1 << 20, [] {
        DataNode node;
        EXPECT_EQ(json.Read(std::string(kMaxDepth + 1, '{'), node), TS);
        EXPECT_EQ(json.Read(Nested("{[", "", "", kMaxDepth), node), TS);
    });
}

// --- through the format switch -----------------------------------------------

bool JsonWired() { return CodecFor(FormatId::Json).read == ReadJson && CodecFor(FormatId::Json).write == WriteJson; }

TEST(JsonBuffer, ReportsConsumedLength) {
    if (!JsonWired()) GTEST_SKIP() << "JSON is not in the format switch yet";
    DataNode node;
    ASSERT_TRUE(node.setFormat(FormatId::Json));
    uint32_t size = 4;
    EXPECT_EQ(readFromBuffer(node, "5xyz", size), Ok);
    EXPECT_EQ(size, 1u);
    size = 1;
    EXPECT_EQ(readFromBuffer(node, "5", size), Ok);
    EXPECT_EQ(size, kEndState);
    size = 5;
    EXPECT_EQ(readFromBuffer(node, "[1 2]", size), JS);
    EXPECT_EQ(size, 0u);
    EXPECT_EQ(node.format(), FormatId::Json);
}

TEST(JsonBuffer, WritesTheMapOfTheOverview) {
    if (!JsonWired()) GTEST_SKIP() << "JSON is not in the format switch yet";
    DataNode node;
    node.mapGet("name").setStr("abc");
    node.mapGet("n").setInt(5, ValueKind::Int32);
    ASSERT_TRUE(node.setFormat(FormatId::Json));
    uint32_t size = 0;
    EXPECT_EQ(writeToBuffer(node, nullptr, size), err::BufferTooSmall);
    EXPECT_EQ(size, 20u);
    char buf[24] = {};
    EXPECT_EQ(writeToBuffer(node, buf, size), Ok);
    EXPECT_EQ(size, 20u);
    EXPECT_EQ(std::string_view(buf, 21), "{\"name\":\"abc\",\"n\":5}\0"sv);
}

}  // namespace
}  // namespace zk
