// The integer widths the tool lays over a tree before a binary record is
// written or read: which kind each Int ends up with, which values count as
// not fitting, and how the first of them is named.
#include <gtest/gtest.h>

#include <string>

#include "tools/tree_fixups.h"

namespace zk {
namespace {

TEST(TreeFixups, OwnKindsStayAndAnUnknownOneBecomesInt64) {
    DataNode root;
    root.listAt(0).setInt(5000000000, ValueKind::Unspecified);
    root.listAt(1).setInt(1, ValueKind::NativeInt);
    root.listAt(2).setInt(-5, ValueKind::UInt64);
    root.listAt(3).setInt(7, 42);
    EXPECT_EQ(SetIntKinds(root, 0), 0u);
    EXPECT_EQ(root.list()[0]->kind(), ValueKind::Int64);
    EXPECT_EQ(root.list()[1]->kind(), ValueKind::NativeInt);
    EXPECT_EQ(root.list()[2]->kind(), ValueKind::UInt64);
    EXPECT_EQ(root.list()[3]->kind(), ValueKind::Int64);
    EXPECT_EQ(root.list()[0]->num(), 5000000000);
}

TEST(TreeFixups, AnOwnKindTooNarrowForItsValueCounts) {
    DataNode root;
    root.mapGet("a").setInt(300, ValueKind::Int8);
    root.mapGet("b").setInt(300, ValueKind::Int16);
    EXPECT_EQ(SetIntKinds(root, 0), 1u);
    std::string path;
    EXPECT_EQ(FindMisfit(root, path), &root.mapGet("a"));
    EXPECT_EQ(path, "/a");
}

TEST(TreeFixups, FitsKindIsWhatARecordCarriesBack) {
    EXPECT_TRUE(FitsKind(-128, ValueKind::Int8));
    EXPECT_FALSE(FitsKind(128, ValueKind::Int8));
    EXPECT_FALSE(FitsKind(-1, ValueKind::UInt8));
    EXPECT_TRUE(FitsKind(UINT32_MAX, ValueKind::NativeUInt));
    EXPECT_FALSE(FitsKind(INT64_C(1) << 32, ValueKind::UInt32));
    EXPECT_TRUE(FitsKind(INT64_MIN, ValueKind::Int64));
    EXPECT_TRUE(FitsKind(-1, ValueKind::UInt64));
}

TEST(TreeFixups, FirstMisfitIsNamedInInsertionOrder) {
    DataNode root;
    root.mapGet("z").setInt(1, ValueKind::Int64);
    DataNode& rows = root.mapGet("rows");
    rows.listAt(0).mapGet("v").setInt(1, ValueKind::Int64);
    rows.listAt(1).mapGet("a/b~\n").setInt(70000, ValueKind::Int64);
    root.mapGet("a").setInt(-70000, ValueKind::Int64);
    EXPECT_EQ(SetIntKinds(root, ValueKind::Int16), 2u);
    std::string path = "left over";
    const DataNode* first = FindMisfit(root, path);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->num(), 70000);
    EXPECT_EQ(path, "/rows/1/a~1b~0\\x0A");
}

TEST(TreeFixups, NoMisfitAndTheRoot) {
    DataNode root;
    root.setInt(70000, ValueKind::Int64);
    std::string path;
    EXPECT_EQ(FindMisfit(root, path), nullptr);
    EXPECT_EQ(SetIntKinds(root, ValueKind::UInt16), 1u);
    EXPECT_EQ(FindMisfit(root, path), &root);
    EXPECT_EQ(path, "");
}

}  // namespace
}  // namespace zk
