// The INI codec: byte-exact lines without trimming, the comment and CR rules
// of the reader, and its reading to the very end of the input.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "codec/text/ini.h"
#include "tests/support/codec_cases.h"
#include "zk_data/codec/error_codes.h"

namespace zk {
namespace {

using namespace std::string_literals;

using test::Error;

const test::FormatIo ini(FormatId::Ini);

uint32_t ReadCode(std::string_view text) {
    DataNode node;
    return ini.Read(text, node);
}

// The tree as "[section]key=value;" text, to compare whole results at once.
std::string Show(const DataNode& root) {
    if (!root.isMap()) return root.isNone() ? "<none>" : "<not a map>";
    std::string s;
    for (const MapValue::Entry& section : root.map()) {
        s.append("[").append(section.key.view()).append("]");
        if (!section.child->isMap()) {
            s += "<not a map>";
            continue;
        }
        for (const MapValue::Entry& e : section.child->map())
            s.append(e.key.view()).append("=").append(e.child->strOrEmpty().view()).append(";");
    }
    return s;
}

std::string ReadShow(std::string_view text) {
    DataNode node;
    uint32_t code = ini.Read(text, node);
    return code ? Error(code) : Show(node);
}

// --- writer --------------------------------------------------------------------

TEST(IniWrite, SectionsKeysAndEmptySections) {
    DataNode root;
    root.mapGet("main").mapGet("a").setStr("1");
    root.mapGet("main").mapGet("b").setInt(-2, ValueKind::Int32);
    root.mapGet("x").asMap();
    std::string text = ini.Write(root);
    EXPECT_EQ(text, "[main]\r\na=1\r\nb=-2\r\n\r\n[x]\r\n\r\n");
    EXPECT_EQ(text.size(), 28u);
}

TEST(IniWrite, BytesGoOutUnchanged) {
    DataNode root;
    DataNode& s = root.mapGet(" s=p #");
    s.mapGet(" k ").setStr(" v;c= ");
    s.mapGet(";k#").setStr("");
    s.mapGet("big").setInt(INT64_MIN, ValueKind::Int64);
    s.mapGet("z\0"s).setStr("\0"s, ValueKind::Binary);
    EXPECT_EQ(ini.Write(root), "[ s=p #]\r\n k = v;c= \r\n;k#=\r\nbig=-9223372036854775808\r\nz\0=\0\r\n\r\n"s);
    DataNode empty;
    empty.asMap();
    EXPECT_EQ(ini.Write(empty), "");
}

// The reader would cut the value before its last '#'; one more '#' at the end
// is cut off instead.
TEST(IniWrite, ValueWithHashGetsAnEmptyComment) {
    DataNode root;
    DataNode& s = root.mapGet("s");
    s.mapGet("a").setStr("b#c");
    s.mapGet("b").setStr("#");
    s.mapGet("c").setStr("#fff # colour");
    EXPECT_EQ(ini.Write(root), "[s]\r\na=b#c#\r\nb=##\r\nc=#fff # colour#\r\n\r\n");
    DataNode back;
    ASSERT_EQ(ini.Read(ini.Write(root), back), err::Ok);
    EXPECT_TRUE(back.equals(root));
}

// Each of these would be written as text that reads back as another tree, or
// not at all.
TEST(IniWrite, RefusesWhatReadsBackOtherwise) {
    for (const std::string& name : {""s, "a]b"s, "]"s, "a\r\nk=v"s, "a\rb"s, "a\nb"s}) {
        DataNode root;
        root.mapGet(name).asMap();
        EXPECT_EQ(ini.Write(root), Error(err::Unsupported)) << name;
    }
    for (const std::string& key : {""s, "#k"s, "[k"s, "[k]"s, "k=v"s, "="s, "k\r"s, "k\nx"s}) {
        DataNode root;
        root.mapGet("s").mapGet(key).setStr("v");
        EXPECT_EQ(ini.Write(root), Error(err::Unsupported)) << key;
    }
    for (const std::string& value : {"a\r\nb=c"s, "a\rb"s, "\n"s, "a\n[s2]"s}) {
        DataNode root;
        root.mapGet("s").mapGet("k").setStr(value, ValueKind::Binary);
        EXPECT_EQ(ini.Write(root), Error(err::Unsupported)) << value;
    }
    DataNode root;  // refused before its line: the text ends with the last good line
    root.mapGet("s").mapGet("a").setStr("1");
    root.mapGet("s").mapGet("=").setStr("2");
    OutputStream out;
    EXPECT_EQ(WriteIni(out, root), err::Unsupported);
    EXPECT_EQ(out.view(), "[s]\r\na=1\r\n");
}

TEST(IniWrite, Refusals) {
    DataNode none, str;
    str.setStr("a");
    EXPECT_EQ(ini.Write(none), Error(err::Unsupported));
    EXPECT_EQ(ini.Write(str), Error(err::Unsupported));

    DataNode root;
    root.mapGet("ok").mapGet("a").setStr("1");
    root.mapGet("bad").setStr("x");
    OutputStream out;
    EXPECT_EQ(WriteIni(out, root), err::Unsupported);
    EXPECT_EQ(out.view(), "[ok]\r\na=1\r\n\r\n[bad]\r\n");  // the section line is already out

    DataNode values;
    values.mapGet("s").mapGet("a").setStr("1");
    values.mapGet("s").mapGet("l").listAt(0).setStr("x");
    out.clear();
    EXPECT_EQ(WriteIni(out, values), err::Unsupported);
    EXPECT_EQ(out.view(), "[s]\r\na=1\r\n");
    values.mapGet("s").mapGet("l").reset();
    EXPECT_EQ(ini.Write(values), Error(err::Unsupported));
}

TEST(IniWrite, FailedStream) {
    DataNode root;
    root.mapGet("s").asMap();
    EXPECT_EQ(ini.WriteToFailedStream(root), err::StreamFailure);
}

// --- reader --------------------------------------------------------------------

TEST(IniRead, SectionsAndKeysInOrder) {
    DataNode root;
    ASSERT_EQ(ini.Read("[main]\r\nb=2\r\na=1\r\n\r\n[x]\r\n\r\n", root), err::Ok);
    EXPECT_EQ(Show(root), "[main]b=2;a=1;[x]");
    const DataNode& a = root.mapGet("main").mapGet("a");
    EXPECT_EQ(a.kind(), ValueKind::Binary);
    EXPECT_EQ(a.format(), FormatId::Xml);
    EXPECT_EQ(a.options(), 0u);
    EXPECT_TRUE(root.mapGet("x").isMap());
}

TEST(IniRead, NoTrimmingAnywhere) {
    EXPECT_EQ(ReadShow("[s]\na = b\n"), "[s]a = b;");
    EXPECT_EQ(ReadShow("[s]\n a=b \n"), "[s] a=b ;");
    EXPECT_EQ(ReadShow("[ s ]\nk=v\n"), "[ s ]k=v;");
    EXPECT_EQ(ReadShow("[s]\n\tk\t=\tv\n"), "[s]\tk\t=\tv;");
}

TEST(IniRead, SectionLines) {
    EXPECT_EQ(ReadShow("[s]junk\nk=v\n"), "[s]k=v;");
    EXPECT_EQ(ReadShow("[s]]\n"), "[s]");
    EXPECT_EQ(ReadShow("[a[b]\n"), "[a[b]");
    EXPECT_EQ(ReadShow("[s]=x\n"), "[s]");  // a section line, not a key line
    EXPECT_EQ(ReadShow(" [s]\n"), "<none>");  // not a section line, and no '='
    EXPECT_EQ(ReadShow(" [s]\nk=v\n"), Error(err::TextSyntax));
    EXPECT_EQ(ReadCode("[]\n"), err::TextSyntax);
    EXPECT_EQ(ReadCode("[s\n"), err::TextSyntax);
    EXPECT_EQ(ReadCode("["), err::TextSyntax);
}

TEST(IniRead, CommentsAndTheLastHash) {
    EXPECT_EQ(ReadShow("[s]\na=b#c#d\n"), "[s]a=b#c;");
    EXPECT_EQ(ReadShow("[s]\na=#x\n"), "[s]a=;");
    EXPECT_EQ(ReadShow("[s]\na=\n"), "[s]a=;");
    EXPECT_EQ(ReadShow("[s]\n#a=b\n"), "[s]");
    EXPECT_EQ(ReadShow("#a=b\n[s]\n"), "[s]");  // a comment before any section is fine
    EXPECT_EQ(ReadShow("[s]\na#b=c\n"), "[s]a#b=c;");  // '#' in the key is not a comment
    EXPECT_EQ(ReadShow("[s]\na=b=c\n"), "[s]a=b=c;");
    EXPECT_EQ(ReadShow("[s]\njust text\n;semi\n"), "[s]");
}

TEST(IniRead, BadKeyLines) {
    EXPECT_EQ(ReadCode("a=b\n[s]\n"), err::TextSyntax);
    EXPECT_EQ(ReadCode("[s]\n=b\n"), err::TextSyntax);
    EXPECT_EQ(ReadCode("[s]\n=\n"), err::TextSyntax);
    DataNode root;
    EXPECT_EQ(ini.Read("[s]\na=1\n[t]\n=b\nc=2\n", root), err::TextSyntax);
    EXPECT_EQ(Show(root), "[s]a=1;[t]");  // what came before stays
}

TEST(IniRead, CarriageReturnsAreDroppedEverywhere) {
    EXPECT_EQ(ReadShow("[s]\r\na=b\rc\n"), "[s]a=bc;");
    EXPECT_EQ(ReadShow("\r[\rs\r]\r\r\n\ra\r=\rb\r\r"), "[s]a=b;");
    EXPECT_EQ(ReadShow("[s]\ra=b\r"), "[s]");  // a lone CR does not end a line
    EXPECT_EQ(ReadShow("\r\r\r\n\r"), "<none>");
    EXPECT_EQ(ReadShow("[s]\na=b#c\r#d\r\n"), "[s]a=b#c;");
}

TEST(IniRead, LastLineNeedsNoLineEnd) {
    EXPECT_EQ(ReadShow("[s]\nk=v"), "[s]k=v;");
    EXPECT_EQ(ReadShow("[s]"), "[s]");
}

TEST(IniRead, RepeatedSectionsAndKeys) {
    EXPECT_EQ(ReadShow("[a]\nx=1\ny=2\n[b]\nz=3\n[a]\nx=9\nw=4\n"), "[a]x=9;y=2;w=4;[b]z=3;");
}

TEST(IniRead, ZeroBytesAreOrdinary) {
    DataNode root;
    ASSERT_EQ(ini.Read("[s\0t]\nk\0=v\0w\n"s, root), err::Ok);
    EXPECT_EQ(Show(root), "[s\0t]k\0=v\0w;"s);
}

TEST(IniRead, EmptyInputAndResets) {
    DataNode root;
    root.setOption(0x40, true);
    root.setFormat(FormatId::Ini);
    root.setStr("old");
    ASSERT_EQ(ini.Read("", root), err::Ok);
    EXPECT_TRUE(root.isNone());
    EXPECT_EQ(root.format(), FormatId::Ini);
    EXPECT_TRUE(root.hasOption(0x40));
    EXPECT_EQ(ReadShow("\n\n# only comments\n"), "<none>");
}

TEST(IniRead, ReadsToTheEndOfInput) {
    for (std::string_view text : {"[s]\nk=v\n", "[s]\nk=v", "", "\n", "[s]\r\n\r\n"}) {
        InputStream in(text);
        DataNode root;
        ASSERT_EQ(ReadIni(in, root), err::Ok);
        EXPECT_TRUE(in.eof()) << text;
        EXPECT_EQ(in.tell(), InputStream::kNoPosition) << text;
    }
}

TEST(IniRead, FailedStreamIsRefused) {
    InputStream in(std::string_view("[s]\nk=v\n"));
    in.setFailed();
    DataNode root;
    root.setStr("kept");
    EXPECT_EQ(ReadIni(in, root), err::BadArgument);
    EXPECT_EQ(root.str(), "kept");
}

TEST(IniRead, StreamAlreadyAtItsEndReadsAsEmpty) {
    InputStream in(std::string_view("x"));
    std::string_view line;
    ASSERT_TRUE(in.getLine(line, 16));  // the end of data ends the line: Eof without Fail
    ASSERT_TRUE(in.eof());
    DataNode root;
    root.setStr("old");
    EXPECT_EQ(ReadIni(in, root), err::Ok);
    EXPECT_TRUE(root.isNone());
}

TEST(IniRead, VeryLongLinesHaveNoLimit) {
    std::string value(3000000, 'v');
    DataNode root;
    ASSERT_EQ(ini.Read("[s]\nk=" + value + "\n", root), err::Ok);
    EXPECT_EQ(root.mapGet("s").mapGet("k").str(), value);
    std::string crs;
    for (int i = 0; i < 100000; ++i) crs += "ab\r";
    ASSERT_EQ(ini.Read("[s]\nk=" + crs, root), err::Ok);
    EXPECT_EQ(root.mapGet("s").mapGet("k").size(), 200000u);
    EXPECT_EQ(ReadShow(std::string(1000000, '[')), Error(err::TextSyntax));
    EXPECT_EQ(ReadShow(std::string(1000000, 'x')), "<none>");
}

// Mangled texts: every outcome is one of the reader's codes, and a read that
// succeeds has always reached the end of its input.
TEST(IniRead, SurvivesMangledInput) {
    const std::string seed = "# top\r\n[main]\r\na=1\r\nb = 2 # two\r\n\r\n[x]\nk=v#c#d\n";
    const char interesting[] = {'\r', '\n', '\0', '[', ']', '=', '#', '\xff'};
    std::mt19937 rng(12);
    for (int round = 0; round < 5000; ++round) {
        std::string text = seed;
        for (int edits = 1 + rng() % 4; edits > 0; --edits) {
            size_t at = text.empty() ? 0 : rng() % text.size();
            switch (rng() % 3) {
            case 0:
                if (!text.empty()) text[at] = interesting[rng() % sizeof interesting];
                break;
            case 1: text.erase(at, 1 + rng() % 8); break;
            default: text.insert(at, std::string(rng() % 100, static_cast<char>(rng()))); break;
            }
        }
        InputStream in(text);
        DataNode root;
        uint32_t code = ReadIni(in, root);
        EXPECT_TRUE(code == err::Ok || code == err::TextSyntax) << code;
        if (code == err::Ok) {
            EXPECT_TRUE(in.eof());
        }
    }
}

TEST(IniRoundTrip, OddBytesReadBack) {
    DataNode root;
    for (const char* name : {"[s", "s=t", "#s", " s ", ";s", "s\t"}) {
        DataNode& s = root.mapGet(name);
        for (const char* key : {" k", ";k", "k#", "k]", "a[b", "k "})
            s.mapGet(key).setStr(" =#;[v]# ", ValueKind::Binary);
    }
    root.mapGet("e").mapGet("e").setStr("", ValueKind::Binary);
    DataNode back;
    ASSERT_EQ(ini.Read(ini.Write(root), back), err::Ok);
    EXPECT_TRUE(back.equals(root));
}

TEST(IniRoundTrip, WrittenTextReadsBack) {
    DataNode root;
    for (int s = 0; s < 20; ++s) {
        DataNode& section = root.mapGet("section" + std::to_string(s));
        for (int k = 0; k < 15; ++k)
            section.mapGet("key" + std::to_string(k)).setStr("value " + std::to_string(s * k), ValueKind::Binary);
    }
    root.mapGet("empty").asMap();
    DataNode back;
    ASSERT_EQ(ini.Read(ini.Write(root), back), err::Ok);
    EXPECT_TRUE(back.equals(root));
    EXPECT_EQ(ini.Write(back), ini.Write(root));
}

}  // namespace
}  // namespace zk
