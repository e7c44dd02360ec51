#include "value/shape_memory.h"

#include "value/growth.h"

namespace zk {

uint32_t& ShapeMemory::lastSize(uint32_t depth, bool map) {
    size_t at = size_t{depth} * 2 + map;
    if (at >= lastSizes_.size()) lastSizes_.resize(at + 1);
    return lastSizes_[at];
}

void ShapeMemory::open(ListValue& list, uint32_t depth) {
    if (uint32_t guess = lastSize(depth, false); guess > list.capacity_) fit(list, guess);
}

void ShapeMemory::open(MapValue& map, uint32_t depth) {
    if (uint32_t guess = lastSize(depth, true); guess > map.capacity_) fit(map, guess);
}

void ShapeMemory::close(ListValue& list, uint32_t depth) {
    fit(list, list.size_);
    lastSize(depth, false) = list.size_;
}

void ShapeMemory::close(MapValue& map, uint32_t depth) {
    fit(map, map.size_);
    lastSize(depth, true) = map.size_;
}

void ShapeMemory::fit(ListValue& list, uint32_t n) {
    void* array = list.items_;
    uint32_t capacity = list.capacity_;
    FitArray(array, capacity, n, sizeof(NodeRef));
    list.items_ = static_cast<NodeRef*>(array);
    list.capacity_ = capacity;  // a bit-field: no reference can bind to it
}

void ShapeMemory::fit(MapValue& map, uint32_t n) {
    void* array = map.entries_;
    FitArray(array, map.capacity_, n, sizeof(MapValue::Entry));
    map.entries_ = static_cast<MapValue::Entry*>(array);
}

}  // namespace zk
