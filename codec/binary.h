// The binary record format (format 0): a schema-driven layout that carries
// values only. The DataNode tree is the schema: the writer emits its values,
// the reader is handed a tree of the same shape (a template) and fills it in
// place, so a template is reused record after record without allocating.
//
// On the wire, by node type (lengths and counts are unsigned 32-bit):
//   Str   length n, then n bytes (OptionFlags::HexString: the node holds hex
//         text and the wire carries the bytes it spells)
//   Int   1, 2, 4 or 8 bytes by kind (1/2, 3/4, 5..8, 9/10)
//   List  item count, then the items
//   Map   body length, then the children in insertion order; with
//         OptionFlags::MapUnframed the children alone
// OptionFlags::BigEndian on the root selects big-endian for the whole record.
//
// The reader refuses string and map body lengths above 10 MiB and list
// counts above 1 Mi before allocating anything; the writer enforces neither.
// A record may end before its template does: a map field that finds no byte
// at all ends the map successfully: that field and the later ones keep their
// template values and kinds (an Int read on its own that meets the end is
// still set to 0).
//
// Both walk at most kMaxDepth levels, the root being level 1; a node deeper
// than that is refused with err::Unsupported (in a list: err::BadListItem),
// so hosts' million-level trees fail cleanly instead of exhausting the stack.
// 1000 levels take about 120 KiB of stack, about 310 KiB under AddressSanitizer.
#pragma once

#include <cstdint>

#include "codec/hex.h"
#include "zk_data/codec/input_stream.h"
#include "zk_data/codec/output_stream.h"
#include "zk_data/value/data_node.h"

namespace zk {

constexpr uint32_t kMaxBinaryStringLength = 0xA00000;  // also a map body's length
constexpr uint32_t kMaxBinaryListCount = 0x100000;

// Writes node as the root of a record. Returns 0 or an err:: code; on failure
// what was written stays in out.
uint32_t WriteBinary(OutputStream& out, const DataNode& node);

// Reads one record into the template node. Returns 0 or an err:: code; on
// failure the template keeps the values read so far.
uint32_t ReadBinary(InputStream& in, DataNode& node);

// Bytes the node occupies on the wire when it writes successfully. Works on
// trees of any depth (it keeps its own work list); sums wrap at 2^32.
uint32_t EncodedSize(const DataNode& node);

}  // namespace zk
