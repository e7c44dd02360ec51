// ContainerEdit: an edit left without commit, as a method that ran out of
// memory leaves it, puts the node back as it was; a committed edit stays.
#include <gtest/gtest.h>

#include <string>

#include "object/container_edit.h"

namespace zk {
namespace {

std::string Show(const DataNode& n) {
    switch (n.type()) {
    case NodeType::Str: return std::string("\"").append(n.str().view()).append("\"");
    case NodeType::Int: return std::to_string(n.num());
    case NodeType::List: {
        std::string s = "[";
        for (const NodeRef& item : n.list()) s += Show(*item) + ",";
        return s + "]";
    }
    case NodeType::Map: {
        std::string s = "{";
        for (const MapValue::Entry& e : n.map()) s += std::string(e.key.view()) + ":" + Show(*e.child) + ",";
        return s + "}";
    }
    default: return "~";
    }
}

DataNode List(int n) {
    DataNode list;
    for (int i = 0; i < n; ++i) list.asList().append().setInt(i, ValueKind::Int32);
    return list;
}

TEST(ContainerEdit, ACoercedValueComesBackWithItsKind) {
    DataNode node;
    node.setStr(std::string_view("text"), ValueKind::Binary);
    node.setFormat(FormatId::Json);
    node.setOption(0x4, true);
    {
        ContainerEdit edit(node);
        edit.child("k")->setInt(1, ValueKind::Int32);
        EXPECT_EQ(Show(node), "{k:1,}");
    }
    EXPECT_EQ(Show(node), "\"text\"");
    EXPECT_EQ(node.kind(), ValueKind::Binary);
    EXPECT_EQ(node.format(), FormatId::Json);
    EXPECT_EQ(node.options(), 0x4u);
}

// The bytes GetBytes lends may come back as a key for the same node.
TEST(ContainerEdit, AKeyFromTheValueACoercionReplacesIsRead) {
    for (const char* text : {"short key", "a key too long to be stored inline"}) {
        for (bool insert : {false, true}) {
            DataNode node;
            node.setStr(text);
            std::string_view key = node.str().view();
            ContainerEdit edit(node);
            if (insert) edit.insertKey(0, key)->setInt(1, 0);
            else edit.child(key)->setInt(1, 0);
            edit.commit();
            EXPECT_EQ(Show(node), std::string("{").append(text).append(":1,}"));
        }
    }
}

TEST(ContainerEdit, ANoneNodeStaysNone) {
    DataNode node;
    {
        ContainerEdit edit(node);
        edit.element(3);
    }
    EXPECT_TRUE(node.isNone());
}

TEST(ContainerEdit, AnAddedKeyGoesAndTheOthersKeepTheirPlaces) {
    DataNode node;
    for (const char* k : {"a", "b", "c"}) node.mapGet(k).setStr(k);
    {
        ContainerEdit edit(node);
        edit.child("b")->setStr("changed");  // present: a child's own change is not the edit's to undo
        edit.child("new")->setStr("n");
    }
    EXPECT_EQ(Show(node), "{a:\"a\",b:\"changed\",c:\"c\",}");
    {
        ContainerEdit edit(node);
        ASSERT_NE(edit.insertKey(1, "inserted"), nullptr);
    }
    EXPECT_EQ(Show(node), "{a:\"a\",b:\"changed\",c:\"c\",}");
}

TEST(ContainerEdit, GrownItemsGo) {
    DataNode node = List(2);
    {
        ContainerEdit edit(node);
        edit.element(6)->setInt(6, 0);
    }
    EXPECT_EQ(Show(node), "[0,1,]");
}

TEST(ContainerEdit, AnInsertedElementGoesAndTheValuesMoveBack) {
    DataNode node = List(3);
    for (uint32_t at : {0u, 1u, 3u}) {
        {
            ContainerEdit edit(node);
            edit.insertElement(at)->setStr("x");
        }
        EXPECT_EQ(Show(node), "[0,1,2,]") << at;
    }
}

TEST(ContainerEdit, RefusedInsertionsChangeNothing) {
    DataNode node = List(1);
    ContainerEdit edit(node);
    EXPECT_EQ(edit.insertElement(2), nullptr);
    edit.commit();
}

TEST(ContainerEdit, ACommittedEditStays) {
    DataNode node;
    node.setInt(5, ValueKind::Int32);
    {
        ContainerEdit edit(node);
        edit.child("k");
        edit.commit();
    }
    EXPECT_EQ(Show(node), "{k:~,}");
    {
        ContainerEdit edit(node);
        edit.list();
        edit.commit();
    }
    EXPECT_EQ(Show(node), "[]");
}

}  // namespace
}  // namespace zk
