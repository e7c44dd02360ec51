#include "zk_data/value/map_value.h"

#include <cstdlib>
#include <cstring>
#include <new>
#include <random>

#include "value/fold_multiply.h"
#include "value/growth.h"
#include "value/tree_ops.h"
#include "value/word_load.h"
#include "zk_data/value/data_node.h"

namespace zk {

// --- hashing ---------------------------------------------------------------

namespace {

uint64_t processSeed() noexcept {
    static const uint64_t seed = [] {
        std::random_device rd;
        return (uint64_t{rd()} << 32) ^ rd() ^ 0x9E3779B97F4A7C15ull;
    }();
    return seed;
}

}  // namespace

uint32_t HashKey(std::string_view key) noexcept {
    constexpr uint64_t k1 = 0xA0761D6478BD642Full, k2 = 0xE7037ED1A0B428DBull;
    const char* p = key.data();
    size_t n = key.size();
    uint64_t h = processSeed() ^ (n * k1);
    for (; n >= 16; p += 16, n -= 16) h = FoldMultiply(Load64(p) ^ k1 ^ h, Load64(p + 8) ^ k2);
    uint64_t a, b;
    LoadShort(p, n, a, b);  // the last n < 16 bytes
    h = FoldMultiply(a ^ k1 ^ h, b ^ k2 ^ key.size());
    return static_cast<uint32_t>(h ^ (h >> 32));
}

// --- storage -----------------------------------------------------------------

MapValue::MapValue(const MapValue& other) : MapValue() { TreeOps::copyMap(*this, other); }

MapValue& MapValue::operator=(const MapValue& other) {
    if (this != &other) {
        MapValue copy(other);
        destroy();
        std::memcpy(static_cast<void*>(this), &copy, sizeof(copy));
        new (&copy) MapValue();
    }
    return *this;
}

void MapValue::reserve(uint32_t n) {
    void* array = entries_;
    GrowArray(array, capacity_, n, UINT32_MAX, sizeof(Entry));
    entries_ = static_cast<Entry*>(array);
}

void MapValue::clear() noexcept {
    destroy();
}

// Everything that can fail (the key's bytes, a larger array, a larger index)
// is made before the map changes, so a failure leaves it as it was and the
// caller still owns child. The key is copied first: its bytes may lie in the
// map's own array, which growing moves.
MapValue::Entry& MapValue::appendEntry(std::string_view key, DataNode* child) {
    ByteString ownKey(key);
    Slot* grown = indexFor(size_ + 1);
    if (size_ == capacity_) {
        try {
            reserve(size_ + 1);
        } catch (...) {
            std::free(grown);
            throw;
        }
    }
    Entry* e = entries_ + size_;
    new (&e->key) ByteString(std::move(ownKey));
    e->child.node_ = child;
    ++size_;
    if (grown) installIndex(grown);
    else if (index_) indexInsert(size_ - 1, HashKey(e->key));
    return *e;
}

// --- lookup ------------------------------------------------------------------

int64_t MapValue::findPosition(std::string_view key) const noexcept {
    if (!index_) {
        for (uint32_t i = 0; i < size_; ++i)
            if (entries_[i].key.view() == key) return i;
        return -1;
    }
    uint32_t hash = HashKey(key);
    uint32_t mask = indexMask();
    for (uint32_t s = hash & mask;; s = (s + 1) & mask) {
        const Slot& slot = slots()[s];
        if (!slot.positionPlusOne) return -1;
        if (slot.hash == hash && entries_[slot.positionPlusOne - 1].key.view() == key) return slot.positionPlusOne - 1;
    }
}

NodeRef* MapValue::find(std::string_view key) noexcept {
    int64_t i = findPosition(key);
    return i < 0 ? nullptr : &entries_[i].child;
}

const NodeRef* MapValue::find(std::string_view key) const noexcept {
    int64_t i = findPosition(key);
    return i < 0 ? nullptr : &entries_[i].child;
}

NodeRef& MapValue::getOrInsert(std::string_view key) {
    if (NodeRef* found = find(key)) return *found;
    NodeRef fresh;  // owns the node until the entry holds it
    DataNode* node = fresh.node_;
    Entry& e = appendEntry(key, node);
    fresh.node_ = nullptr;
    return e.child;
}

bool MapValue::keyAt(uint32_t i, ByteString& out) const {
    if (i >= size_) return false;
    out = entries_[i].key;
    return true;
}

// --- positional insert and removal ----------------------------------------

bool MapValue::insertAt(uint32_t pos, std::string_view key, const NodeRef& value) { return insertAt(pos, key, *value); }

bool MapValue::insertAt(uint32_t pos, std::string_view key, const DataNode& value) {
    if (pos > size_ || contains(key)) return false;
    NodeRef copy(value);  // value may live in this map; copy before anything moves
    ByteString keyCopy(key);  // so may the key bytes
    appendEntry(keyCopy, copy.node_);
    copy.node_ = nullptr;
    if (pos == size_ - 1) return true;
    // Rotate the new last entry into place.
    alignas(Entry) unsigned char moved[sizeof(Entry)];
    std::memcpy(moved, entries_ + size_ - 1, sizeof(Entry));
    std::memmove(static_cast<void*>(entries_ + pos + 1), entries_ + pos, sizeof(Entry) * (size_ - 1 - pos));
    std::memcpy(static_cast<void*>(entries_ + pos), moved, sizeof(Entry));
    if (index_) {
        uint32_t hash = HashKey(entries_[pos].key);
        indexErase(size_ - 1, hash);
        indexShiftPositions(pos, 1);
        indexInsert(pos, hash);
    }
    return true;
}

bool MapValue::remove(std::string_view key) {
    int64_t found = findPosition(key);
    if (found < 0) return false;
    uint32_t pos = static_cast<uint32_t>(found);
    if (index_) {
        indexErase(pos, HashKey(key));
        indexShiftPositions(pos + 1, -1);
    }
    // Detach the entry before releasing: releasing may run arbitrary teardown.
    DataNode* child = entries_[pos].child.node_;
    entries_[pos].key.~ByteString();
    std::memmove(static_cast<void*>(entries_ + pos), entries_ + pos + 1, sizeof(Entry) * (size_ - 1 - pos));
    --size_;
    TreeOps::releaseNode(child);
    return true;
}

// --- index ---------------------------------------------------------------

MapValue::Slot* MapValue::indexFor(uint32_t keys) const {
    uint32_t slotCount;
    if (index_) {
        if (uint64_t{keys} * 2 <= uint64_t{indexMask()} + 1) return nullptr;
        slotCount = (indexMask() + 1) * 2;
    } else {
        if (keys <= kIndexThreshold) return nullptr;
        slotCount = kFirstIndexSlots;
    }
    Slot* block = static_cast<Slot*>(std::calloc(size_t{slotCount} + 1, sizeof(Slot)));
    if (!block) throw std::bad_alloc();
    block[0].positionPlusOne = slotCount - 1;
    return block;
}

void MapValue::installIndex(Slot* block) noexcept {
    std::free(index_);
    index_ = block;
    for (uint32_t i = 0; i < size_; ++i) indexInsert(i, HashKey(entries_[i].key));
}

void MapValue::indexInsert(uint32_t position, uint32_t hash) noexcept {
    uint32_t mask = indexMask();
    uint32_t s = hash & mask;
    while (slots()[s].positionPlusOne) s = (s + 1) & mask;
    slots()[s] = Slot{position + 1, hash};
}

// Linear-probing deletion with backward shift, so no tombstones accumulate.
void MapValue::indexErase(uint32_t position, uint32_t hash) noexcept {
    uint32_t mask = indexMask();
    Slot* table = slots();
    uint32_t hole = hash & mask;
    while (table[hole].positionPlusOne != position + 1) hole = (hole + 1) & mask;
    for (uint32_t s = (hole + 1) & mask; table[s].positionPlusOne; s = (s + 1) & mask) {
        uint32_t home = table[s].hash & mask;
        // Move s into the hole unless its home lies cyclically in (hole, s].
        bool stays = hole <= s ? (home > hole && home <= s) : (home > hole || home <= s);
        if (!stays) {
            table[hole] = table[s];
            hole = s;
        }
    }
    table[hole] = Slot{0, 0};
}

void MapValue::indexShiftPositions(uint32_t from, int32_t delta) noexcept {
    Slot* table = slots();
    for (uint32_t s = 0; s <= indexMask(); ++s)
        if (table[s].positionPlusOne > from) table[s].positionPlusOne += delta;
}

}  // namespace zk
