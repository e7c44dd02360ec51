// ContainerEdit: what one container method changes in its node, taken back
// when the method runs out of memory half way.
//
// A container method may first make its node a map or a list, destroying the
// value of another type, then add a key or grow the list, and only then store
// into the child or hand it out, and every one of those steps may fail to
// allocate. Hosts are promised that a method either completes or leaves the
// container as it was. So the old value of a coerced node waits here instead
// of being destroyed at once, an added key or element is recorded, and unless
// the method commits, the destructor puts the node back as it was.
//
// A method commits when it completes, and also when it fails for another
// reason than memory: a refused VARIANT leaves the key it created, and an
// index out of range leaves the coerced container, as the interface says.
#pragma once

#include <cstdint>
#include <string_view>

#include "zk_data/value/data_node.h"

namespace zk {

class ContainerEdit {
public:
    explicit ContainerEdit(DataNode& node) noexcept : node_(node) {}
    ~ContainerEdit() {
        if (!committed_) undo();
    }
    ContainerEdit(const ContainerEdit&) = delete;
    ContainerEdit& operator=(const ContainerEdit&) = delete;

    // The node as a map or a list; a value of another type is kept aside.
    MapValue& map();
    ListValue& list();
    // The child under key, added when missing. key must outlive the edit.
    NodeRef& child(std::string_view key);
    // Item i of the list, which grows to reach it (ListValue::at).
    NodeRef& element(uint32_t i);
    // A new empty child under key at position of the insertion order, or
    // null when the map refuses (position past the end, key present). key
    // must outlive the edit.
    DataNode* insertKey(uint32_t position, std::string_view key);
    // A new empty element before item i, or null when i is past the end.
    DataNode* insertElement(uint32_t i);

    void commit() noexcept { committed_ = true; }

private:
    enum class Added { Nothing, Key, Items, Element };

    void keepOld() noexcept;
    // Removing what was added allocates nothing: a removed key or element
    // releases its node, and the list prototype an element at 0 would settle
    // was settled by its insertion.
    void undo() noexcept;

    DataNode& node_;
    DataNode old_;  // the value before coercion
    bool coerced_ = false;
    bool committed_ = false;
    Added added_ = Added::Nothing;
    std::string_view key_;  // the key added
    uint32_t position_ = 0;  // the list's old size, or the element inserted
};

}  // namespace zk
