#include "value/child_collector.h"

#include <cstdint>
#include <new>
#include <utility>

#include "value/growth.h"
#include "value/tree_ops.h"

namespace zk {

ChildCollector::~ChildCollector() {
    for (const Child& c : children_) TreeOps::releaseNode(c.node);
}

DataNode& ChildCollector::add(std::string_view key) {
    DataNode* node = TreeOps::newNode();
    try {
        children_.push_back({key, node});
    } catch (...) {
        TreeOps::releaseNode(node);
        throw;
    }
    return *node;
}

void ChildCollector::dropLast() noexcept {
    TreeOps::releaseNode(children_.back().node);
    children_.pop_back();
}

uint32_t& ChildCollector::lastSize(uint32_t depth, bool map) {
    size_t at = size_t{depth} * 2 + map;
    if (at >= lastSizes_.size()) lastSizes_.resize(at + 1);
    return lastSizes_[at];
}

size_t ChildCollector::open(ListValue& list, uint32_t depth) {
    if (uint32_t guess = lastSize(depth, false); guess > list.capacity_) fit(list, guess);
    return children_.size();
}

size_t ChildCollector::open(MapValue& map, uint32_t depth) {
    if (uint32_t guess = lastSize(depth, true); guess > map.capacity_) fit(map, guess);
    return children_.size();
}

void ChildCollector::close(size_t mark, ListValue& list, uint32_t depth) {
    size_t n = children_.size() - mark;
    if (n > ListValue::kMaxCapacity - list.size_) throw std::bad_alloc();
    fit(list, list.size_ + static_cast<uint32_t>(n));
    for (size_t i = mark; i < children_.size(); ++i) list.items_[list.size_++].node_ = children_[i].node;
    children_.resize(mark);
    lastSize(depth, false) = list.size_;
}

void ChildCollector::close(size_t mark, MapValue& map, uint32_t depth) {
    size_t n = children_.size() - mark;
    if (n > UINT32_MAX - map.size_) throw std::bad_alloc();
    fit(map, map.size_ + static_cast<uint32_t>(n));
    // Each child leaves the collector before the map or a release owns it, so
    // a throw part way (a key too long to copy, an index out of memory)
    // leaves the rest to the destructor and nothing owned twice.
    for (size_t i = mark; i < children_.size(); ++i) {
        Child& c = children_[i];
        DataNode* node = std::exchange(c.node, nullptr);
        if (NodeRef* known = map.find(c.key)) {
            (*known)->moveFrom(*node);
            TreeOps::releaseNode(node);
            continue;
        }
        uint32_t before = map.size_;
        try {
            map.appendEntry(c.key, node);
        } catch (...) {
            if (map.size_ == before) TreeOps::releaseNode(node);
            throw;
        }
    }
    children_.resize(mark);
    fit(map, map.size_);  // repeated keys took fewer entries
    lastSize(depth, true) = map.size_;
}

void ChildCollector::fit(ListValue& list, uint32_t n) {
    void* array = list.items_;
    uint32_t capacity = list.capacity_;
    FitArray(array, capacity, n, sizeof(NodeRef));
    list.items_ = static_cast<NodeRef*>(array);
    list.capacity_ = capacity;  // a bit-field: no reference can bind to it
}

void ChildCollector::fit(MapValue& map, uint32_t n) {
    void* array = map.entries_;
    FitArray(array, map.capacity_, n, sizeof(MapValue::Entry));
    map.entries_ = static_cast<MapValue::Entry*>(array);
}

}  // namespace zk
