// ShapeMemory: array sizes for the containers a reader makes, guessed from
// the containers it made before.
//
// A container's array is best made when the container opens, before any of
// its children's arrays and strings, so that the tree lies in memory in the
// order every writer and walk visits it: made later (when the container
// closes, or when it outgrows a first small array), each array sits after
// everything below it, and writing a large tree read that way took half
// again as long. The size is a guess: the size of the last container of the
// same type closed at the same depth. Documents repeat their shapes (a list
// of records), so the guess is mostly exact; at the close, the array is
// fitted to its size either way.
//
// Like ChildCollector, it lives in value/, as a friend of the containers, rather than beside the
// readers in codec/: it sizes, fills and fits a container's array in place,
// which the containers' own interface deliberately does not offer, because a
// caller holding such an array could break what every container promises
// (handles that are never null, a map index that matches its entries, the
// strong guarantee on allocation failure). Keeping the helper next to the
// containers keeps those promises in one layer, with their tests.
#pragma once

#include <cstdint>
#include <vector>

#include "zk_data/value/data_node.h"

namespace zk {

class ShapeMemory {
public:
    // A container at depth (the containers around it) opens: makes its array
    // at the guessed size unless it already has that room.
    void open(ListValue& list, uint32_t depth);
    void open(MapValue& map, uint32_t depth);
    // The container closes: fits its array to its size and remembers it.
    void close(ListValue& list, uint32_t depth);
    void close(MapValue& map, uint32_t depth);

    // Makes the array hold exactly n elements (none: freed); n is at least
    // the size.
    static void fit(ListValue& list, uint32_t n);
    static void fit(MapValue& map, uint32_t n);

private:
    uint32_t& lastSize(uint32_t depth, bool map);

    std::vector<uint32_t> lastSizes_;  // by depth, list then map
};

}  // namespace zk
