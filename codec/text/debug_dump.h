// Debug dump (format 255, write only): an indented listing of a tree for logs.
//
// Each node gives one value text ended by CR LF: a Str as its bytes (longer
// than kDumpMaxString bytes only as "...[size=n]"), an Int in decimal, a List
// or Map as "list size(n):" or "map size(n):" followed by one entry line per
// child. An entry of a container at level L is 4 * L spaces, the index or key,
// ":" and the child's value text at level L + 1, so the root's own children
// are not indented.
//
// A Str that is not all printable ASCII is shown as GBK when it is of kind
// Text, else as "[hex]" and lower-case digits; OptionFlags::DumpRawString
// shows any short Str as its bytes. OptionFlags::DumpDottedQuad shows a
// 32-bit Int as an IPv4 address, least significant byte first.
#pragma once

#include <cstddef>
#include <cstdint>

#include "zk_data/codec/output_stream.h"
#include "zk_data/value/data_node.h"

namespace zk {

// Longest string whose bytes are shown.
constexpr size_t kDumpMaxString = 1024;

// Dumps node at level 0. Returns 0 or an error code; on failure what was
// written stays in out.
uint32_t WriteDebugDump(OutputStream& out, const DataNode& node);

// Dumps node and its subtree, its entries indented for the given level. A
// container at level kMaxDepth or deeper is refused with err::Unsupported, so
// the recursion stays bounded whatever the tree.
uint32_t DumpNode(OutputStream& out, const DataNode& node, uint32_t level);

}  // namespace zk
