#include "value/child_collector.h"

#include <cstdint>
#include <new>
#include <utility>

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

size_t ChildCollector::open(ListValue& list, uint32_t depth) {
    shapes_.open(list, depth);
    return children_.size();
}

size_t ChildCollector::open(MapValue& map, uint32_t depth) {
    shapes_.open(map, depth);
    return children_.size();
}

void ChildCollector::close(size_t mark, ListValue& list, uint32_t depth) {
    size_t n = children_.size() - mark;
    if (n > ListValue::kMaxCapacity - list.size_) throw std::bad_alloc();
    ShapeMemory::fit(list, list.size_ + static_cast<uint32_t>(n));
    for (size_t i = mark; i < children_.size(); ++i) list.items_[list.size_++].node_ = children_[i].node;
    children_.resize(mark);
    shapes_.close(list, depth);
}

void ChildCollector::close(size_t mark, MapValue& map, uint32_t depth) {
    size_t n = children_.size() - mark;
    if (n > UINT32_MAX - map.size_) throw std::bad_alloc();
    ShapeMemory::fit(map, map.size_ + static_cast<uint32_t>(n));
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
    shapes_.close(map, depth);  // fitted again: repeated keys took fewer entries
}

}  // namespace zk
