// Settings that the text formats cannot carry, laid over a whole tree: the
// integer widths a binary record needs, the item shape of growing lists, and
// the dump's per-node option bits.
#pragma once

#include <cstdint>
#include <string>

#include "zk_data/value/data_node.h"

namespace zk {

// Gives every Int node the kind; with kind 0, each keeps its own, and one the
// binary format cannot carry (0 after a reader that records none) becomes
// Int64, which holds any value. Returns how many values their new kind cannot
// carry through a binary record unchanged.
uint32_t SetIntKinds(DataNode& root, int32_t kind);
// Makes each non-empty list's prototype a copy of its first item, so that a
// record with more items than the template repeats the first item's shape.
void RepeatFirstItems(DataNode& root);
void SetOptionsEverywhere(DataNode& root, uint32_t bits);

// Whether a binary record written with kind reads back as value. The 64-bit
// kinds carry every value: the tree keeps integers as signed 64 bits, and a
// uint64 above the signed maximum is held, and shown, as a negative number.
bool FitsKind(int64_t value, int32_t kind);
// The first Int, in the order the writers take them, whose value its kind
// cannot carry, or null. path names it as a JSON pointer ("/rows/0/v", empty
// for the root).
const DataNode* FindMisfit(const DataNode& root, std::string& path);

}  // namespace zk
