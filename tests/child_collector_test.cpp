#include "value/child_collector.h"

#include <gtest/gtest.h>

#include <string>

#include "value/node_pool.h"

namespace zk {
namespace {

using namespace std::string_literals;

std::string KeyAt(const DataNode& map, uint32_t i) {
    ByteString key;
    return map.keyAt(i, key) ? std::string(key.view()) : "<none>";
}

TEST(ChildCollector, NestedContainersTakeTheirOwnChildrenInOrder) {
    ChildCollector children;
    DataNode root;
    size_t outer = children.open(root.asList(), 0);
    children.add().setInt(1, ValueKind::Int64);
    DataNode& inner = children.add();
    size_t innerMark = children.open(inner.asMap(), 1);
    children.add("x").setInt(2, ValueKind::Int64);
    children.add("y").setStr("why", ValueKind::Text);
    children.close(innerMark, inner.map(), 1);
    children.add().setInt(3, ValueKind::Int64);
    children.close(outer, root.list(), 0);

    ASSERT_EQ(root.size(), 3u);
    EXPECT_EQ(root.listAt(0).num(), 1);
    EXPECT_EQ(root.listAt(1).mapFind("y").str().view(), "why");
    EXPECT_EQ(KeyAt(root.listAt(1), 0), "x");
    EXPECT_EQ(root.listAt(2).num(), 3);
    EXPECT_EQ(children.open(root.asList(), 0), 0u);  // nothing left behind
}

// The array is made at the size of the last container of its type at its
// depth; a wrong guess, larger or smaller, must still end at the exact size
// with every child in place, and an empty container holds no array.
TEST(ChildCollector, GuessedSizesAreFittedWhenWrong) {
    ChildCollector children;
    for (uint32_t n : {3u, 3u, 7u, 1u, 0u, 5u, 40u, 2u}) {
        DataNode list, map;
        size_t mark = children.open(list.asList(), 4);
        for (uint32_t i = 0; i < n; ++i) children.add().setInt(i, ValueKind::Int64);
        children.close(mark, list.list(), 4);
        mark = children.open(map.asMap(), 4);
        std::string keys[40];
        for (uint32_t i = 0; i < n; ++i) {
            keys[i] = std::string("k").append(std::to_string(i));
            children.add(keys[i]).setInt(i, ValueKind::Int64);
        }
        children.close(mark, map.map(), 4);
        ASSERT_EQ(list.size(), n);
        ASSERT_EQ(map.size(), n);
        for (uint32_t i = 0; i < n; ++i) {
            EXPECT_EQ(list.listAt(i).num(), i);
            EXPECT_EQ(map.mapFind(keys[i].c_str()).num(), i);
        }
        if (n == 0) {
            EXPECT_EQ(list.list().begin(), nullptr);
        }
        if (n) list.listAt(n - 1).setInt(-1, ValueKind::Int64);  // the array is writable to its end
    }
}

TEST(ChildCollector, LaterDuplicateKeyKeepsThePlaceOfTheFirst) {
    ChildCollector children;
    DataNode map;
    map.mapGet("kept").setInt(0, ValueKind::Int64);
    children.add("a").setInt(1, ValueKind::Int64);
    children.add("b").setInt(2, ValueKind::Int64);
    children.add("kept").setStr("new", ValueKind::Text);
    children.add("a").asList();
    children.close(0, map.asMap(), 0);
    ASSERT_EQ(map.size(), 3u);
    EXPECT_EQ(KeyAt(map, 0), "kept");
    EXPECT_EQ(map.mapFind("kept").str().view(), "new");
    EXPECT_EQ(KeyAt(map, 1), "a");
    EXPECT_TRUE(map.mapFind("a").isList());
}

TEST(ChildCollector, ManyKeysGetAnIndexAndStayFindable) {
    ChildCollector children;
    DataNode map;
    std::string keys[100];
    for (int i = 0; i < 100; ++i) {
        keys[i] = "key" + std::to_string(i);
        children.add(keys[i]).setInt(i, ValueKind::Int64);
    }
    children.close(0, map.asMap(), 0);
    ASSERT_EQ(map.size(), 100u);
    for (int i = 0; i < 100; ++i) EXPECT_EQ(map.mapFind(keys[i].c_str()).num(), i);
}

TEST(ChildCollector, DroppedAndUnflushedChildrenAreReleased) {
    NodePool::trim();
    size_t before = NodePool::stats().chunks;
    {
        ChildCollector children;  // a reader that threw leaves its children here
        children.add("gone").setInt(1, ValueKind::Int64);
        children.dropLast();
        EXPECT_EQ(children.open(DataNode().asList(), 0), 0u);
        for (size_t i = 0; i < 3 * NodePool::kSlotsPerChunk; ++i)
            children.add().asList().append().setStr("a string long enough for the heap"s, ValueKind::Text);
    }
    NodePool::trim();
    EXPECT_LE(NodePool::stats().chunks, before);
}

}  // namespace
}  // namespace zk
