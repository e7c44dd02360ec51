// The format switch and the error-code table.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <regex>
#include <string>
#include <utility>
#include <vector>

#include "zk_data/codec/error_codes.h"
#include "zk_data/codec/format_switch.h"

namespace zk {
namespace {

TEST(FormatSwitch, SetFormatAcceptsOnlyKnownFormats) {
    DataNode n;
    EXPECT_EQ(n.format(), FormatId::Xml);
    for (int f : {6, 7, 100, 254}) {
        EXPECT_FALSE(n.setFormat(static_cast<uint8_t>(f))) << f;
        EXPECT_EQ(n.format(), FormatId::Xml);
    }
    for (int f : {0, 1, 2, 3, 4, 5, 255}) {
        EXPECT_TRUE(n.setFormat(static_cast<uint8_t>(f))) << f;
        EXPECT_EQ(n.format(), f);
    }
}

TEST(FormatSwitch, DebugDumpCannotBeRead) {
    DataNode n;
    n.setStr("keep");
    n.setFormat(FormatId::DebugDump);
    uint32_t size = 4;
    EXPECT_EQ(readFromBuffer(n, "abcd", size), err::BadArgument);
    EXPECT_EQ(size, 0u);
    EXPECT_EQ(n.str(), "keep");  // untouched
}

TEST(FormatSwitch, FormatsWithoutCodecAreRefused) {
    // Every format either has a writer or refuses with BadArgument; none
    // claims success without producing its bytes.
    for (int f : {0, 1, 2, 3, 4, 5, 255}) {
        DataNode n;
        n.setFormat(static_cast<uint8_t>(f));
        n.setStr("x");
        OutputStream out;
        uint32_t code = writeNode(n, out);
        if (!CodecFor(static_cast<uint8_t>(f)).write) {
            EXPECT_EQ(code, err::BadArgument) << f;
            EXPECT_EQ(out.size(), 0u);
        }
    }
}

TEST(FormatSwitch, NullBufferWithRoomIsRefused) {
    DataNode n;
    uint32_t size = 3;
    EXPECT_EQ(readFromBuffer(n, nullptr, size), err::BadArgument);
    EXPECT_EQ(size, 0u);
}

// A binary record of 10 bytes: an Int32 1 and an Int8 2 in an unframed map,
// with the string "ab" behind them.
DataNode TenByteRecord() {
    DataNode n;
    n.setFormat(FormatId::Binary);
    n.setOption(OptionFlags::MapUnframed, true);
    n.mapGet("a").setInt(1, ValueKind::Int32);
    n.mapGet("b").setStr("ab");
    return n;
}

TEST(CallerBuffer, TooSmallReportsTheSizeThenFits) {
    DataNode n = TenByteRecord();
    uint32_t size = 0;
    EXPECT_EQ(writeToBuffer(n, nullptr, size), err::BufferTooSmall);
    EXPECT_EQ(size, 10u);
    char buf[16];
    std::memset(buf, 'z', sizeof buf);
    size = 9;
    EXPECT_EQ(writeToBuffer(n, buf, size), err::BufferTooSmall);
    EXPECT_EQ(buf[0], 'z');  // nothing copied
    size = 10;
    EXPECT_EQ(writeToBuffer(n, buf, size), err::Ok);
    EXPECT_EQ(size, 10u);
    EXPECT_EQ(std::string(buf, 10), std::string("\x01\0\0\0\x02\0\0\0ab", 10));
    size = 16;
    buf[10] = 'z';
    EXPECT_EQ(writeToBuffer(n, buf, size), err::Ok);
    EXPECT_EQ(size, 10u);
    EXPECT_EQ(buf[10], 'z');  // no terminator, nothing beyond the output
}

TEST(CallerBuffer, WriterFailureLeavesSizeAlone) {
    DataNode n = TenByteRecord();
    n.mapGet("a").setInt(1, 0);  // kind 0 has no width
    uint32_t size = 77;
    EXPECT_EQ(writeToBuffer(n, nullptr, size), err::Unsupported);
    EXPECT_EQ(size, 77u);
}

TEST(CallerBuffer, EmptyOutputFitsAnyBuffer) {
    DataNode n;
    n.setFormat(FormatId::Ini);
    n.asMap();
    uint32_t size = 0;
    EXPECT_EQ(writeToBuffer(n, nullptr, size), err::Ok);
    EXPECT_EQ(size, 0u);
}

TEST(CallerBuffer, ReadReportsConsumedBytes) {
    std::string bytes("\x05\0\0\0\x07\0\0\0tail", 12);
    DataNode n = TenByteRecord();
    n.mapGet("b").setInt(0, ValueKind::Int32);
    uint32_t size = static_cast<uint32_t>(bytes.size());
    EXPECT_EQ(readFromBuffer(n, bytes.data(), size), err::Ok);
    EXPECT_EQ(size, 8u);  // trailing bytes are not examined
    EXPECT_EQ(n.mapGet("a").num(), 5);
    EXPECT_EQ(n.mapGet("b").num(), 7);

    size = 6;  // the second field is cut short: failure, size 0
    EXPECT_EQ(readFromBuffer(n, bytes.data(), size), err::StreamFailure);
    EXPECT_EQ(size, 0u);
}

TEST(CallerBuffer, ReadEndingAtEndOfDataReportsNoPosition) {
    // The INI reader always reads until the input reports its end.
    std::string text = "[s]\nk=v\n";
    DataNode n;
    n.setFormat(FormatId::Ini);
    uint32_t size = static_cast<uint32_t>(text.size());
    EXPECT_EQ(readFromBuffer(n, text.data(), size), err::Ok);
    EXPECT_EQ(size, 0xFFFFFFFFu);
    EXPECT_EQ(n.mapGet("s").mapGet("k").str(), "v");

    DataNode empty;  // a zero size is an empty input
    empty.setFormat(FormatId::Binary);
    empty.setInt(1, ValueKind::Int8);
    size = 0;
    EXPECT_EQ(readFromBuffer(empty, "x", size), err::NoData);
    EXPECT_EQ(size, 0u);
}

// The old tree lives until the new one takes its place: a document may be
// read from bytes that the node itself holds.
TEST(CallerBuffer, ReadFromTheNodesOwnBytes) {
    for (uint8_t format : {FormatId::Xml, FormatId::Bencode, FormatId::Json}) {
        DataNode doc;
        doc.setFormat(format);
        doc.listAt(0).setStr("a string long enough to leave the inline bytes");
        doc.listAt(1).setInt(2, ValueKind::Int32);
        char text[512];
        uint32_t size = sizeof text;
        ASSERT_EQ(writeToBuffer(doc, text, size), err::Ok);

        DataNode n;
        n.setFormat(format);
        n.setStr(std::string_view(text, size), ValueKind::Binary);
        EXPECT_EQ(readFromBuffer(n, n.str().data(), size), err::Ok) << int(format);
        EXPECT_TRUE(n.equals(doc)) << int(format);
    }
}

// A failed read leaves what it read so far, and the options the reader set.
TEST(CallerBuffer, FailedReadKeepsItsPartialTree) {
    DataNode n;
    n.setFormat(FormatId::Json);
    n.setOption(0x80, true);
    n.setStr("old");
    uint32_t size = 7;
    EXPECT_NE(readFromBuffer(n, "[1,2,x]", size), err::Ok);
    ASSERT_TRUE(n.isList());
    EXPECT_EQ(n.size(), 3u);  // a list keeps the item that failed
    EXPECT_TRUE(n.hasOption(0x80));
    EXPECT_EQ(n.format(), FormatId::Json);
}

// The codes are read from the public header itself, so a code added there
// without a message of its own fails here.
std::vector<std::pair<std::string, uint32_t>> DeclaredCodes() {
    std::ifstream header(ZK_SOURCE_DIR "/include/zk_data/codec/error_codes.h");
    std::string text((std::istreambuf_iterator<char>(header)), std::istreambuf_iterator<char>());
    std::vector<std::pair<std::string, uint32_t>> codes;
    static const std::regex kCode(R"(constexpr uint32_t (\w+) = (\d+);)");
    for (std::sregex_iterator m(text.begin(), text.end(), kCode), end; m != end; ++m)
        codes.emplace_back((*m)[1], static_cast<uint32_t>(std::stoul((*m)[2])));
    return codes;
}

TEST(ErrorCodes, EveryCodeHasItsOwnMessage) {
    const auto codes = DeclaredCodes();
    ASSERT_GE(codes.size(), 23u);  // the header was found and read
    const std::string unknown = ErrorMessage(12345);
    for (const auto& [name, a] : codes) {
        EXPECT_NE(ErrorMessage(a), unknown) << name;
        for (const auto& [other, b] : codes) {
            if (a == b) continue;
            EXPECT_STRNE(ErrorMessage(a), ErrorMessage(b)) << name << " and " << other;
        }
    }
    EXPECT_STREQ(ErrorMessage(err::Ok), "success");
    EXPECT_EQ(codes.front(), std::make_pair(std::string("Ok"), err::Ok));
}

}  // namespace
}  // namespace zk
