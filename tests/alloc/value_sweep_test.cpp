// The value tree under allocation failure: copies, assignment, the coercing
// accessors and the container operations each complete or leave the tree as
// it was.
#include <memory>

#include "tests/alloc/documents.h"
#include "tests/alloc/sweep.h"

namespace zk::alloc {
namespace {

// One tree, built by make, that op changes in place.
void SweepTree(void (*make)(DataNode&), std::function<void(DataNode&)> op) {
    std::unique_ptr<DataNode> tree;
    Sweep({
        .build = [&] {
            tree = std::make_unique<DataNode>();
            make(*tree);
        },
        .tree = [&]() -> DataNode& { return *tree; },
        .run = [&] {
            op(*tree);
            return true;
        },
        .destroy = [&] { tree.reset(); },
    });
}

void AnInt(DataNode& n) { n.setInt(7, ValueKind::Int32); }

void SixteenKeys(DataNode& n) {
    Document(n);
    DataNode& fields = n.mapGet("fields");
    fields.map().remove("field16");
    fields.map().remove("field17");
}

constexpr const char* kLongKey = "a key long enough to need a block of its own";

TEST(ValueSweep, CopyConstruction) {
    DataNode source;
    Document(source);
    SweepTree(
        [](DataNode&) {},
        [&](DataNode& target) {
            DataNode copy(source);
            target.moveFrom(copy);
        });
}

TEST(ValueSweep, NodeRefCopy) {
    NodeRef source;
    Document(*source);
    SweepTree(
        [](DataNode&) {},
        [&](DataNode& target) {
            NodeRef copy(source);
            target.moveFrom(*copy);
        });
}

TEST(ValueSweep, AssignOverAnotherTree) {
    DataNode source;
    Document(source);
    SweepTree(EightKeys, [&](DataNode& target) { target.assign(source); });
}

TEST(ValueSweep, AssignFromADescendant) {
    SweepTree(Document, [](DataNode& target) { target.assign(**target.map().find("items")); });
}

TEST(ValueSweep, MapGetAddsTheNinthKey) {
    SweepTree(EightKeys, [](DataNode& map) { map.mapGet(kLongKey); });
}

TEST(ValueSweep, MapGetAddsTheSeventeenthKey) {
    SweepTree(SixteenKeys, [](DataNode& root) { root.map().find("fields")->get()->mapGet(kLongKey); });
}

TEST(ValueSweep, MapGetCoercesAnInt) {
    SweepTree(AnInt, [](DataNode& n) { n.mapGet(kLongKey); });
}

TEST(ValueSweep, ListAtGrowsTheList) {
    SweepTree(Document, [](DataNode& root) { root.map().find("items")->get()->listAt(9); });
}

TEST(ValueSweep, ListAtCoercesAnInt) {
    SweepTree(AnInt, [](DataNode& n) { n.listAt(5); });
}

TEST(ValueSweep, MapInsertAtMakesTheIndex) {
    DataNode value;
    Document(value);
    SweepTree(EightKeys, [&](DataNode& map) { map.map().insertAt(3, kLongKey, value); });
}

TEST(ValueSweep, MapRemove) {
    SweepTree(Document, [](DataNode& root) { root.map().find("fields")->get()->map().remove("field04"); });
}

TEST(ValueSweep, ListInsertAt) {
    DataNode value;
    Document(value);
    SweepTree(Document, [&](DataNode& root) { root.map().find("items")->get()->list().insertAt(1, value); });
}

// The list is a copy, so its prototype is still to be made from its first
// item, which the removal moves.
TEST(ValueSweep, ListRemoveAtTheFrontOfACopy) {
    SweepTree(
        [](DataNode& root) {
            DataNode source;
            Document(source);
            root.assign(source);
        },
        [](DataNode& root) { root.map().find("items")->get()->list().removeAt(0); });
}

TEST(ValueSweep, ClearOfACopiedList) {
    SweepTree(
        [](DataNode& root) {
            DataNode source;
            Document(source);
            root.assign(*source.map().find("items")->get());
        },
        [](DataNode& list) { list.clear(); });
}

TEST(ValueSweep, SetStrOverAMap) {
    SweepTree(Document, [](DataNode& root) { root.setStr(std::string_view(kLongKey), ValueKind::Binary); });
}

TEST(ValueSweep, SetStrW) {
    SweepTree(Document, [](DataNode& root) { root.setStrW(u"a wide string that converts to more than 23 bytes"); });
}

TEST(ValueSweep, Equals) {
    DataNode other;
    Document(other);
    SweepTree(Document, [&](DataNode& root) {
        if (!root.equals(other)) ADD_FAILURE() << "a copy compares unequal";
    });
}

}  // namespace
}  // namespace zk::alloc
