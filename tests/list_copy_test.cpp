// A list copy's prototype is a snapshot of its source's first item, taken
// without copying nested lists once per level of nesting.
#include <gtest/gtest.h>

#include <string>

#include "zk_data/value/data_node.h"

namespace zk {
namespace {

DataNode CopyOf(const DataNode& source) { return DataNode(source); }

DataNode Int32List() {
    DataNode list;
    list.listAt(0).setInt(1, ValueKind::Int32);
    list.listAt(1).setInt(2, ValueKind::Int32);
    return list;
}

TEST(ListCopy, PrototypeIsTheFirstItemAsCopied) {
    DataNode a = CopyOf(Int32List());
    a.listAt(0).setInt(1, ValueKind::Int64);  // listAt
    EXPECT_EQ(a.list().prototype()->kind(), ValueKind::Int32);

    DataNode b = CopyOf(Int32List());
    b.list()[0]->setStr("x");  // the writable operator[]
    EXPECT_TRUE(b.list().prototype()->isInt());

    DataNode c = CopyOf(Int32List());
    for (NodeRef& item : c.list()) item->setInt(0, ValueKind::UInt8);  // iteration
    EXPECT_EQ(c.list().prototype()->kind(), ValueKind::Int32);

    DataNode d = CopyOf(Int32List());
    d.asList().at(0)->mapGet("k");  // at, then a change below item 0
    EXPECT_TRUE(d.list().prototype()->isInt());
}

TEST(ListCopy, PrototypeOfANestedCopyIsItsOwnSnapshot) {
    DataNode source;
    source.listAt(0).listAt(0).setStr("deep");
    DataNode copy(source);
    copy.listAt(0).listAt(0).setStr("changed");
    EXPECT_EQ(copy.list().prototype()->list()[0]->str(), "deep");
    EXPECT_EQ(copy.list()[0]->list().prototype()->str(), "deep");
    EXPECT_EQ(source.listAt(0).listAt(0).str(), "deep");
}

// Copying never makes a prototype: a chain of nested lists copies in time
// linear in its length (eager prototypes would take 2^depth copies).
TEST(ListCopy, DeepChainCopiesInLinearTime) {
    DataNode chain;
    DataNode* cur = &chain;
    for (int i = 0; i < 100000; ++i) cur = &cur->listAt(0);
    cur->setStr("bottom");
    DataNode copy(chain);
    EXPECT_TRUE(copy.equals(chain));
    DataNode again(copy);  // a copy of a copy is as cheap
    EXPECT_TRUE(again.equals(chain));
}

TEST(Aliasing, MapGetWithAKeyFromTheValueItReplaces) {
    DataNode s;
    s.setStr("a key longer than the twenty-three inline bytes");
    DataNode& child = s.mapGet(s.str().view());
    child.setInt(1, ValueKind::Int32);
    ByteString key;
    ASSERT_TRUE(s.keyAt(0, key));
    EXPECT_EQ(key, "a key longer than the twenty-three inline bytes");

    DataNode list;
    list.listAt(0).setStr("key held by the list about to become a map");
    list.mapGet(list.list()[0]->str().view());
    EXPECT_TRUE(list.hasKey("key held by the list about to become a map"));
}

// A key cut from an inline key of the same map lives in the entry array,
// which the new entry may move.
TEST(Aliasing, MapGetWithAKeyFromTheMapsOwnEntries) {
    DataNode m;
    for (int i = 0; i < 4; ++i) m.mapGet("key" + std::to_string(i));
    ASSERT_EQ(m.map().entry(3).key, "key3");
    std::string_view piece = m.map().entry(3).key.view().substr(0, 3);
    m.mapGet(piece).setInt(5, ValueKind::Int32);  // the 5th entry grows the array
    EXPECT_EQ(m.size(), 5u);
    EXPECT_TRUE(m.hasKey("key"));
    EXPECT_EQ(m.mapGet("key").num(), 5);
}

}  // namespace
}  // namespace zk
