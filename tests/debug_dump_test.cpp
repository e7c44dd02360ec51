// The debug dump: indentation by level, the choice between text, GBK and hex
// for strings, the 1024-byte cut, dotted quads, and the errors that end it.
#include <gtest/gtest.h>

#include <string>

#include "codec/limits.h"
#include "codec/text/debug_dump.h"
#include "tests/support/codec_cases.h"
#include "zk_data/codec/error_codes.h"

namespace zk {
namespace {

using namespace std::string_literals;

using test::Error;

const test::FormatIo dump(FormatId::DebugDump);

DataNode Str(std::string_view bytes, int32_t kind, uint32_t options = 0) {
    DataNode node;
    node.setStr(bytes, kind);
    node.setOption(options, true);
    return node;
}

DataNode Int(int64_t v, int32_t kind, uint32_t options = 0) {
    DataNode node;
    node.setInt(v, kind);
    node.setOption(options, true);
    return node;
}

TEST(DebugDump, MixedTree) {
    DataNode root;
    root.mapGet("name").setStr("abc");
    root.mapGet("n").setInt(-5, ValueKind::Int32);
    DataNode& l = root.mapGet("l");
    l.listAt(0).setInt(1, ValueKind::Int64);
    l.listAt(1).setStr("x");
    root.mapGet("m").asMap();
    EXPECT_EQ(dump.Write(root),
              "map size(4):\r\n"
              "name:abc\r\n"
              "n:-5\r\n"
              "l:list size(2):\r\n"
              "    0:1\r\n"
              "    1:x\r\n"
              "m:map size(0):\r\n");
}

TEST(DebugDump, NestedIndentation) {
    DataNode root;
    root.listAt(0).setStr("top");
    DataNode& inner = root.listAt(1);
    inner.listAt(0).setStr("a");
    inner.listAt(1).listAt(0).setStr("deep");
    inner.listAt(1).mapGet("k").setStr("lost");  // mapGet turns the list into a map
    inner.listAt(2).asList();
    EXPECT_EQ(dump.Write(root),
              "list size(2):\r\n"
              "0:top\r\n"
              "1:list size(3):\r\n"
              "    0:a\r\n"
              "    1:map size(1):\r\n"
              "        k:lost\r\n"
              "    2:list size(0):\r\n");
}

TEST(DebugDump, DumpNodeAtALevel) {
    DataNode node;
    node.mapGet("a").listAt(0).setInt(7, ValueKind::Int32);
    OutputStream out;
    ASSERT_EQ(DumpNode(out, node, 2), err::Ok);
    EXPECT_EQ(out.view(), "map size(1):\r\n        a:list size(1):\r\n            0:7\r\n");
}

TEST(DebugDump, Scalars) {
    EXPECT_EQ(dump.Write(Str("", ValueKind::Binary)), "\r\n");
    EXPECT_EQ(dump.Write(Str(" ~", ValueKind::Binary)), " ~\r\n");  // both ends of the printable range
    EXPECT_EQ(dump.Write(Int(0, ValueKind::Int32)), "0\r\n");
    EXPECT_EQ(dump.Write(Int(INT64_MIN, ValueKind::Int64)), "-9223372036854775808\r\n");
    EXPECT_EQ(dump.Write(Int(-1, ValueKind::UInt64)), "-1\r\n");  // always signed
    DataNode list;
    list.asList();
    EXPECT_EQ(dump.Write(list), "list size(0):\r\n");
}

TEST(DebugDump, LongStringsShowOnlyTheirSize) {
    std::string s1024(1024, 'a');
    EXPECT_EQ(dump.Write(Str(s1024, ValueKind::Binary)), s1024 + "\r\n");
    EXPECT_EQ(dump.Write(Str(s1024 + "a", ValueKind::Binary)), "...[size=1025]\r\n");
    EXPECT_EQ(dump.Write(Str(s1024 + "a", ValueKind::Text, OptionFlags::DumpRawString)), "...[size=1025]\r\n");
    std::string binary(1024, '\xff');
    EXPECT_EQ(dump.Write(Str(binary, ValueKind::Binary)), "[hex]" + std::string(2048, 'f') + "\r\n");
    EXPECT_EQ(dump.Write(Str(std::string(1000000, '\1'), ValueKind::Binary)), "...[size=1000000]\r\n");
}

TEST(DebugDump, NonPrintableStrings) {
    EXPECT_EQ(dump.Write(Str("a\nb", ValueKind::Binary)), "[hex]610a62\r\n");
    EXPECT_EQ(dump.Write(Str("a\nb", ValueKind::Unspecified)), "[hex]610a62\r\n");
    EXPECT_EQ(dump.Write(Str("a\nb", ValueKind::Text)), "a\nb\r\n");
    EXPECT_EQ(dump.Write(Str("a\nb", ValueKind::Binary, OptionFlags::DumpRawString)), "a\nb\r\n");
    EXPECT_EQ(dump.Write(Str("\x7f", ValueKind::Binary)), "[hex]7f\r\n");
    EXPECT_EQ(dump.Write(Str("\x1f", ValueKind::Binary)), "[hex]1f\r\n");
    EXPECT_EQ(dump.Write(Str("\0\xab\xcd\xef"s, ValueKind::Binary)), "[hex]00abcdef\r\n");
    // A non-ASCII UTF-8 text goes out as GBK: U+4E2D is D6 D0 there.
    EXPECT_EQ(dump.Write(Str("x\xe4\xb8\xad", ValueKind::Text)), "x\xd6\xd0\r\n");
    EXPECT_EQ(dump.Write(Str("x\xe4\xb8\xad", ValueKind::Binary)), "[hex]78e4b8ad\r\n");
    EXPECT_EQ(dump.Write(Str("x\xe4\xb8\xad", ValueKind::Text, OptionFlags::DumpRawString)), "x\xe4\xb8\xad\r\n");
}

TEST(DebugDump, TextStringsShareOneConversionBuffer) {
    std::string utf8, gbk;
    for (int i = 0; i < 9; ++i) {
        utf8 += "\xe4\xb8\xad";
        gbk += "\xd6\xd0";
    }
    DataNode root;
    root.listAt(0).setStr(utf8, ValueKind::Text);
    root.listAt(1).setStr("\xe4\xb8\xad", ValueKind::Text);  // shorter than the one before
    EXPECT_EQ(dump.Write(root), "list size(2):\r\n0:" + gbk + "\r\n1:\xd6\xd0\r\n");
}

TEST(DebugDump, DottedQuads) {
    EXPECT_EQ(dump.Write(Int(0x0100007F, ValueKind::UInt32, OptionFlags::DumpDottedQuad)), "127.0.0.1\r\n");
    EXPECT_EQ(dump.Write(Int(-1, ValueKind::Int32, OptionFlags::DumpDottedQuad)), "255.255.255.255\r\n");
    EXPECT_EQ(dump.Write(Int(0x1234567801020304, ValueKind::Int32, OptionFlags::DumpDottedQuad)), "4.3.2.1\r\n");
    EXPECT_EQ(dump.Write(Int(0x0100007F, ValueKind::NativeInt, OptionFlags::DumpDottedQuad)), "16777343\r\n");
    EXPECT_EQ(dump.Write(Int(0x0100007F, ValueKind::UInt32)), "16777343\r\n");
    // Each node's own option counts, not its parent's.
    DataNode root;
    root.setOption(OptionFlags::DumpDottedQuad | OptionFlags::DumpRawString, true);
    root.mapGet("ip").setInt(0x0100007F, ValueKind::UInt32);
    root.mapGet("s").setStr("\x01", ValueKind::Binary);
    EXPECT_EQ(dump.Write(root), "map size(2):\r\nip:16777343\r\ns:[hex]01\r\n");
}

TEST(DebugDump, KeysAreWrittenAsTheyAre) {
    DataNode root;
    root.mapGet("a b\n\xff"s).setStr("v");
    root.mapGet(""s).setStr("e");
    EXPECT_EQ(dump.Write(root), "map size(2):\r\na b\n\xff:v\r\n:e\r\n");
}

TEST(DebugDump, NoneNodes) {
    EXPECT_EQ(dump.Written(DataNode()), (test::Output{err::Unsupported, ""}));
    DataNode root;
    root.listAt(0).setStr("a");
    root.listAt(2).setStr("c");  // item 1 stays None
    // The entry prefix is already out.
    EXPECT_EQ(dump.Written(root), (test::Output{err::Unsupported, "list size(3):\r\n0:a\r\n1:"}));
}

TEST(DebugDump, FailedStream) {
    EXPECT_EQ(dump.WriteToFailedStream(Str("a", ValueKind::Binary)), err::StreamFailure);
    EXPECT_EQ(dump.WriteToFailedStream(Int(1, ValueKind::Int32)), err::StreamFailure);
    DataNode list;
    list.listAt(0).setStr("x");
    EXPECT_EQ(dump.WriteToFailedStream(list), err::StreamFailure);
}

// The bound on whole trees is in depth_test.cpp. It falls on containers by
// their level, wherever DumpNode starts: a scalar is written at any level.
TEST(DebugDump, DepthIsBounded) {
    OutputStream out;
    DataNode pair;
    pair.listAt(0).asList();
    EXPECT_EQ(DumpNode(out, pair, kMaxDepth - 1), err::Unsupported);
    out.clear();
    EXPECT_EQ(DumpNode(out, Str("leaf", ValueKind::Binary), kMaxDepth + 5), err::Ok);
}

}  // namespace
}  // namespace zk
