#include "zk_data/text/gbk.h"
#include "zk_data/text/text_convert.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <thread>
#include <vector>

namespace zk {
namespace {

using namespace std::string_literals;

std::string ToUtf8(std::u16string_view s) {
    ByteString out;
    WideToUtf8(s.data(), s.size(), out);
    return std::string(out.view());
}

std::u16string FromUtf8(std::string_view s) {
    std::u16string out;
    Utf8ToWide(s.data(), s.size(), out);
    return out;
}

std::string ToGbk(std::u16string_view s) {
    ByteString out;
    WideToGbk(s.data(), s.size(), out);
    return std::string(out.view());
}

std::u16string FromGbk(std::string_view s) {
    std::u16string out;
    GbkToWide(s.data(), s.size(), out);
    return out;
}

std::string Utf8ToGbkString(std::string_view s) {
    ByteString out;
    Utf8ToGbk(s.data(), s.size(), out);
    return std::string(out.view());
}

// Random text mixing ASCII runs of every length (to cross the block sizes of
// the ASCII paths) with 2-, 3- and 4-byte characters.
std::u16string RandomText(std::mt19937& rng, size_t units) {
    std::u16string s;
    while (s.size() < units) {
        switch (rng() % 5) {
        case 0: s.append(rng() % 40, static_cast<char16_t>('a' + rng() % 26)); break;
        case 1: s += static_cast<char16_t>(0x80 + rng() % 0x780); break;
        case 2: s += static_cast<char16_t>(0x4E00 + rng() % 0x5000); break;
        case 3: s += u"\U0001F600"; break;
        default: s += static_cast<char16_t>(0xE000 + rng() % 0x2000); break;
        }
    }
    return s;
}

TEST(TextConvert, DestinationIsReplaced) {
    const ByteString old("left over, long enough to live on the heap");
    const std::u16string oldWide = u"left over, long enough to live on the heap";
    ByteString b;
    std::u16string u;
    b = old; WideToUtf8(nullptr, 5, b); EXPECT_TRUE(b.empty());
    b = old; WideToUtf8(u"x", 0, b); EXPECT_TRUE(b.empty());
    b = old; WideToGbk(nullptr, 3, b); EXPECT_TRUE(b.empty());
    b = old; Utf8ToGbk("x", 0, b); EXPECT_TRUE(b.empty());
    u = oldWide; Utf8ToWide(nullptr, 4, u); EXPECT_TRUE(u.empty());
    u = oldWide; Utf8ToWide("x", 0, u); EXPECT_TRUE(u.empty());
    u = oldWide; GbkToWide(nullptr, 2, u); EXPECT_TRUE(u.empty());
    // A shorter result leaves nothing of the old content behind.
    b = old; WideToUtf8(u"ab", 2, b); EXPECT_EQ(b, "ab");
    u = oldWide; Utf8ToWide("ab", 2, u); EXPECT_EQ(u, u"ab");
    b = old; Utf8ToGbk("ab", 2, b); EXPECT_EQ(b, "ab");
}

TEST(TextConvert, ZeroUnitsAreConverted) {
    EXPECT_EQ(ToUtf8(u"a\0b"s), "a\0b"s);
    EXPECT_EQ(FromUtf8("a\0b"s), u"a\0b"s);
    EXPECT_EQ(ToGbk(u"\0\u4E2D\0"s), "\0\xD6\xD0\0"s);
    EXPECT_EQ(FromGbk("\0\xD6\xD0\0"s), u"\0\u4E2D\0"s);
    EXPECT_EQ(Utf8ToGbkString("\0\xE4\xB8\xAD"s), "\0\xD6\xD0"s);
}

TEST(Utf8, EveryLengthBothWays) {
    struct Case {
        std::u16string wide;
        std::string utf8;
    } cases[] = {
        {u"A", "A"},
        {u"\u007F", "\x7F"},
        {u"\u0080", "\xC2\x80"},
        {u"\u00E9", "\xC3\xA9"},
        {u"\u07FF", "\xDF\xBF"},
        {u"\u0800", "\xE0\xA0\x80"},
        {u"\u4E2D\u6587", "\xE4\xB8\xAD\xE6\x96\x87"},
        {u"\uD7FF", "\xED\x9F\xBF"},
        {u"\uE000", "\xEE\x80\x80"},
        {u"\uFFFF", "\xEF\xBF\xBF"},
        {u"\U00010000", "\xF0\x90\x80\x80"},
        {u"\U0001F600", "\xF0\x9F\x98\x80"},
        {u"\U0010FFFF", "\xF4\x8F\xBF\xBF"},
        {u"x\u00E9y\u4E2Dz\U0001F600!", "x\xC3\xA9y\xE4\xB8\xADz\xF0\x9F\x98\x80!"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ToUtf8(c.wide), c.utf8) << c.utf8;
        EXPECT_EQ(FromUtf8(c.utf8), c.wide) << c.utf8;
    }
}

TEST(Utf8, UnpairedSurrogatesBecomeReplacement) {
    EXPECT_EQ(ToUtf8(u"\xD800"), "\xEF\xBF\xBD");
    EXPECT_EQ(ToUtf8(u"\xDC00"), "\xEF\xBF\xBD");
    EXPECT_EQ(ToUtf8(u"a\xD83D" u"b"), "a\xEF\xBF\xBD" "b");
    // Reversed order is two unpaired surrogates, not a pair.
    EXPECT_EQ(ToUtf8(u"\xDE00\xD83D"), "\xEF\xBF\xBD\xEF\xBF\xBD");
    // A high surrogate before a pair spoils only itself.
    EXPECT_EQ(ToUtf8(u"\xD800\xD83D\xDE00"), "\xEF\xBF\xBD\xF0\x9F\x98\x80");
}

TEST(Utf8, IllFormedInputGivesOneReplacementPerMaximalSubpart) {
    struct Case {
        std::string utf8;
        std::u16string wide;
    } cases[] = {
        {"\x80", u"\uFFFD"},
        {"a\x80\xBF" "b", u"a\uFFFD\uFFFDb"},
        {"\xE4\xB8", u"\uFFFD"},                   // truncated at the end
        {"\xF0\x9F\x98", u"\uFFFD"},
        {"\xE4\xB8" "A", u"\uFFFDA"},              // cut short by ASCII
        {"\xE4\xB8\xE4\xB8\xAD", u"\uFFFD\u4E2D"}, // cut short by a new lead
        {"\xC0\x80", u"\uFFFD\uFFFD"},             // overlong
        {"\xC1\xBF", u"\uFFFD\uFFFD"},
        {"\xE0\x80\x80", u"\uFFFD\uFFFD\uFFFD"},
        {"\xF0\x80\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},
        {"\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},   // encoded surrogate
        {"\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},  // past U+10FFFF
        {"\xF5\x80\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},
        {"\xFF", u"\uFFFD"},
        {"\xFE\xFF", u"\uFFFD\uFFFD"},
        // The example of the Unicode standard, section 3.9.
        {"\x61\xF1\x80\x80\xE1\x80\xC2\x62\x80\x63\x80\xBF\x64",
         u"a\uFFFD\uFFFD\uFFFDb\uFFFDc\uFFFD\uFFFDd"},
    };
    for (const auto& c : cases) EXPECT_EQ(FromUtf8(c.utf8), c.wide) << testing::PrintToString(c.utf8);
}

TEST(Utf8, RandomTextRoundTrips) {
    std::mt19937 rng(7);
    for (int i = 0; i < 200; ++i) {
        std::u16string text = RandomText(rng, rng() % 300);
        std::string utf8 = ToUtf8(text);
        size_t expected = 0;
        for (size_t k = 0; k < text.size(); ++k) {
            char16_t c = text[k];
            expected += c < 0x80 ? 1 : c < 0x800 ? 2 : (c & 0xFC00) == 0xD800 ? (++k, 4) : 3;
        }
        EXPECT_EQ(utf8.size(), expected);
        EXPECT_EQ(FromUtf8(utf8), text);
    }
}

TEST(Gbk, ChineseBothWays) {
    EXPECT_EQ(ToGbk(u"\u4E2D\u6587"), "\xD6\xD0\xCE\xC4");
    EXPECT_EQ(FromGbk("\xD6\xD0\xCE\xC4"), u"\u4E2D\u6587");
    EXPECT_EQ(ToGbk(u"a\u4E2D" u"b\u6587" u"c"), "a\xD6\xD0" "b\xCE\xC4" "c");
    EXPECT_EQ(FromGbk("a\xD6\xD0" "b\xCE\xC4" "c"), u"a\u4E2Db\u6587c");
    // Code page 936 has the euro sign as a single byte.
    EXPECT_EQ(ToGbk(u"\u20AC"), "\x80");
    EXPECT_EQ(FromGbk("\x80"), u"\u20AC");
    // A trail byte in the ASCII range belongs to its lead.
    EXPECT_EQ(FromGbk("\xD6\x40"), u"\u8AE4");
    EXPECT_EQ(Utf8ToGbkString("\xE4\xB8\xAD\xE6\x96\x87"), "\xD6\xD0\xCE\xC4");
}

TEST(Gbk, CharacterWithoutGbkFormBecomesQuestionMark) {
    EXPECT_EQ(ToGbk(u"\u20A9"), "?");         // won sign
    EXPECT_EQ(ToGbk(u"\U0001F600"), "?");     // a pair is one character
    EXPECT_EQ(ToGbk(u"\u4E2D\u20A9\u6587"), "\xD6\xD0?\xCE\xC4");
    EXPECT_EQ(ToGbk(u"a\U0001F600\U0001F600" u"b"), "a??b");
    EXPECT_EQ(Utf8ToGbkString("\xE2\x82\xA9\xF0\x9F\x98\x80"), "??");
}

TEST(Gbk, UnpairedSurrogateBecomesQuestionMark) {
    EXPECT_EQ(ToGbk(u"\xD800"), "?");
    EXPECT_EQ(ToGbk(u"\xD800" u"a"), "?a");
    EXPECT_EQ(ToGbk(u"\xDC00\u4E2D"), "?\xD6\xD0");
    EXPECT_EQ(ToGbk(u"\u4E2D\xD800"), "\xD6\xD0?");
    EXPECT_EQ(ToGbk(u"\xD800\xD83D\xDE00\u6587"), "??\xCE\xC4");
}

TEST(Gbk, InvalidBytesBecomeReplacement) {
    EXPECT_EQ(FromGbk("\xD6"), u"\uFFFD");  // lead byte at the end
    EXPECT_EQ(FromGbk("a\xD6\xD0\xCE"), u"a\u4E2D\uFFFD");
    EXPECT_EQ(FromGbk("\xD6\x20"), u"\uFFFD ");   // bad trail is kept
    EXPECT_EQ(FromGbk("\xD6\x7F" "a"), u"\uFFFD\x7F" u"a");
    EXPECT_EQ(FromGbk("\xFF"), u"\uFFFD");
    EXPECT_EQ(FromGbk("\xFF\xD6\xD0"), u"\uFFFD\u4E2D");
    // Skipping one bad byte re-pairs the rest, even across ASCII.
    EXPECT_EQ(FromGbk("\xFF\xD6\x40"), u"\uFFFD\u8AE4");
    EXPECT_EQ(FromGbk("\x80\xD6\x40"), u"\u20AC\u8AE4");
}

// As Windows' code page 936 has them: the Private Use Area on GBK's
// user-defined areas both ways, and U+F8F5 as the lone byte 0xFF, which reads
// back as nothing valid. GbkPairToUnit is the XML reader's view of a pair.
TEST(Gbk, PrivateUseAreaFollowsWindows) {
    const struct {
        char16_t unit;
        const char* gbk;
    } cases[] = {{0xE000, "\xAA\xA1"}, {0xE05D, "\xAA\xFE"}, {0xE05E, "\xAB\xA1"}, {0xE233, "\xAF\xFE"},
                 {0xE234, "\xF8\xA1"}, {0xE4C5, "\xFE\xFE"}, {0xE4C6, "\xA1\x40"}, {0xE504, "\xA1\x7E"},
                 {0xE505, "\xA1\x80"}, {0xE765, "\xA7\xA0"}, {0xE766, "\xA2\xAB"}, {0xE7E2, "\xA9\x58"},
                 {0xE815, "\xFE\x50"}, {0xE864, "\xFE\xA0"}};
    for (const auto& c : cases) {
        const std::u16string unit(1, c.unit);
        EXPECT_EQ(ToGbk(unit), c.gbk) << std::hex << unsigned(c.unit);
        EXPECT_EQ(FromGbk(c.gbk), unit) << std::hex << unsigned(c.unit);
        EXPECT_EQ(GbkPairToUnit(c.gbk[0], c.gbk[1]), c.unit) << std::hex << unsigned(c.unit);
    }
    EXPECT_EQ(ToGbk(u"a\uE000\u4E2D\uE864" u"b"), "a\xAA\xA1\xD6\xD0\xFE\xA0" "b");
    EXPECT_EQ(FromGbk("a\xAA\xA1\xD6\xD0\xFE\xA0" "b"), u"a\uE000\u4E2D\uE864" u"b");
    EXPECT_EQ(ToGbk(u"\uE865\uF8F4"), "??");  // past the mapped part
    EXPECT_EQ(FromGbk("\xA1\x7F"), u"\uFFFD\x7F");
    EXPECT_EQ(ToGbk(u"\uF8F5"), "\xFF");
    EXPECT_EQ(FromGbk("\xFF"), u"\uFFFD");
    EXPECT_EQ(Utf8ToGbkString("\xEE\x80\x80\xEF\xA3\xB5"), "\xAA\xA1\xFF");
}

TEST(Gbk, IllFormedUtf8BecomesQuestionMark) {
    EXPECT_EQ(Utf8ToGbkString("\xE4\xB8"), "?");
    EXPECT_EQ(Utf8ToGbkString("a\xC0\x80" "b"), "a??b");
    EXPECT_EQ(Utf8ToGbkString("\xED\xA0\x80\xE4\xB8\xAD"), "???\xD6\xD0");
}

TEST(Gbk, Utf8ToGbkMatchesGoingThroughUnits) {
    std::mt19937 rng(11);
    for (int i = 0; i < 50; ++i) {
        // Long enough to cross the internal buffer of units several times.
        std::string utf8 = ToUtf8(RandomText(rng, 3000));
        for (int k = 0; k < 20; ++k) utf8[rng() % utf8.size()] = static_cast<char>(rng());
        EXPECT_EQ(Utf8ToGbkString(utf8), ToGbk(FromUtf8(utf8)));
    }
}

TEST(Gbk, EveryBmpCharacterRoundTripsAloneAndInBulk) {
    std::u16string all, back;
    std::string gbk;
    size_t mapped = 0;
    for (char32_t c = 0x80; c < 0x10000; ++c) {
        if (c >= 0xD800 && c < 0xE000) continue;
        char16_t unit = static_cast<char16_t>(c);
        std::string one = ToGbk(std::u16string_view(&unit, 1));
        ASSERT_FALSE(one.empty());
        ASSERT_LE(one.size(), 2u);
        if (one == "?") continue;
        if (unit == 0xF8F5) continue;  // written as 0xFF, which reads as nothing (see PrivateUseAreaFollowsWindows)
        ++mapped;
        ASSERT_EQ(FromGbk(one), std::u16string(1, unit)) << std::hex << static_cast<unsigned>(c);
        all += unit;
        gbk += one;
        if (c % 7 == 0) {
            all += u"ab";
            gbk += "ab";
        }
    }
    EXPECT_GT(mapped, 21000u);  // GBK covers some 21,000 CJK ideographs and more
    EXPECT_EQ(ToGbk(all), gbk);
    EXPECT_EQ(FromGbk(gbk), all);
}

TEST(Gbk, AnyBytesTerminateWithBoundedOutput) {
    std::mt19937 rng(3);
    std::string bytes(1 << 16, '\0');
    for (int i = 0; i < 20; ++i) {
        for (auto& b : bytes) b = static_cast<char>(rng() % 4 ? 0x80 | rng() : rng());
        std::u16string units = FromGbk(bytes);
        EXPECT_LE(units.size(), bytes.size());
        EXPECT_GT(units.size(), bytes.size() / 2);
    }
    for (int lead = 0x80; lead < 0x100; ++lead) {
        for (int trail = 0; trail < 0x100; ++trail) {
            std::string pair = {static_cast<char>(lead), static_cast<char>(trail)};
            std::u16string units = FromGbk(pair);
            int unit = GbkPairToUnit(static_cast<unsigned char>(lead), static_cast<unsigned char>(trail));
            if (unit >= 0 && lead > 0x80) {
                ASSERT_EQ(units, std::u16string(1, static_cast<char16_t>(unit)));
            } else {
                ASSERT_EQ(units.size(), 2u);
                ASSERT_EQ(units[0], lead == 0x80 ? u'\u20AC' : u'\uFFFD');
            }
        }
    }
}

TEST(Gbk, PairToUnit) {
    EXPECT_EQ(GbkPairToUnit(0xD6, 0xD0), 0x4E2D);
    EXPECT_EQ(GbkPairToUnit(0xA1, 0xA1), 0x3000);
    EXPECT_EQ(GbkPairToUnit(0x81, 0x40), 0x4E02);
    EXPECT_EQ(GbkPairToUnit(0xD6, 0x20), -1);
    EXPECT_EQ(GbkPairToUnit(0x81, 0x7F), -1);
    EXPECT_EQ(GbkPairToUnit(0xFF, 0xFF), -1);
}

TEST(Gbk, ThreadsConvertConcurrently) {
    std::mt19937 rng(5);
    std::u16string text;
    for (int i = 0; i < 2000; ++i) text += i % 3 ? char16_t(0x4E00 + rng() % 0x5000) : u'x';
    text += u"\u20A9\xD800";
    const std::string gbk = ToGbk(text);
    const std::u16string back = FromGbk(gbk);
    std::vector<std::thread> threads;
    std::vector<int> failures(6, 0);
    for (int t = 0; t < 6; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 200; ++i) {
                failures[t] += ToGbk(text) != gbk;
                failures[t] += FromGbk(gbk) != back;
                failures[t] += GbkPairToUnit(0xD6, 0xD0) != 0x4E2D;
            }
        });
    }
    for (auto& t : threads) t.join();
    for (int f : failures) EXPECT_EQ(f, 0);
}

}  // namespace
}  // namespace zk
