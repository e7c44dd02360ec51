// What a tree needs before it is written, or read into as a binary template,
// that the formats it came from could not give it: integer widths, the item
// shape of lists a record grows, a field order, and option bits on every node.
// The front ends (zkdata, the Lua module) each choose what they lay over a
// tree; the walk is here, once.
#pragma once

#include <cstdint>
#include <string>

#include "zk_data/value/data_node.h"

namespace zk {

struct WritePreparation {
    // Every Int takes this kind; 0 leaves each its own.
    int32_t intKind = ValueKind::Unspecified;
    // With intKind 0: an Int whose kind the binary format cannot carry (0
    // after a reader that records none) becomes Int64, which holds any value.
    bool unknownKindsBecomeInt64 = false;
    // Each non-empty list's prototype becomes a copy of its first item as
    // prepared, so a record with more items repeats the first item's shape.
    bool repeatFirstItems = false;
    // Each map's fields in byte-wise order of their keys: the order of a
    // record whose source (a Lua table) keeps none.
    bool sortKeys = false;
    // Option bits cleared, then set, on every node.
    uint32_t clearOptions = 0;
    uint32_t setOptions = 0;
};

// Prepares every node of root, children before their parent. Walks a work
// list, so no depth exhausts the stack. Returns how many Ints their kind, as
// prepared, cannot carry through a binary record unchanged (FitsKind).
// Throws std::bad_alloc; a map being sorted then keeps its old order.
uint32_t PrepareForWrite(DataNode& root, const WritePreparation& how);

// Whether a binary record written with kind reads back as value. The 64-bit
// kinds carry every value: the tree keeps integers as signed 64 bits, and a
// uint64 above the signed maximum is held, and shown, as a negative number.
// Any kind that names no narrower width counts as carrying every value.
bool FitsKind(int64_t value, int32_t kind) noexcept;

// The first Int, in the order the writers take them, whose value its kind
// cannot carry, or null. path names it as a JSON pointer ("/rows/0/v", empty
// for the root), with control bytes in keys spelled \xNN.
const DataNode* FindMisfit(const DataNode& root, std::string& path);

}  // namespace zk
