#include "zk_data/text/base64.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <string>

namespace zk {
namespace {

using namespace std::string_literals;

// Decodes text; "<invalid>" when decoding fails.
std::string Decoded(std::string_view text) {
    ByteString in(text.data(), text.size()), out;
    return Base64Decode(in, out) ? std::string(out.view()) : "<invalid>";
}

std::string Encoded(std::string_view bytes) {
    ByteString in(bytes.data(), bytes.size()), out;
    EXPECT_TRUE(Base64Encode(in, out));
    return std::string(out.view());
}

TEST(Base64, Rfc4648Vectors) {
    const char* pairs[][2] = {{"f", "Zg=="},     {"fo", "Zm8="},         {"foo", "Zm9v"},
                              {"foob", "Zm9vYg=="}, {"fooba", "Zm9vYmE="}, {"foobar", "Zm9vYmFy"}};
    for (auto& p : pairs) {
        EXPECT_EQ(Encoded(p[0]), p[1]);
        EXPECT_EQ(Decoded(p[1]), p[0]);
    }
}

TEST(Base64, EmptyInputFailsAndLeavesOutputAlone) {
    ByteString empty, out("kept");
    EXPECT_FALSE(Base64Encode(empty, out));
    EXPECT_EQ(out, "kept");
    EXPECT_FALSE(Base64Decode(empty, out));
    EXPECT_EQ(out, "kept");
}

TEST(Base64, LongInputStaysOnOneLine) {
    std::string text = Encoded(std::string(100, 'x'));
    EXPECT_EQ(text.size(), 136u);
    EXPECT_EQ(text.find_first_of("\r\n"), std::string::npos);
}

TEST(Base64, RoundTrips) {
    std::string all;
    for (int i = 0; i < 256; ++i) all += static_cast<char>(i);
    EXPECT_EQ(Decoded(Encoded(all)), all);

    std::mt19937 rng(1);
    for (int i = 0; i < 300; ++i) {
        std::string bytes(rng() % 200 + 1, '\0');
        for (auto& b : bytes) b = static_cast<char>(rng());
        std::string text = Encoded(bytes);
        EXPECT_EQ(text.size(), (bytes.size() + 2) / 3 * 4);
        EXPECT_EQ(Decoded(text), bytes);
    }
}

TEST(Base64, DecodeSkipsLineBreaks) {
    EXPECT_EQ(Decoded("Zm9v\r\nYmFy"), "foobar");
    EXPECT_EQ(Decoded("Zm9v\nYmFy\n"), "foobar");
    EXPECT_EQ(Decoded("\r\nZ\nm\r\n9vY\nm\r\nF\ny\r\n"), "foobar");
    EXPECT_EQ(Decoded("Zm8\r\n="), "fo");
    EXPECT_EQ(Decoded("Zg=\n="), "f");
}

TEST(Base64, DecodeRejectsStrayCharacters) {
    EXPECT_EQ(Decoded("Zm9v YmFy"), "<invalid>");
    EXPECT_EQ(Decoded("Zm9v\tYmFy"), "<invalid>");
    EXPECT_EQ(Decoded("Zm9v\rYmFy"), "<invalid>");   // CR without LF
    EXPECT_EQ(Decoded("Zm9vYmFy\r"), "<invalid>");
    EXPECT_EQ(Decoded("Zm9v\n\rYmFy"), "<invalid>");
    EXPECT_EQ(Decoded("Zg==="), "<invalid>");        // a third pad
    EXPECT_EQ(Decoded("Zg=\n=\n="), "<invalid>");
    EXPECT_EQ(Decoded("Zg=a"), "<invalid>");         // a letter after a pad
    EXPECT_EQ(Decoded("Zg==Zg=="), "<invalid>");
    EXPECT_EQ(Decoded("Zm9v-_"), "<invalid>");       // the URL-safe alphabet
    EXPECT_EQ(Decoded("Zm9v\x80"), "<invalid>");
    EXPECT_EQ(Decoded("Zm9v\xC3\xA9"), "<invalid>");
    EXPECT_EQ(Decoded("Zm\0v"s), "<invalid>");
}

TEST(Base64, IncompleteLastGroupYieldsNothing) {
    EXPECT_EQ(Decoded("YWJjZG"), "abc");
    EXPECT_EQ(Decoded("YWJjZGU"), "abc");
    EXPECT_EQ(Decoded("YWJjZ"), "abc");
    EXPECT_EQ(Decoded("YQ"), "");
    EXPECT_EQ(Decoded("Zg="), "");
}

TEST(Base64, LineBreaksAloneDecodeToNothing) {
    ByteString in("\r\n\n\r\n"), out("old");
    EXPECT_TRUE(Base64Decode(in, out));
    EXPECT_TRUE(out.empty());
}

TEST(Base64, InvalidDecodeLeavesOutputAlone) {
    ByteString in("Zm9v YmFy"), out("kept");
    EXPECT_FALSE(Base64Decode(in, out));
    EXPECT_EQ(out, "kept");
    EXPECT_FALSE(Base64Decode(in, in));
    EXPECT_EQ(in, "Zm9v YmFy");
}

TEST(Base64, DecodeInPlace) {
    ByteString s("Zm9v\r\nYmFy\nZm9vYmE=");
    EXPECT_TRUE(Base64Decode(s, s));
    EXPECT_EQ(s, "foobarfooba");

    std::string bytes(5000, '\0');
    std::mt19937 rng(2);
    for (auto& b : bytes) b = static_cast<char>(rng());
    ByteString big(Encoded(bytes));
    EXPECT_TRUE(Base64Decode(big, big));
    EXPECT_EQ(big.view(), bytes);
}

TEST(Base64, EncodeInPlace) {
    for (const char* text : {"f", "foobar", "a string long enough to live outside the inline bytes"}) {
        ByteString s(text);
        EXPECT_TRUE(Base64Encode(s, s));
        EXPECT_EQ(s.view(), Encoded(text));
    }
}

TEST(Base64, EncodeBuffer) {
    char buf[16];
    size_t len = 0;
    EXPECT_EQ(Base64EncodeBuffer(buf, len, "foob", 4), kBase64TooSmall);
    EXPECT_EQ(len, 9u);  // 8 characters and the terminating zero
    len = 8;
    EXPECT_EQ(Base64EncodeBuffer(buf, len, "foob", 4), kBase64TooSmall);
    EXPECT_EQ(len, 9u);
    len = 0;
    EXPECT_EQ(Base64EncodeBuffer(nullptr, len, "foo", 3), kBase64TooSmall);
    EXPECT_EQ(len, 5u);

    std::memset(buf, '#', sizeof buf);
    len = 9;
    EXPECT_EQ(Base64EncodeBuffer(buf, len, "foob", 4), kBase64Ok);
    EXPECT_EQ(len, 8u);
    EXPECT_EQ(std::string(buf, 9), "Zm9vYg==\0"s);

    len = 77;
    EXPECT_EQ(Base64EncodeBuffer(buf, len, "x", 0), kBase64TooSmall);
    EXPECT_EQ(Base64EncodeBuffer(buf, len, nullptr, 3), kBase64TooSmall);
    EXPECT_EQ(len, 77u);  // untouched for an empty source

    len = 0;
    EXPECT_EQ(Base64EncodeBuffer(buf, len, "x", SIZE_MAX), kBase64TooSmall);
    EXPECT_GE(len, SIZE_MAX / 4);  // no wrap-around to a small size
}

TEST(Base64, DecodeBuffer) {
    unsigned char buf[8];
    size_t len = 77;
    EXPECT_EQ(Base64DecodeBuffer(buf, len, "Zg==", 0), kBase64Invalid);
    EXPECT_EQ(Base64DecodeBuffer(buf, len, nullptr, 4), kBase64Invalid);

    // Pads count towards the room needed: floor((6 * 4 + 7) / 8) = 3.
    len = 2;
    EXPECT_EQ(Base64DecodeBuffer(buf, len, "Zg==", 4), kBase64TooSmall);
    EXPECT_EQ(len, 3u);
    len = 3;
    EXPECT_EQ(Base64DecodeBuffer(buf, len, "Zg==", 4), kBase64Ok);
    EXPECT_EQ(len, 1u);
    EXPECT_EQ(buf[0], 'f');

    len = 0;
    EXPECT_EQ(Base64DecodeBuffer(nullptr, len, "Zm9v\r\nYmFy", 10), kBase64TooSmall);
    EXPECT_EQ(len, 6u);
    len = 0;  // nothing to write, so no room is needed
    EXPECT_EQ(Base64DecodeBuffer(nullptr, len, "\r\n\n", 3), kBase64Ok);
    EXPECT_EQ(len, 0u);
    len = 8;
    EXPECT_EQ(Base64DecodeBuffer(buf, len, "YWJjZG", 6), kBase64Ok);
    EXPECT_EQ(len, 3u);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buf), 3), "abc");
    // Invalid text is reported before the room is checked.
    len = 0;
    EXPECT_EQ(Base64DecodeBuffer(buf, len, "Zm9v YmFy", 9), kBase64Invalid);
    EXPECT_EQ(len, 0u);
}

}  // namespace
}  // namespace zk
