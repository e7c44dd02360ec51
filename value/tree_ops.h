// Whole-tree operations: allocation and release of heap nodes, deep copy and
// equality. Each walks the tree with an explicit work list, so a chain of a
// million nested lists is destroyed, copied or compared on a few kilobytes of
// machine stack.
#pragma once

#include <new>

#include "value/node_pool.h"
#include "zk_data/value/data_node.h"

namespace zk {

class TreeOps {
public:
    // A heap node with a count of 1, owned by the NodeRef that adopts it.
    static DataNode* newNode() { return withCount(new (NodePool::allocate()) DataNode()); }
    // Destroys a heap node whose count has dropped to zero.
    static void deleteNode(DataNode* node) noexcept {
        node->~DataNode();
        NodePool::deallocate(node);
    }
    // Drops one handle's share of node; the last one destroys its subtree.
    static void releaseNode(DataNode* node) noexcept;
    // Destroys node's value and every child no other handle keeps; node
    // becomes None with kind 0.
    static void destroyValue(DataNode& node) noexcept;
    // dst must be None. Copies src's type, kind, format, options and value.
    static void copyInto(DataNode& dst, const DataNode& src);
    static void copyList(ListValue& dst, const ListValue& src);
    static void copyMap(MapValue& dst, const MapValue& src);
    static bool equal(const DataNode& a, const DataNode& b);

    class Releaser;  // takes dying subtrees apart without recursion
    class Copier;    // the work list behind every deep copy

private:
    static_assert(sizeof(DataNode) == NodePool::kSlotBytes && alignof(DataNode) <= 8);
    static DataNode* withCount(DataNode* node) noexcept {
        node->refs_ = 1;
        return node;
    }
};

}  // namespace zk
