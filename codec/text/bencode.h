// Bencode codec (format 2): length-prefixed byte strings, i...e integers,
// l...e lists and d...e dictionaries.
//
// Two traits of this system's bencode: dictionary keys are written in the
// map's insertion order, not sorted, and read in any order; and the reader
// skips white space (C's six bytes) before every token and number and takes
// signs and leading zeros in integers.
#pragma once

#include <cstdint>

#include "zk_data/codec/input_stream.h"
#include "zk_data/codec/output_stream.h"
#include "zk_data/value/data_node.h"

namespace zk {

// Writes node and its subtree. Returns 0 or an error code; on failure what
// was written stays in out.
uint32_t WriteBencode(OutputStream& out, const DataNode& node);

// Resets node, then reads one value from the stream's position into it;
// bytes after the value stay unread. On failure node keeps what was built.
uint32_t ReadBencode(InputStream& in, DataNode& node);

}  // namespace zk
