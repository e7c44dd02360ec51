// The streams the codecs work on: their states decide what position the
// caller-buffer contract reports, so they are tested state by state.
#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "zk_data/codec/input_stream.h"
#include "zk_data/codec/output_stream.h"

namespace zk {
namespace {

TEST(OutputStream, AppendsEveryKindOfPiece) {
    OutputStream out;
    out.put('[');
    out.write("ab", 2);
    out.write(std::string_view("\0c", 2));
    out.writeText("xyz");
    out.writeText(nullptr);
    out.writeInt64(-42);
    out.writeInt64(INT64_MIN);
    out.writeUInt64(UINT64_MAX);
    out.fill('\t', 3);
    EXPECT_TRUE(out.good());
    EXPECT_EQ(out.view(), std::string_view("[ab\0cxyz-42-922337203685477580818446744073709551615\t\t\t", 54));
    out.clear();
    EXPECT_EQ(out.size(), 0u);
}

TEST(OutputStream, GrowsAcrossManyAppends) {
    OutputStream out;
    std::string expected;
    for (int i = 0; i < 10000; ++i) {
        out.writeInt64(i);
        out.put(',');
        expected += std::to_string(i) + ",";
    }
    EXPECT_EQ(out.view(), expected);
}

// Short pieces are copied as overlapping words: every length, at every
// offset of the buffer, the growing path included, gives the same bytes.
TEST(OutputStream, ShortWritesCopyEveryLength) {
    const std::string source = "0123456789abcdefghijklmnopqrstuvwxyz";
    OutputStream out;
    std::string expected;
    for (int round = 0; round < 40; ++round) {
        for (size_t n = 0; n <= 20; ++n) {
            std::string_view piece(source.data() + (round + n) % 16, n);
            out.writeShort(piece);
            expected.append(piece);
        }
    }
    EXPECT_EQ(out.view(), expected);
    out.setFailed();
    out.writeShort("ignored");
    EXPECT_EQ(out.size(), expected.size());
}

TEST(OutputStream, FailedStreamIgnoresAppends) {
    OutputStream out;
    out.write("ok", 2);
    out.setFailed();
    out.write("more", 4);
    out.put('x');
    out.fill(' ', 10);
    EXPECT_TRUE(out.failed());
    EXPECT_EQ(out.view(), "ok");
}

// A stream that ends leaves its memory to the next one on the thread; the
// next stream must still start empty, and streams alive at the same time
// must never share it.
TEST(OutputStream, ReusedMemoryStartsEmpty) {
    const char* kept = nullptr;
    {
        OutputStream first;
        first.fill('x', 100000);
        kept = first.data();
    }
    OutputStream second;
    EXPECT_EQ(second.size(), 0u);
    second.write("ab", 2);
    EXPECT_EQ(second.view(), "ab");
    EXPECT_EQ(second.data(), kept) << "the ended stream's block is reused";
    OutputStream third;  // while second holds the block
    third.write("cd", 2);
    EXPECT_NE(third.data(), second.data());
    EXPECT_EQ(second.view(), "ab");
    EXPECT_EQ(third.view(), "cd");
}

TEST(OutputStream, ReleasedSpareAndOtherThreads) {
    { OutputStream big; big.fill('y', 1 << 20); }
    ReleaseSpareOutput();
    ReleaseSpareOutput();  // nothing left: harmless
    OutputStream after;
    after.write("z", 1);
    EXPECT_EQ(after.view(), "z");
    std::string seen;
    std::thread([&] {
        OutputStream other;
        other.fill('q', 3);
        seen = other.view();
    }).join();
    EXPECT_EQ(seen, "qqq");
}

TEST(InputStream, GetReadsBytesThenHitsTheEnd) {
    InputStream in(std::string_view("a\xff", 2));
    EXPECT_EQ(in.get(), 'a');
    EXPECT_EQ(in.get(), 0xFF);
    EXPECT_TRUE(in.good());
    EXPECT_EQ(in.tell(), 2u);  // reading the last byte exactly is not the end state
    EXPECT_EQ(in.get(), InputStream::kEnd);
    EXPECT_TRUE(in.eof());
    EXPECT_TRUE(in.failed());
    EXPECT_EQ(in.tell(), InputStream::kNoPosition);
}

TEST(InputStream, UngetStepsBackAndClearsEof) {
    InputStream in(std::string_view("xy"));
    EXPECT_FALSE(in.unget());  // nothing read yet
    EXPECT_TRUE(in.failed());

    InputStream in2(std::string_view("xy"));
    EXPECT_EQ(in2.get(), 'x');
    EXPECT_TRUE(in2.unget());
    EXPECT_EQ(in2.get(), 'x');
    EXPECT_EQ(in2.get(), 'y');
    EXPECT_EQ(in2.peek(), InputStream::kEnd);
    EXPECT_TRUE(in2.eof());
    EXPECT_FALSE(in2.failed());  // peek at the end sets Eof only
    EXPECT_TRUE(in2.unget());    // and unget clears it
    EXPECT_TRUE(in2.good());
    EXPECT_EQ(in2.get(), 'y');
}

TEST(InputStream, ReadTakesExactCountsInPlace) {
    const char data[] = "abcdef";
    InputStream in(data, 6);
    std::string_view v = in.readView(4);
    EXPECT_EQ(v, "abcd");
    EXPECT_EQ(v.data(), data);  // no copy
    char buf[8] = {};
    EXPECT_EQ(in.read(buf, 5), 2u);
    EXPECT_EQ(std::string(buf, 2), "ef");
    EXPECT_TRUE(in.eof());
    EXPECT_TRUE(in.failed());
    EXPECT_EQ(in.read(buf, 1), 0u);  // a failed stream reads nothing
}

TEST(InputStream, ZeroCountReadAtTheEndSucceeds) {
    InputStream in(std::string_view("a"));
    in.get();
    EXPECT_EQ(in.readView(0).size(), 0u);
    EXPECT_TRUE(in.good());
}

TEST(InputStream, NullOrEmptyMemoryIsAnEmptyStream) {
    InputStream in(nullptr, 10);
    EXPECT_EQ(in.size(), 0u);
    EXPECT_EQ(in.get(), InputStream::kEnd);
    InputStream empty("", 0);
    int64_t v;
    EXPECT_FALSE(empty.extractInt64(v));
    EXPECT_TRUE(empty.eof());
}

TEST(InputStream, ExtractInt64FollowsFormattedExtraction) {
    int64_t v = 0;
    InputStream a(std::string_view(" \t\r\n\v\f-17x"));
    EXPECT_TRUE(a.extractInt64(v));
    EXPECT_EQ(v, -17);
    EXPECT_EQ(a.get(), 'x');  // stops before the first other byte

    InputStream b(std::string_view("+007e"));
    EXPECT_TRUE(b.extractInt64(v));
    EXPECT_EQ(v, 7);
    EXPECT_EQ(b.tell(), 4u);

    InputStream c(std::string_view("5"));  // digits run into the end: Eof only
    EXPECT_TRUE(c.extractInt64(v));
    EXPECT_EQ(v, 5);
    EXPECT_TRUE(c.eof());
    EXPECT_FALSE(c.failed());
    EXPECT_EQ(c.tell(), InputStream::kNoPosition);

    InputStream d(std::string_view("-x"));
    EXPECT_FALSE(d.extractInt64(v));
    EXPECT_TRUE(d.failed());
    EXPECT_FALSE(d.eof());

    InputStream e(std::string_view("-"));
    EXPECT_FALSE(e.extractInt64(v));
    EXPECT_TRUE(e.failed());
    EXPECT_TRUE(e.eof());

    InputStream f(std::string_view("   "));
    EXPECT_FALSE(f.extractInt64(v));
    EXPECT_TRUE(f.eof());
    EXPECT_TRUE(f.failed());
}

TEST(InputStream, ExtractInt64Limits) {
    int64_t v = 0;
    InputStream max(std::string_view("9223372036854775807 -9223372036854775808 "));
    EXPECT_TRUE(max.extractInt64(v));
    EXPECT_EQ(v, INT64_MAX);
    EXPECT_TRUE(max.extractInt64(v));
    EXPECT_EQ(v, INT64_MIN);

    InputStream over(std::string_view("9223372036854775808,"));
    EXPECT_FALSE(over.extractInt64(v));
    EXPECT_EQ(v, INT64_MAX);
    EXPECT_TRUE(over.failed());

    InputStream under(std::string_view("-9223372036854775809"));
    EXPECT_FALSE(under.extractInt64(v));
    EXPECT_EQ(v, INT64_MIN);

    InputStream narrow(std::string_view("2147483648 -1 2147483647"));
    EXPECT_FALSE(narrow.extractInteger(v, 0, INT32_MAX));
    InputStream negative(std::string_view("-1"));
    EXPECT_FALSE(negative.extractInteger(v, 0, INT32_MAX));
    InputStream minusZero(std::string_view("-0 "));
    EXPECT_TRUE(minusZero.extractInteger(v, 0, INT32_MAX));
    EXPECT_EQ(v, 0);

    // The first eighteen digits are taken unchecked; the limit must still
    // hold for the whole number, zeros leading or not.
    InputStream padded(std::string_view("0000000000000000000000009223372036854775807 -00000000000000000001 "));
    EXPECT_TRUE(padded.extractInt64(v));
    EXPECT_EQ(v, INT64_MAX);
    EXPECT_TRUE(padded.extractInt64(v));
    EXPECT_EQ(v, -1);
    InputStream longOver(std::string_view("123456789012345678901234567890x"));
    EXPECT_FALSE(longOver.extractInt64(v));
    EXPECT_EQ(v, INT64_MAX);
    EXPECT_EQ(longOver.offset(), 30u);  // every digit belongs to the number
    InputStream small(std::string_view("100000000000000000"));  // 18 digits
    EXPECT_FALSE(small.extractInteger(v, 0, INT32_MAX));
    EXPECT_EQ(v, INT32_MAX);
}

TEST(InputStream, ExtractCharSkipsWhiteSpace) {
    InputStream in(std::string_view("  i \n e"));
    EXPECT_EQ(in.extractChar(), 'i');
    EXPECT_EQ(in.extractChar(), 'e');
    EXPECT_TRUE(in.good());
    EXPECT_EQ(in.extractChar(), InputStream::kEnd);
    EXPECT_TRUE(in.eof());
    EXPECT_TRUE(in.failed());
}

TEST(InputStream, GetLineWithDelimiterAndLimit) {
    std::string_view line;
    InputStream in(std::string_view("ab\r\n\ncd"));
    EXPECT_TRUE(in.getLine(line, 1024));
    EXPECT_EQ(line, "ab\r");
    EXPECT_TRUE(in.getLine(line, 1024));
    EXPECT_EQ(line, "");  // an empty line still extracts its delimiter
    EXPECT_TRUE(in.getLine(line, 1024));
    EXPECT_EQ(line, "cd");  // the end of the data ends the last line...
    EXPECT_TRUE(in.eof());
    EXPECT_FALSE(in.getLine(line, 1024));  // ... and the next read fails

    std::string exact(1023, 'x');
    std::string exactLine = exact + "\nrest";
    InputStream fits(exactLine);
    EXPECT_TRUE(fits.getLine(line, 1024));
    EXPECT_EQ(line.size(), 1023u);
    EXPECT_EQ(fits.tell(), 1024u);

    std::string longer(1024, 'x');
    longer += '\n';
    InputStream tooLong(longer);
    EXPECT_FALSE(tooLong.getLine(line, 1024));
    EXPECT_TRUE(tooLong.failed());

    InputStream atEnd(exact);  // 1023 bytes then the end: a line, with Eof
    EXPECT_TRUE(atEnd.getLine(line, 1024));
    EXPECT_TRUE(atEnd.eof());

    InputStream empty("", 0);
    EXPECT_FALSE(empty.getLine(line, 1024));
}

TEST(InputStream, SeekClearsEofButNotFailure) {
    InputStream in(std::string_view("abc"));
    in.peek();
    in.readView(3);
    EXPECT_EQ(in.peek(), InputStream::kEnd);
    EXPECT_TRUE(in.seek(1));
    EXPECT_TRUE(in.good());
    EXPECT_EQ(in.tell(), 1u);
    EXPECT_FALSE(in.seek(4));
    EXPECT_TRUE(in.failed());
    EXPECT_FALSE(in.seek(0));  // a failed stream stays failed
}

}  // namespace
}  // namespace zk
