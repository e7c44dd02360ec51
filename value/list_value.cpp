#include "zk_data/value/list_value.h"

#include <cstdlib>
#include <cstring>
#include <new>
#include <utility>

#include "value/growth.h"
#include "value/tree_ops.h"
#include "zk_data/value/data_node.h"

namespace zk {

ListValue::ListValue(const ListValue& other) : ListValue() { TreeOps::copyList(*this, other); }

ListValue& ListValue::operator=(const ListValue& other) {
    if (this != &other) {
        ListValue copy(other);
        destroy();
        std::memcpy(static_cast<void*>(this), &copy, sizeof(copy));
        new (&copy) ListValue();
    }
    return *this;
}

void ListValue::reserve(uint32_t n) {
    if (n <= capacity_) return;
    void* array = items_;
    uint32_t cap = capacity_;
    GrowArray(array, cap, n, kMaxCapacity, sizeof(NodeRef));
    items_ = static_cast<NodeRef*>(array);
    capacity_ = cap;  // a bit-field: no reference can bind to it
}

DataNode& ListValue::append() {
    if (size_ == capacity_) reserve(size_ + 1);
    DataNode* node = TreeOps::newNode();
    items_[size_++].node_ = node;
    return *node;
}

DataNode& ListValue::appendCopy(const DataNode& value) {
    NodeRef copy(value);
    if (size_ == capacity_) reserve(size_ + 1);
    DataNode* node = std::exchange(copy.node_, nullptr);
    items_[size_++].node_ = node;
    return *node;
}

// Growth is all or nothing: nodes made before a failed one are released.
void ListValue::resize(uint32_t n) {
    if (n <= size_) {
        shrinkTo(n);
        return;
    }
    reserve(n);
    const uint32_t had = size_;
    try {
        while (size_ < n) {
            DataNode* node = TreeOps::newNode();
            items_[size_++].node_ = node;
        }
    } catch (...) {
        releaseLast(had);
        throw;
    }
}

NodeRef& ListValue::at(uint32_t i) {
    if (i >= size_ && i < kMaxGrowIndex) resize(i + 1);
    if (i >= size_) return scratch();
    if (i == 0) settlePrototype();
    return items_[i];
}

NodeRef& ListValue::scratch() {
    static NodeRef* node = new NodeRef();  // lives until the process ends
    return *node;
}

NodeRef& ListValue::prototype() {
    if (!prototype_.node_) {
        DataNode* node = TreeOps::newNode();
        if (prototypeFromFirst_) {
            NodeRef owner(NodeRef::Adopt{}, node);
            TreeOps::copyInto(*node, *items_[0]);
            owner.node_ = nullptr;
        }
        prototype_.node_ = node;
    }
    prototypeFromFirst_ = 0;
    return prototype_;
}

void ListValue::shrinkTo(uint32_t n) {
    if (n == 0 && size_) settlePrototype();
    releaseLast(n);
}

bool ListValue::insertAt(uint32_t i, const NodeRef& value) { return insertAt(i, *value); }

// Nodes stay at their positions: the values from i on move one node down and
// the copy of value lands in the node at i; only the last node is new.
bool ListValue::insertAt(uint32_t i, const DataNode& value) {
    if (i > size_) return false;
    if (i == 0) settlePrototype();
    DataNode copy(value);  // value may be one of our own items
    append();
    for (uint32_t j = size_ - 1; j > i; --j) items_[j]->moveFrom(*items_[j - 1]);
    items_[i]->moveFrom(copy);
    return true;
}

// The values after i move one node up; the last node is released.
bool ListValue::removeAt(uint32_t i) {
    if (i >= size_) return false;
    if (i == 0) settlePrototype();
    for (uint32_t j = i; j + 1 < size_; ++j) items_[j]->moveFrom(*items_[j + 1]);
    releaseLast(size_ - 1);
    return true;
}

}  // namespace zk
