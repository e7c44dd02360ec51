// The value tree: node state, coercion rules, containers, copy and equality.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "value/tree_ops.h"
#include "zk_data/value/data_node.h"

namespace zk {
namespace {

std::string keyAt(const DataNode& n, uint32_t i) {
    ByteString k;
    EXPECT_TRUE(n.keyAt(i, k));
    return std::string(k.view());
}

TEST(DataNode, FreshNodeIsNoneWithXmlFormat) {
    DataNode n;
    EXPECT_EQ(n.type(), NodeType::None);
    EXPECT_EQ(n.kind(), 0);
    EXPECT_EQ(n.options(), 0u);
    EXPECT_EQ(n.format(), FormatId::Xml);
    NodeRef ref;
    EXPECT_EQ(ref->type(), NodeType::None);
    EXPECT_EQ(ref->format(), FormatId::Xml);
    EXPECT_EQ(ref.useCount(), 1u);
}

TEST(DataNode, ResetKeepsFormatAndOptions) {
    DataNode n;
    n.setFormat(FormatId::Json);
    n.setOption(0x1234, true);
    n.setInt(7, ValueKind::Int32);
    n.reset();
    EXPECT_EQ(n.type(), NodeType::None);
    EXPECT_EQ(n.kind(), 0);
    EXPECT_EQ(n.format(), FormatId::Json);
    EXPECT_EQ(n.options(), 0x1234u);
}

TEST(DataNode, SetKindAcceptsOnlyKindsOfItsType) {
    DataNode n;
    EXPECT_FALSE(n.setKind(5));  // None
    n.setInt(3, ValueKind::Int32);
    EXPECT_FALSE(n.setKind(ValueKind::Binary));
    EXPECT_FALSE(n.setKind(ValueKind::Text));
    EXPECT_FALSE(n.setKind(0));
    EXPECT_FALSE(n.setKind(11));
    EXPECT_TRUE(n.setKind(ValueKind::UInt64));
    EXPECT_EQ(n.kind(), ValueKind::UInt64);
    EXPECT_EQ(n.num(), 3);

    n.setStr("ab");
    EXPECT_EQ(n.kind(), ValueKind::Text);
    EXPECT_FALSE(n.setKind(ValueKind::Int32));
    EXPECT_EQ(n.kind(), ValueKind::Text);
    EXPECT_TRUE(n.setKind(ValueKind::Binary));
    EXPECT_EQ(n.str(), "ab");
    n.setType(3);
    EXPECT_FALSE(n.setKind(ValueKind::Binary));
}

TEST(DataNode, KindIsNeverAppliedToTheValue) {
    DataNode n;
    n.setInt(300, ValueKind::UInt8);
    EXPECT_EQ(n.num(), 300);
    EXPECT_TRUE(n.setKind(ValueKind::Int8));
    EXPECT_EQ(n.num(), 300);
}

TEST(DataNode, CoercingAccessorsDestroyOtherValues) {
    DataNode n;
    n.setStr("42");
    EXPECT_EQ(n.toInt64(), 42);
    EXPECT_EQ(n.type(), NodeType::Str);
    EXPECT_EQ(n.asInt(), 0);
    EXPECT_EQ(n.type(), NodeType::Int);
    EXPECT_EQ(n.kind(), 0);

    n.setInt(5, ValueKind::Int32);
    n.asInt() = 9;  // same type: value and kind stay
    EXPECT_EQ(n.kind(), ValueKind::Int32);
    EXPECT_EQ(n.num(), 9);

    n.asStr().assign("xyz");
    EXPECT_EQ(n.kind(), 0);
    n.setKind(ValueKind::Binary);
    n.asStr().append("!");
    EXPECT_EQ(n.str(), "xyz!");
    EXPECT_EQ(n.kind(), ValueKind::Binary);
}

TEST(DataNode, ToInt64ParsesLeadingDecimal) {
    DataNode n;
    n.setStr("  -17abc");
    EXPECT_EQ(n.toInt64(), -17);
    n.setStr("abc");
    EXPECT_EQ(n.toInt64(), 0);
    n.setStr("+12");
    EXPECT_EQ(n.toInt64(), 12);
    n.setStr(std::string_view("3\0" "9", 3), ValueKind::Binary);
    EXPECT_EQ(n.toInt64(), 3);
    n.setStr("\t\n\v\f\r 8");
    EXPECT_EQ(n.toInt64(), 8);
    n.setStr("99999999999999999999");
    EXPECT_EQ(n.toInt64(), INT64_MAX);
    n.setStr("-9223372036854775808");
    EXPECT_EQ(n.toInt64(), INT64_MIN);
    n.setStr("-99999999999999999999");
    EXPECT_EQ(n.toInt64(), INT64_MIN);
    n.setType(3);
    EXPECT_EQ(n.toInt64(), 0);
}

TEST(DataNode, SetTypeKeepsMatchingValueOnly) {
    DataNode n;
    n.listAt(2).setInt(1, 5);
    EXPECT_TRUE(n.setType(3));
    EXPECT_EQ(n.size(), 3u);
    EXPECT_TRUE(n.setType(4));
    EXPECT_EQ(n.size(), 0u);
    EXPECT_EQ(n.type(), NodeType::Map);
    EXPECT_FALSE(n.setType(0));
    EXPECT_FALSE(n.setType(5));
    EXPECT_EQ(n.type(), NodeType::Map);
    EXPECT_TRUE(n.setType(1));
    EXPECT_EQ(n.strOrEmpty(), "");
    EXPECT_EQ(n.kind(), 0);
}

TEST(DataNode, SizeAndClearByType) {
    DataNode n;
    EXPECT_EQ(n.size(), 0u);
    n.setInt(5, 5);
    EXPECT_EQ(n.size(), 0u);
    n.clear();
    EXPECT_EQ(n.num(), 0);
    EXPECT_EQ(n.kind(), 5);
    n.setStr("hello");
    EXPECT_EQ(n.size(), 5u);
    n.clear();
    EXPECT_EQ(n.type(), NodeType::Str);
    EXPECT_EQ(n.kind(), ValueKind::Text);
    EXPECT_EQ(n.size(), 0u);

    n.asList().prototype()->setInt(1, 1);
    n.listAt(3);
    n.clear();
    EXPECT_EQ(n.size(), 0u);
    EXPECT_EQ(n.list().prototype()->num(), 1);  // the prototype stays
}

TEST(DataNode, StrEqualsAndStrOrEmpty) {
    DataNode n;
    EXPECT_FALSE(n.strEquals(""));
    EXPECT_EQ(n.strOrEmpty(), "");
    n.setStr(std::string_view("ab\0c", 4), ValueKind::Binary);
    EXPECT_FALSE(n.strEquals("ab"));
    n.setStr("ab");
    EXPECT_TRUE(n.strEquals("ab"));
    EXPECT_FALSE(n.strEquals("abc"));
    n.setStr(nullptr);
    EXPECT_TRUE(n.strEquals(""));
    EXPECT_TRUE(n.strEquals(nullptr));
}

TEST(DataNode, SetStrWConvertsToUtf8Text) {
    DataNode n;
    n.setInt(1, 1);
    n.setStrW(u"a\u00e9\u4e2d");
    EXPECT_EQ(n.type(), NodeType::Str);
    EXPECT_EQ(n.kind(), ValueKind::Text);
    EXPECT_EQ(n.str(), "a\xC3\xA9\xE4\xB8\xAD");
    n.setStrW(nullptr);
    EXPECT_EQ(n.str(), "");
}

TEST(DataNode, LongStringsLiveOnTheHeap) {
    DataNode n;
    std::string big(1000, 'x');
    n.setStr(big, ValueKind::Binary);
    EXPECT_EQ(n.str(), big);
    DataNode copy(n);
    n.asStr()[0] = 'y';
    EXPECT_EQ(copy.str(), big);
}

// --- maps ---------------------------------------------------------------

TEST(DataNode, MapGetCreatesAndKeepsInsertionOrder) {
    DataNode n;
    n.setInt(1, 5);
    n.mapGet("b").setInt(2, 5);
    n.mapGet("a").setInt(1, 5);
    n.mapGet("b").setInt(3, 5);
    EXPECT_EQ(n.type(), NodeType::Map);
    EXPECT_EQ(n.size(), 2u);
    EXPECT_EQ(keyAt(n, 0), "b");
    EXPECT_EQ(keyAt(n, 1), "a");
    EXPECT_EQ(n.mapGet("b").num(), 3);
    ByteString out("keep");
    EXPECT_FALSE(n.map().keyAt(2, out));
    EXPECT_EQ(out, "keep");
}

TEST(DataNode, MapFindCreatesOnMapsOnly) {
    DataNode m;
    m.asMap();
    const DataNode& k = m.mapFind("k");
    EXPECT_TRUE(k.isNone());
    EXPECT_EQ(m.size(), 1u);
    EXPECT_EQ(keyAt(m, 0), "k");

    DataNode i;
    i.setInt(4, 5);
    const DataNode& none = i.mapFind("k");
    EXPECT_EQ(&none, &DataNode::nullNode());
    EXPECT_TRUE(i.isInt());
    EXPECT_EQ(i.num(), 4);
}

TEST(DataNode, HasKeyAndKeyAtNeverCoerce) {
    DataNode n;
    n.setInt(4, 5);
    EXPECT_FALSE(n.hasKey("x"));
    ByteString out("x");
    EXPECT_FALSE(n.keyAt(0, out));
    EXPECT_EQ(out, "");  // a non-map empties the out key
    EXPECT_TRUE(n.isInt());
    n.mapGet("x");
    EXPECT_TRUE(n.hasKey("x"));
    EXPECT_FALSE(n.hasKey("y"));
}

TEST(DataNode, CountedKeysMayHoldZeroBytes) {
    DataNode n;
    std::string_view k1("a\0b", 3), k2("a\0c", 3);
    n.mapGet(k1).setInt(1, 5);
    n.mapGet(k2).setInt(2, 5);
    EXPECT_EQ(n.size(), 2u);
    EXPECT_TRUE(n.hasKey(k1));
    EXPECT_FALSE(n.hasKey("a"));      // the zero-terminated form stops at the zero
    n.mapGet("a\0b");                   // ... and so creates the key "a"
    EXPECT_EQ(n.size(), 3u);
    EXPECT_EQ(n.mapGet(k2).num(), 2);
}

TEST(MapValue, InsertAtPlacesKeyInOrderOnly) {
    DataNode n;
    MapValue& m = n.asMap();
    m.getOrInsert("x");
    m.getOrInsert("z");
    DataNode v;
    v.setInt(9, 5);
    NodeRef value(v);
    EXPECT_TRUE(m.insertAt(0, "y", value));
    EXPECT_EQ(keyAt(n, 0), "y");
    EXPECT_EQ(keyAt(n, 1), "x");
    EXPECT_EQ(keyAt(n, 2), "z");
    EXPECT_EQ(n.mapGet("y").num(), 9);
    v.setInt(10, 5);  // the map holds its own copy
    EXPECT_EQ(n.mapGet("y").num(), 9);

    EXPECT_FALSE(m.insertAt(4, "w", value));
    EXPECT_FALSE(m.insertAt(0, "x", value));
    EXPECT_EQ(m.size(), 3u);
    EXPECT_TRUE(m.insertAt(3, "end", value));
    EXPECT_EQ(keyAt(n, 3), "end");
}

TEST(MapValue, RemoveReleasesChildAndOrder) {
    DataNode n;
    n.mapGet("a");
    n.mapGet("b").setInt(2, 5);
    n.mapGet("c");
    EXPECT_FALSE(n.map().remove("zz"));
    EXPECT_TRUE(n.map().remove("b"));
    EXPECT_EQ(n.size(), 2u);
    EXPECT_EQ(keyAt(n, 0), "a");
    EXPECT_EQ(keyAt(n, 1), "c");
    EXPECT_FALSE(n.hasKey("b"));
}

// The key hash reads short keys in overlapping words; every byte of a key,
// at every length, must reach the hash, or keys that differ only there
// would all land in one chain.
TEST(MapValue, KeyHashDependsOnEveryByte) {
    for (size_t len = 1; len <= 40; ++len) {
        std::string key(len, 'k');
        uint32_t base = HashKey(key);
        for (size_t i = 0; i < len; ++i) {
            std::string other = key;
            other[i] = 'q';
            EXPECT_NE(HashKey(other), base) << "length " << len << ", byte " << i;
        }
        EXPECT_NE(HashKey(key + 'k'), base) << "length " << len;
    }
}

// Large maps switch to a hash index; every operation must keep it in step
// with the insertion order.
TEST(MapValue, LargeMapsStayConsistentThroughEdits) {
    DataNode n;
    MapValue& m = n.asMap();
    std::vector<std::string> order;
    for (int i = 0; i < 300; ++i) {
        std::string k = "key" + std::to_string(i * 7919 % 1000);
        m.getOrInsert(k)->setInt(i, 9);
        order.push_back(k);
    }
    NodeRef v;
    v->setStr("inserted");
    ASSERT_TRUE(m.insertAt(17, "mid", v));
    order.insert(order.begin() + 17, "mid");
    ASSERT_TRUE(m.insertAt(0, "first", v));
    order.insert(order.begin(), "first");
    for (int i = 0; i < 300; i += 3) {
        std::string k = "key" + std::to_string(i * 7919 % 1000);
        ASSERT_TRUE(m.remove(k));
        order.erase(std::find(order.begin(), order.end(), k));
    }
    ASSERT_EQ(m.size(), order.size());
    for (uint32_t i = 0; i < order.size(); ++i) {
        EXPECT_EQ(keyAt(n, i), order[i]);
        EXPECT_TRUE(m.contains(order[i])) << order[i];
    }
    EXPECT_FALSE(m.contains("key0"));
    EXPECT_EQ(m.find("mid")->get()->str(), "inserted");

    DataNode copy(n);
    EXPECT_TRUE(copy.equals(n));
    for (uint32_t i = 0; i < order.size(); ++i) EXPECT_TRUE(copy.map().contains(order[i]));
}

// --- lists --------------------------------------------------------------

TEST(ListValue, ListAtGrowsWithFreshNodes) {
    DataNode n;
    n.asList().prototype()->setInt(5, 5);
    DataNode& last = n.listAt(5);
    EXPECT_EQ(n.size(), 6u);
    EXPECT_EQ(&last, n.list()[5].get());
    for (const NodeRef& item : n.list()) EXPECT_TRUE(item->isNone());  // not prototype copies
}

TEST(ListValue, UnreachableIndexGivesTheSharedScratchNode) {
    DataNode n;
    n.listAt(1);
    DataNode& s = n.listAt(0xFFFFFFFF);
    EXPECT_EQ(n.size(), 2u);
    EXPECT_EQ(&s, ListValue::scratch().get());
    s.setInt(77, 5);
    DataNode other;
    EXPECT_EQ(other.listAt(ListValue::kMaxGrowIndex).num(), 77);
    EXPECT_EQ(other.size(), 0u);
}

TEST(ListValue, InsertAndRemoveKeepNodesAtTheirPositions) {
    DataNode n;
    ListValue& l = n.asList();
    for (int i = 0; i < 3; ++i) l.at(i)->setInt(i, 5);
    NodeRef held;
    l[1].share(held);  // a host object over position 1

    DataNode v;
    v.setStr("new");
    EXPECT_TRUE(l.insertAt(1, v));
    EXPECT_EQ(l.size(), 4u);
    EXPECT_EQ(l[1]->str(), "new");
    EXPECT_EQ(l[2]->num(), 1);
    EXPECT_EQ(held->str(), "new");  // bound to position 1, not to the value

    EXPECT_TRUE(l.removeAt(0));
    EXPECT_EQ(l.size(), 3u);
    EXPECT_EQ(l[0]->str(), "new");
    EXPECT_EQ(held->num(), 1);  // position 1 now holds the former third value

    EXPECT_FALSE(l.insertAt(4, v));
    EXPECT_FALSE(l.removeAt(3));
    EXPECT_TRUE(l.insertAt(3, v));
    EXPECT_EQ(l[3]->str(), "new");
}

TEST(ListValue, InsertingAnItemOfItself) {
    DataNode n;
    ListValue& l = n.asList();
    l.at(0)->setStr("a");
    l.at(1)->setStr("b");
    EXPECT_TRUE(l.insertAt(0, l[1]));
    EXPECT_EQ(l[0]->str(), "b");
    EXPECT_EQ(l[1]->str(), "a");
    EXPECT_EQ(l[2]->str(), "b");
}

TEST(ListValue, ResizeShrinksAndGrows) {
    ListValue l;
    l.resize(3);
    l[2]->setInt(3, 5);
    l.resize(1);
    EXPECT_EQ(l.size(), 1u);
    l.resize(2);
    EXPECT_TRUE(l[1]->isNone());
}

// --- copy, share, equality ------------------------------------------------

TEST(NodeRef, CopyIsDeepShareIsNot) {
    NodeRef a;
    a->mapGet("x").setInt(1, 5);
    NodeRef b(a);
    b->mapGet("x").setInt(2, 5);
    EXPECT_EQ(a->mapGet("x").num(), 1);

    NodeRef c;
    a.share(c);
    EXPECT_EQ(a.get(), c.get());
    EXPECT_EQ(a.useCount(), 2u);
    c->mapGet("x").setInt(3, 5);
    EXPECT_EQ(a->mapGet("x").num(), 3);

    NodeRef d;
    d = a;  // copy assignment: a deep copy into d's own node
    EXPECT_NE(d.get(), a.get());
    EXPECT_TRUE(d->equals(*a));
    a.share(a);
    EXPECT_EQ(a.useCount(), 2u);
}

TEST(NodeRef, SharedChildOutlivesRemoval) {
    NodeRef root;
    root->mapGet("child").setStr("kept");
    NodeRef host;
    root->map().find("child")->share(host);
    EXPECT_TRUE(root->map().remove("child"));
    EXPECT_EQ(host->str(), "kept");
    EXPECT_EQ(host.useCount(), 1u);
    host->setStr("changed");
    EXPECT_FALSE(root->hasKey("child"));

    NodeRef item;
    root->listAt(0).setInt(5, 5);
    root->list()[0].share(item);  // root is a List now; the map is gone
    root->setType(4);
    EXPECT_EQ(item->num(), 5);
}

TEST(DataNode, AssignCopiesHeaderUnlessSourceIsNone) {
    DataNode src;
    src.setFormat(FormatId::Json);
    src.setOption(OptionFlags::BigEndian, true);
    src.setInt(5, ValueKind::Int16);
    DataNode dst;
    dst.assign(src);
    EXPECT_EQ(dst.format(), FormatId::Json);
    EXPECT_EQ(dst.options(), uint32_t(OptionFlags::BigEndian));
    EXPECT_EQ(dst.kind(), ValueKind::Int16);

    DataNode none;
    none.setFormat(FormatId::Ini);
    dst.setFormat(FormatId::Bencode);
    dst.assign(none);
    EXPECT_TRUE(dst.isNone());
    EXPECT_EQ(dst.format(), FormatId::Bencode);
    EXPECT_EQ(dst.options(), uint32_t(OptionFlags::BigEndian));
    dst.assign(dst);
    EXPECT_TRUE(dst.isNone());
}

TEST(DataNode, ListCopyTakesPrototypeFromFirstItem) {
    DataNode src;
    src.asList().prototype()->setStr("proto");
    DataNode empty(src);
    EXPECT_EQ(empty.list().prototype()->str(), "proto");

    src.listAt(0).setInt(1, 5);
    src.listAt(1).setInt(2, 5);
    DataNode copy(src);
    EXPECT_EQ(copy.list().prototype()->num(), 1);
    EXPECT_EQ(copy.list().prototype()->kind(), 5);
    EXPECT_NE(copy.list().prototype().get(), copy.list()[0].get());
}

TEST(DataNode, CopiesOfNoneChildrenAreFreshNodes) {
    DataNode src;
    src.listAt(0).setFormat(FormatId::Json);  // None child with a format
    DataNode copy(src);
    EXPECT_TRUE(copy.list()[0]->isNone());
    EXPECT_EQ(copy.list()[0]->format(), FormatId::Xml);
}

TEST(DataNode, AssignFromOwnDescendant) {
    DataNode root;
    root.mapGet("a").mapGet("b").setStr("deep value that is long enough for the heap");
    root.mapGet("a").mapGet("c").listAt(2).setInt(3, 5);
    DataNode& a = root.mapGet("a");
    root.assign(a);  // a dies during the assignment
    EXPECT_EQ(root.size(), 2u);
    EXPECT_EQ(root.mapGet("b").str(), "deep value that is long enough for the heap");
    EXPECT_EQ(root.mapGet("c").size(), 3u);

    NodeRef r;
    r->listAt(0).listAt(0).setStr("x");
    *r = (*r).list()[0]->list()[0].get()[0];
    EXPECT_EQ(r->str(), "x");
}

TEST(DataNode, EqualsComparesValuesOnly) {
    DataNode a, b;
    EXPECT_FALSE(a.equals(b));  // two distinct None nodes
    EXPECT_TRUE(a.equals(a));

    a.mapGet("x").setInt(1, 5);
    a.mapGet("y").setStr("s");
    b.mapGet("y").setStr("s");
    b.mapGet("x").setInt(1, 9);  // other kind, other order
    b.setFormat(FormatId::Json);
    b.setOption(0x10, true);
    EXPECT_TRUE(a.equals(b));
    b.mapGet("y").setStr("t");
    EXPECT_FALSE(a.equals(b));

    DataNode l1, l2;
    l1.listAt(1).setInt(2, 5);
    l2.listAt(1).setInt(2, 5);
    EXPECT_FALSE(l1.equals(l2));  // item 0 is None in both
    l1.list()[0]->setInt(0, 5);
    l2.list()[0]->setInt(0, 5);
    EXPECT_TRUE(l1.equals(l2));
    l2.listAt(2);
    EXPECT_FALSE(l1.equals(l2));

    DataNode s, i;
    s.setStr("1");
    i.setInt(1, 5);
    EXPECT_FALSE(s.equals(i));
}

// A chain of a million nested lists, built through the public operations:
// copy, compare and destroy must not recurse per level.
TEST(DataNode, MillionLevelChainIsSafe) {
    constexpr int kDepth = 1000000;
    NodeRef root;
    DataNode* cur = root.get();
    for (int i = 0; i < kDepth; ++i) cur = &cur->listAt(0);
    cur->setStr("bottom");

    NodeRef copy(*root);
    EXPECT_TRUE(copy->equals(*root));
    cur->setStr("changed");
    EXPECT_FALSE(copy->equals(*root));

    DataNode embedded;
    embedded.assign(*copy);
    embedded.reset();
    root->mapGet("replaces the chain");
    EXPECT_EQ(root->size(), 1u);
}

}  // namespace
}  // namespace zk

namespace zk {
namespace {

TEST(ListValue, CopiedPrototypeSurvivesEditsOfTheFirstPosition) {
    DataNode src;
    src.listAt(0).setStr("first");
    src.listAt(1).setStr("second");
    DataNode a(src), b(src), c(src);
    EXPECT_TRUE(a.list().removeAt(0));
    EXPECT_EQ(a.list().prototype()->str(), "first");
    NodeRef v;
    v->setStr("new");
    EXPECT_TRUE(b.list().insertAt(0, v));
    EXPECT_EQ(b.list().prototype()->str(), "first");
    c.clear();
    EXPECT_EQ(c.size(), 0u);
    EXPECT_EQ(c.list().prototype()->str(), "first");
    DataNode d(c);  // an empty list copies the prototype itself
    EXPECT_EQ(d.list().prototype()->str(), "first");
}

}  // namespace
}  // namespace zk
