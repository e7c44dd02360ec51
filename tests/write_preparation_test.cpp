// What the front ends lay over a tree before writing it or reading a binary
// record into it: which kind each Int ends up with, which values count as
// not fitting and how the first of them is named, list prototypes, the
// field order of maps and option bits on every node, on trees of any depth.
#include <gtest/gtest.h>

#include <string>

#include "codec/write_preparation.h"

namespace zk {
namespace {

// The integer kinds zkdata settles before a binary record: kind for every
// Int, or with 0 each its own, int64 for one the record cannot carry.
WritePreparation SettledKinds(int32_t kind) {
    WritePreparation how;
    how.intKind = kind;
    how.unknownKindsBecomeInt64 = true;
    return how;
}

TEST(WritePreparation, OwnKindsStayAndAnUnknownOneBecomesInt64) {
    DataNode root;
    root.listAt(0).setInt(5000000000, ValueKind::Unspecified);
    root.listAt(1).setInt(1, ValueKind::NativeInt);
    root.listAt(2).setInt(-5, ValueKind::UInt64);
    root.listAt(3).setInt(7, 42);
    EXPECT_EQ(PrepareForWrite(root, SettledKinds(0)), 0u);
    EXPECT_EQ(root.list()[0]->kind(), ValueKind::Int64);
    EXPECT_EQ(root.list()[1]->kind(), ValueKind::NativeInt);
    EXPECT_EQ(root.list()[2]->kind(), ValueKind::UInt64);
    EXPECT_EQ(root.list()[3]->kind(), ValueKind::Int64);
    EXPECT_EQ(root.list()[0]->num(), 5000000000);
}

TEST(WritePreparation, WithoutTheInt64RuleUnknownKindsStay) {
    DataNode root;
    root.listAt(0).setInt(5, ValueKind::Unspecified);
    root.listAt(1).setInt(6, ValueKind::Int8);
    EXPECT_EQ(PrepareForWrite(root, WritePreparation{}), 0u);
    EXPECT_EQ(root.list()[0]->kind(), ValueKind::Unspecified);
    EXPECT_EQ(root.list()[1]->kind(), ValueKind::Int8);
    WritePreparation how;
    how.intKind = ValueKind::UInt16;
    EXPECT_EQ(PrepareForWrite(root, how), 0u);
    EXPECT_EQ(root.list()[0]->kind(), ValueKind::UInt16);
    EXPECT_EQ(root.list()[1]->kind(), ValueKind::UInt16);
}

TEST(WritePreparation, AnOwnKindTooNarrowForItsValueCounts) {
    DataNode root;
    root.mapGet("a").setInt(300, ValueKind::Int8);
    root.mapGet("b").setInt(300, ValueKind::Int16);
    EXPECT_EQ(PrepareForWrite(root, SettledKinds(0)), 1u);
    std::string path;
    EXPECT_EQ(FindMisfit(root, path), &root.mapGet("a"));
    EXPECT_EQ(path, "/a");
}

TEST(WritePreparation, FitsKindIsWhatARecordCarriesBack) {
    EXPECT_TRUE(FitsKind(-128, ValueKind::Int8));
    EXPECT_FALSE(FitsKind(128, ValueKind::Int8));
    EXPECT_FALSE(FitsKind(-1, ValueKind::UInt8));
    EXPECT_TRUE(FitsKind(UINT32_MAX, ValueKind::NativeUInt));
    EXPECT_FALSE(FitsKind(INT64_C(1) << 32, ValueKind::UInt32));
    EXPECT_TRUE(FitsKind(INT64_MIN, ValueKind::Int64));
    EXPECT_TRUE(FitsKind(-1, ValueKind::UInt64));
}

TEST(WritePreparation, FirstMisfitIsNamedInInsertionOrder) {
    DataNode root;
    root.mapGet("z").setInt(1, ValueKind::Int64);
    DataNode& rows = root.mapGet("rows");
    rows.listAt(0).mapGet("v").setInt(1, ValueKind::Int64);
    rows.listAt(1).mapGet("a/b~\n").setInt(70000, ValueKind::Int64);
    root.mapGet("a").setInt(-70000, ValueKind::Int64);
    EXPECT_EQ(PrepareForWrite(root, SettledKinds(ValueKind::Int16)), 2u);
    std::string path = "left over";
    const DataNode* first = FindMisfit(root, path);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->num(), 70000);
    EXPECT_EQ(path, "/rows/1/a~1b~0\\x0A");
}

TEST(WritePreparation, NoMisfitAndTheRoot) {
    DataNode root;
    root.setInt(70000, ValueKind::Int64);
    std::string path;
    EXPECT_EQ(FindMisfit(root, path), nullptr);
    EXPECT_EQ(PrepareForWrite(root, SettledKinds(ValueKind::UInt16)), 1u);
    EXPECT_EQ(FindMisfit(root, path), &root);
    EXPECT_EQ(path, "");
}

TEST(WritePreparation, PrototypesCopyTheFirstItemAsPrepared) {
    DataNode tree;
    DataNode& first = tree.listAt(0);
    first.mapGet("b").setInt(1, ValueKind::Unspecified);
    first.mapGet("a").listAt(0).setStr("x");
    tree.listAt(1).setStr("second");
    tree.listAt(2).listAt(0).setInt(3, ValueKind::Int8);
    WritePreparation how = SettledKinds(ValueKind::Int32);
    how.repeatFirstItems = true;
    how.sortKeys = true;
    how.setOptions = OptionFlags::HexString;
    PrepareForWrite(tree, how);
    const DataNode& prototype = *tree.list().prototype();
    ASSERT_TRUE(prototype.isMap());
    EXPECT_TRUE(prototype.equals(*tree.list()[0]));
    EXPECT_EQ(prototype.map().entry(0).key.view(), "a");  // sorted before copied
    EXPECT_EQ(prototype.map().entry(1).child->kind(), ValueKind::Int32);
    EXPECT_TRUE(prototype.hasOption(OptionFlags::HexString));
    EXPECT_TRUE(prototype.map().entry(0).child->list().prototype()->strEquals("x"));
    DataNode& nested = *tree.list()[2];
    EXPECT_EQ(nested.list().prototype()->kind(), ValueKind::Int32);
    EXPECT_EQ(nested.list().prototype()->num(), 3);
}

TEST(WritePreparation, EmptyListsKeepTheirPrototype) {
    DataNode root;
    root.asList();
    root.list().prototype()->setInt(9, ValueKind::UInt8);
    WritePreparation how;
    how.repeatFirstItems = true;
    PrepareForWrite(root, how);
    EXPECT_EQ(root.list().prototype()->num(), 9);
    EXPECT_EQ(root.list().prototype()->kind(), ValueKind::UInt8);
}

TEST(WritePreparation, SortedKeysAreInByteOrderAndKeepEverythingElse) {
    DataNode root;
    root.mapGet("\xC3\xA9").setStr("e acute");
    root.mapGet("b").setInt(2, ValueKind::Int16);
    root.mapGet(std::string_view("a\0z", 3)).setStr("zero inside");
    root.mapGet("a").mapGet("y").setStr("nested");
    root.mapGet("a").mapGet("x").setStr("first");
    for (uint32_t i = 0; i < 20; ++i) root.mapGet(std::string("k").append(std::to_string(19 - i))).setStr("many");
    root.setFormat(FormatId::Json);
    root.setOption(OptionFlags::BigEndian, true);
    DataNode before(root);
    WritePreparation how;
    how.sortKeys = true;
    PrepareForWrite(root, how);
    EXPECT_TRUE(root.equals(before));  // equality does not depend on order
    EXPECT_EQ(root.format(), FormatId::Json);
    EXPECT_TRUE(root.hasOption(OptionFlags::BigEndian));
    ASSERT_EQ(root.map().size(), 24u);
    EXPECT_EQ(root.map().entry(0).key.view(), "a");
    EXPECT_EQ(root.map().entry(1).key.view(), std::string_view("a\0z", 3));
    EXPECT_EQ(root.map().entry(2).key.view(), "b");
    EXPECT_EQ(root.map().entry(2).child->kind(), ValueKind::Int16);
    EXPECT_EQ(root.map().entry(3).key.view(), "k0");
    EXPECT_EQ(root.map().entry(4).key.view(), "k1");
    EXPECT_EQ(root.map().entry(5).key.view(), "k10");
    EXPECT_EQ(root.map().entry(23).key.view(), "\xC3\xA9");  // bytes above 0x7F last
    EXPECT_EQ(root.map().entry(0).child->map().entry(0).key.view(), "x");
    ASSERT_NE(root.map().find("k7"), nullptr);  // the index follows the new order
    EXPECT_EQ(root.map().find("k7")->get(), root.map().entry(20).child.get());
}

TEST(WritePreparation, OptionsAreClearedThenSetOnEveryNode) {
    DataNode root;
    root.setOption(OptionFlags::MapUnframed | OptionFlags::XmlGbk, true);
    root.mapGet("a").setOption(OptionFlags::MapUnframed, true);
    root.mapGet("a").listAt(0).setStr("x");
    WritePreparation how;
    how.clearOptions = OptionFlags::MapUnframed;
    how.setOptions = OptionFlags::DumpRawString | OptionFlags::DumpDottedQuad;
    PrepareForWrite(root, how);
    const uint32_t set = OptionFlags::DumpRawString | OptionFlags::DumpDottedQuad;
    EXPECT_EQ(root.options(), set | OptionFlags::XmlGbk);
    EXPECT_EQ(root.mapGet("a").options(), set);
    EXPECT_EQ(root.mapGet("a").list()[0]->options(), set);
}

TEST(WritePreparation, AMillionLevelsOnAWorkList) {
    DataNode root;
    DataNode* node = &root;
    for (int i = 0; i < 1000000; ++i) node = i % 2 ? &node->listAt(0) : &node->mapGet("k");
    node->setInt(300, ValueKind::Unspecified);
    WritePreparation how = SettledKinds(ValueKind::Int8);
    how.sortKeys = true;
    how.setOptions = OptionFlags::HexString;
    EXPECT_EQ(PrepareForWrite(root, how), 1u);
    std::string path;
    EXPECT_EQ(FindMisfit(root, path), node);
    EXPECT_EQ(path.size(), 500000 * std::string("/k/0").size());
    EXPECT_EQ(node->kind(), ValueKind::Int8);
    EXPECT_TRUE(node->hasOption(OptionFlags::HexString));
}

}  // namespace
}  // namespace zk
