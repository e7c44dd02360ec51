// Settings that the text formats cannot carry, laid over a whole tree: the
// integer widths a binary record needs, the item shape of growing lists, and
// the dump's per-node option bits.
#pragma once

#include <cstdint>

#include "value/data_node.h"

namespace zk {

// Gives every Int node the kind; returns how many values lie outside its range
// (the binary writer keeps only their low bits).
uint32_t SetIntKinds(DataNode& root, int32_t kind);
// Makes each non-empty list's prototype a copy of its first item, so that a
// record with more items than the template repeats the first item's shape.
void RepeatFirstItems(DataNode& root);
void SetOptionsEverywhere(DataNode& root, uint32_t bits);

bool FitsKind(int64_t value, int32_t kind);

}  // namespace zk
