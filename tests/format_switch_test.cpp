// The format switch, the error-code table and the per-thread last error.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <thread>

#include "codec/error_codes.h"
#include "codec/format_switch.h"
#include "platform/last_error.h"

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

TEST(LastError, PublishErrorIsPerThread) {
    PublishError(err::BufferTooSmall);
    EXPECT_EQ(GetLastError(), err::BufferTooSmall);
    DWORD seenByOther = 1;
    std::thread other([&] {
        seenByOther = GetLastError();
        PublishError(err::StreamFailure);
    });
    other.join();
    EXPECT_EQ(seenByOther, 0u);
    EXPECT_EQ(GetLastError(), err::BufferTooSmall);
    PublishError(0);
    EXPECT_EQ(GetLastError(), 0u);
}

TEST(ErrorCodes, EveryCodeHasItsOwnMessage) {
    const uint32_t codes[] = {err::BadArgument, err::BufferTooSmall, err::JsonSeparator, err::XmlNoOpenNode,
                              err::OutOfMemory, err::LuaMixedKeys, err::Unsupported, err::EmptyMap,
                              err::MissingEntry, err::LimitExceeded, err::StreamFailure, err::NoData,
                              err::BadListItem, err::XmlParse, err::XmlEncoding, err::XmlItemNotInMap,
                              err::XmlItemWithoutKey, err::XmlUnknownElement, err::BencodeSyntax,
                              err::BadHexString, err::TextSyntax, err::XmlManyRoots};
    std::string unknown = ErrorMessage(12345);
    for (uint32_t a : codes) {
        EXPECT_NE(ErrorMessage(a), unknown) << a;
        for (uint32_t b : codes)
            if (a != b) {
                EXPECT_STRNE(ErrorMessage(a), ErrorMessage(b));
            }
    }
    EXPECT_STREQ(ErrorMessage(0), "success");
}

}  // namespace
}  // namespace zk
