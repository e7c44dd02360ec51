// MapValue: the value of a Map node, a map from byte-string keys to children.
//
// Entries are stored once, in insertion order, so keyAt() and the writers walk
// them directly. Small maps are searched linearly; from kIndexThreshold keys
// on, a hash index of entry positions gives O(1) lookup. Equality and sizes,
// which are defined over the sorted key order, do not depend on order at all,
// so no sorted copy of the keys is kept.
#pragma once

#include <cstdint>
#include <string_view>

#include "zk_data/text/byte_string.h"
#include "zk_data/value/node_ref.h"

namespace zk {

class MapValue {
public:
    struct Entry {
        ByteString key;
        NodeRef child;
    };

    static constexpr uint32_t kIndexThreshold = 8;
    // Slots of a new index: room for twice the keys that make it, so it
    // first doubles at 17 keys (the load stays at most one half).
    static constexpr uint32_t kFirstIndexSlots = 32;

    MapValue() noexcept : entries_(nullptr), size_(0), capacity_(0), index_(nullptr) {}
    MapValue(const MapValue& other);
    MapValue& operator=(const MapValue& other);
    ~MapValue() { destroy(); }

    uint32_t size() const noexcept { return size_; }
    bool empty() const noexcept { return size_ == 0; }

    // The child under key, inserted (empty, last in order) when missing.
    NodeRef& getOrInsert(std::string_view key);
    // Inserts key before position pos of the insertion order with a deep copy
    // of value. Fails, changing nothing, when pos > size() or key exists.
    bool insertAt(uint32_t pos, std::string_view key, const NodeRef& value);
    bool insertAt(uint32_t pos, std::string_view key, const DataNode& value);
    bool remove(std::string_view key);
    // Key at position i of the insertion order; out is untouched when i is out of range.
    bool keyAt(uint32_t i, ByteString& out) const;

    NodeRef* find(std::string_view key) noexcept;
    const NodeRef* find(std::string_view key) const noexcept;
    bool contains(std::string_view key) const noexcept { return findPosition(key) >= 0; }

    // Entries in insertion order.
    const Entry& entry(uint32_t i) const noexcept { return entries_[i]; }
    Entry& entry(uint32_t i) noexcept { return entries_[i]; }
    const Entry* begin() const noexcept { return entries_; }
    const Entry* end() const noexcept { return entries_ + size_; }

    void clear() noexcept;

private:
    // The tree operations and two reader helpers (value/child_collector.h,
    // value/shape_memory.h) work on the arrays directly: see why there.
    friend class TreeOps;
    friend class ChildCollector;
    friend class ShapeMemory;

    // One slot of the open-addressing index: position + 1 (0 = empty) and the
    // key's hash, which spares most key comparisons.
    struct Slot {
        uint32_t positionPlusOne;
        uint32_t hash;
    };

    int64_t findPosition(std::string_view key) const noexcept;
    Entry& appendEntry(std::string_view key, DataNode* child);
    void reserve(uint32_t n);
    void destroy() noexcept;

    // Index maintenance; index_[0].positionPlusOne holds the slot mask.
    uint32_t indexMask() const noexcept { return index_[0].positionPlusOne; }
    Slot* slots() const noexcept { return index_ + 1; }
    // A new, empty index for a map of keys keys when the current one (or
    // none) is too small for them; null when it is not.
    Slot* indexFor(uint32_t keys) const;
    // Replaces the index by block and files every entry in it.
    void installIndex(Slot* block) noexcept;
    void indexInsert(uint32_t position, uint32_t hash) noexcept;
    void indexErase(uint32_t position, uint32_t hash) noexcept;
    void indexShiftPositions(uint32_t from, int32_t delta) noexcept;

    Entry* entries_;
    uint32_t size_;
    uint32_t capacity_;
    Slot* index_;  // null while the map is small
};

static_assert(sizeof(MapValue) <= 24, "MapValue must fit the node's value slot");

// Seeded hash of a key. The seed is chosen per process so that hostile input
// cannot aim keys at one bucket.
uint32_t HashKey(std::string_view key) noexcept;

}  // namespace zk
