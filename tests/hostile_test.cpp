// Hostile trees built through the API: a million levels deep, a million keys,
// strings of hundreds of megabytes. Every writer, equals, copy and
// destruction must succeed or return one of its documented codes.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>

#include "tests/support/small_stack.h"
#include "zk_data/codec/error_codes.h"
#include "zk_data/codec/format_switch.h"
#include "zk_data/value/data_node.h"

namespace zk {
namespace {

using test_support::Descend;

constexpr uint8_t kFormats[] = {FormatId::Binary, FormatId::Xml,  FormatId::Bencode,  FormatId::Json,
                                FormatId::Http,   FormatId::Ini,  FormatId::DebugDump};

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kSanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif
#else
constexpr bool kSanitized = false;
#endif

// MemAvailable in MiB, 0 when unknown.
size_t AvailableMiB() {
    FILE* f = std::fopen("/proc/meminfo", "r");
    if (!f) return 0;
    char line[256];
    size_t kb = 0;
    while (std::fgets(line, sizeof line, f))
        if (std::sscanf(line, "MemAvailable: %zu kB", &kb) == 1) break;
    std::fclose(f);
    return kb / 1024;
}

bool Documented(uint32_t code) {
    switch (code) {
    case 0: case err::BadArgument: case err::JsonSeparator: case err::Unsupported: case err::EmptyMap:
    case err::MissingEntry: case err::StreamFailure: case err::BadHexString: case err::XmlManyRoots:
        return true;
    default:
        return false;
    }
}

// Writes node in every format (its own format restored afterwards); returns
// the codes in the order of kFormats.
std::vector<uint32_t> WriteEveryFormat(DataNode& node, size_t* largest = nullptr) {
    std::vector<uint32_t> codes;
    uint8_t own = node.format();
    for (uint8_t f : kFormats) {
        node.setFormat(f);
        OutputStream out;
        uint32_t code = writeNode(node, out);
        EXPECT_TRUE(Documented(code)) << "format " << int(f) << " code " << code;
        if (largest && out.size() > *largest) *largest = out.size();
        codes.push_back(code);
    }
    node.setFormat(own);
    return codes;
}

// The codes of the writers that descend into lists and maps: binary, XML,
// bencode, JSON and the debug dump.
void ExpectRecursiveWriters(const std::vector<uint32_t>& codes, uint32_t code) {
    for (size_t i : {0, 1, 2, 3, 6}) {
        EXPECT_EQ(codes[i], code) << "format " << int(kFormats[i]);
    }
}

TEST(Hostile, MillionLevelsOfLists) {
    DataNode root;
    Descend(root, 1'000'000, NodeType::List).setInt(7, ValueKind::Int32);
    std::vector<uint32_t> codes = WriteEveryFormat(root);
    // Recursive writers stop at the depth bound; HTTP and INI never descend
    // that far (a list root is no HTTP message or INI text).
    ExpectRecursiveWriters(codes, err::Unsupported);

    DataNode copy(root);
    EXPECT_TRUE(copy.equals(root));
    // The source is walked, not the copy: every level of a copy would take
    // its prototype's snapshot on the way down, a quadratic walk.
    Descend(root, 1'000'000, NodeType::List).setInt(8, ValueKind::Int32);
    EXPECT_FALSE(copy.equals(root));
    copy = root;  // assignment over a deep tree releases the old one
    EXPECT_TRUE(root.equals(copy));
    copy.assign(Descend(copy, 10, NodeType::List));  // a subtree of itself
    EXPECT_EQ(copy.type(), NodeType::List);
    root.reset();
    EXPECT_TRUE(root.isNone());
}

TEST(Hostile, MillionLevelsOfMaps) {
    DataNode root;
    Descend(root, 1'000'000, NodeType::Map).setStr("leaf");
    std::vector<uint32_t> codes = WriteEveryFormat(root);
    ExpectRecursiveWriters(codes, err::Unsupported);
    root.setOption(OptionFlags::XmlFreeForm, true);
    root.setFormat(FormatId::Xml);
    OutputStream out;
    EXPECT_EQ(writeNode(root, out), err::Unsupported);

    DataNode copy;
    copy.assign(root);
    EXPECT_TRUE(copy.equals(root));
    NodeRef shared(root);  // a handle holding another deep copy
    EXPECT_TRUE(shared->equals(copy));
}

TEST(Hostile, DeepTreeMixedAndShared) {
    // Lists and maps alternating, with a shared subtree hung at the bottom.
    DataNode root;
    DataNode* n = &root;
    for (int i = 0; i < 500'000; ++i) n = (i & 1) ? &n->mapGet("m") : &n->asList().append();
    NodeRef bottom;
    Descend(*bottom, 1000, NodeType::List).setStr("x");
    bottom.share(n->asList().at(0));
    EXPECT_EQ(bottom.useCount(), 2u);
    WriteEveryFormat(root);
    DataNode copy(root);
    EXPECT_TRUE(copy.equals(root));
    root.reset();  // the shared subtree outlives its parent
    EXPECT_EQ(bottom.useCount(), 1u);
    EXPECT_TRUE(Descend(*bottom, 1000, NodeType::List).strEquals("x"));
}

TEST(Hostile, DepthBoundIsExact) {
    // Below the bound every writer that can take a list of lists succeeds.
    DataNode root;
    Descend(root, 900, NodeType::List).setInt(1, ValueKind::Int8);
    std::vector<uint32_t> codes = WriteEveryFormat(root);
    ExpectRecursiveWriters(codes, err::Ok);
}

TEST(Hostile, MillionKeys) {
    DataNode root;
    root.asMap();
    char key[16];
    for (int i = 0; i < 1'000'000; ++i) {
        std::snprintf(key, sizeof key, "k%lld", (i * 7919LL) % 1'000'000);  // a scattered order
        root.mapGet(key).setInt(i, ValueKind::Int32);
    }
    ASSERT_EQ(root.size(), 1'000'000u);
    size_t largest = 0;
    std::vector<uint32_t> codes = WriteEveryFormat(root, &largest);
    EXPECT_EQ(codes[0], 0u);
    EXPECT_EQ(codes[2], 0u);
    EXPECT_EQ(codes[3], 0u);
    EXPECT_GT(largest, 10'000'000u);

    DataNode copy(root);
    EXPECT_TRUE(copy.equals(root));
    copy.mapGet("k999999").setInt(-1, ValueKind::Int32);
    EXPECT_FALSE(copy.equals(root));

    // The JSON text reads back into the same map.
    root.setFormat(FormatId::Json);
    OutputStream out;
    ASSERT_EQ(writeNode(root, out), 0u);
    DataNode back;
    back.setFormat(FormatId::Json);
    uint32_t size = static_cast<uint32_t>(out.size());
    ASSERT_EQ(readFromBuffer(back, out.data(), size), 0u);
    EXPECT_TRUE(back.equals(root));
}

TEST(Hostile, MillionItemList) {
    DataNode root;
    for (int i = 0; i < 1'000'000; ++i) root.asList().append().setStr("abc", ValueKind::Binary);
    std::vector<uint32_t> codes = WriteEveryFormat(root);
    EXPECT_EQ(codes[0], 0u);
    EXPECT_EQ(codes[1], 0u);
    DataNode copy(root);
    EXPECT_TRUE(copy.equals(root));
}

TEST(Hostile, HugeStrings) {
    constexpr size_t kSize = 200u << 20;  // 200 MiB
    if (kSanitized) GTEST_SKIP() << "too heavy under sanitizers";
    if (AvailableMiB() < 6 * 1024) GTEST_SKIP() << "needs about 6 GiB of free memory";
    DataNode root;
    {
        std::string big(kSize, 'a');
        for (size_t i = 0; i < kSize; i += 4096) big[i] = static_cast<char>(i >> 12);  // some bytes outside ASCII
        root.mapGet("big").setStr(big, ValueKind::Binary);
        root.mapGet("text").setStr(std::string_view(big.data(), kSize / 4), ValueKind::Text);
    }
    size_t largest = 0;
    std::vector<uint32_t> codes = WriteEveryFormat(root, &largest);
    EXPECT_EQ(codes[0], 0u);  // the binary writer enforces no reader limit
    EXPECT_EQ(codes[1], 0u);
    EXPECT_EQ(codes[2], 0u);
    EXPECT_GT(largest, kSize);

    DataNode copy(root);
    EXPECT_TRUE(copy.equals(root));
    copy.mapGet("big").asStr().data();
    root.reset();
    copy.reset();
}

TEST(Hostile, OversizedBinaryStringIsRefusedOnReading) {
    // Written without a limit, read back only up to 10 MiB.
    DataNode n;
    n.setFormat(FormatId::Binary);
    n.setStr(std::string(10'485'761, 'z'), ValueKind::Binary);
    OutputStream out;
    ASSERT_EQ(writeNode(n, out), 0u);
    uint32_t size = static_cast<uint32_t>(out.size());
    EXPECT_EQ(readFromBuffer(n, out.data(), size), err::LimitExceeded);
}

}  // namespace
}  // namespace zk
