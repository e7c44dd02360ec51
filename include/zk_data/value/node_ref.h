// NodeRef: the handle through which containers hold their children and host
// objects hold their node.
//
// The count lives inside the node (one allocation per node). Copying a handle
// deep-copies the node: two trees never share a child unless share() is
// called explicitly, which is what the object layer does to hand a child to a
// host without copying it.
#pragma once

#include <cstdint>

namespace zk {

class DataNode;
class ListValue;
class MapValue;

class NodeRef {
public:
    // A new empty node (type None, format XML) with a count of 1.
    NodeRef();
    // A new node holding a deep copy of src.
    explicit NodeRef(const DataNode& src);
    // Deep copy: the new handle gets a node of its own.
    NodeRef(const NodeRef& other);
    // Deep copy into this handle's existing node; the node keeps its identity.
    NodeRef& operator=(const NodeRef& other);
    ~NodeRef() { release(); }

    // Makes target refer to this handle's node, releasing what target held.
    void share(NodeRef& target) const;

    DataNode& operator*() const noexcept { return *node_; }
    DataNode* operator->() const noexcept { return node_; }
    DataNode* get() const noexcept { return node_; }
    // Number of handles sharing the node.
    uint32_t useCount() const noexcept;

private:
    friend class ListValue;
    friend class MapValue;
    friend class TreeOps;
    friend class ChildCollector;

    struct Adopt {};
    // Takes over a node whose count already accounts for this handle; node may
    // be null only inside containers that materialise it on demand.
    NodeRef(Adopt, DataNode* node) noexcept : node_(node) {}
    void release() noexcept;

    DataNode* node_;
};

}  // namespace zk
