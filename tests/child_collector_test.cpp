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
    size_t outer = children.mark();
    children.add().setInt(1, ValueKind::Int64);
    DataNode& inner = children.add();
    size_t innerMark = children.mark();
    children.add("x").setInt(2, ValueKind::Int64);
    children.add("y").setStr("why", ValueKind::Text);
    children.flushTo(innerMark, inner.asMap());
    children.add().setInt(3, ValueKind::Int64);
    children.flushTo(outer, root.asList());

    ASSERT_EQ(root.size(), 3u);
    EXPECT_EQ(root.listAt(0).num(), 1);
    EXPECT_EQ(root.listAt(1).mapFind("y").str().view(), "why");
    EXPECT_EQ(KeyAt(root.listAt(1), 0), "x");
    EXPECT_EQ(root.listAt(2).num(), 3);
    EXPECT_EQ(children.mark(), 0u);
}

TEST(ChildCollector, LaterDuplicateKeyKeepsThePlaceOfTheFirst) {
    ChildCollector children;
    DataNode map;
    map.mapGet("kept").setInt(0, ValueKind::Int64);
    children.add("a").setInt(1, ValueKind::Int64);
    children.add("b").setInt(2, ValueKind::Int64);
    children.add("kept").setStr("new", ValueKind::Text);
    children.add("a").asList();
    children.flushTo(0, map.asMap());
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
    children.flushTo(0, map.asMap());
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
        EXPECT_EQ(children.mark(), 0u);
        for (size_t i = 0; i < 3 * NodePool::kSlotsPerChunk; ++i)
            children.add().asList().append().setStr("a string long enough for the heap"s, ValueKind::Text);
    }
    NodePool::trim();
    EXPECT_LE(NodePool::stats().chunks, before);
}

}  // namespace
}  // namespace zk
