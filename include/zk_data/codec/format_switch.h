// The format switch: sends a node to the writer or reader of its format, and
// moves bytes between the codecs' streams and caller memory.
//
// Caller-buffer contract:
//  - writeToBuffer produces the whole output first. When size is smaller than
//    the output it stores the size needed and returns BufferTooSmall, copying
//    nothing; otherwise it copies the bytes (no terminator) and stores their
//    count. A failing writer leaves size as it was.
//  - readFromBuffer parses from size bytes at buf and stores the count the
//    reader consumed, or InputStream::kNoPosition when the reader ended at the
//    end of the data, or 0 on failure.
#pragma once

#include <cstdint>

#include "zk_data/codec/input_stream.h"
#include "zk_data/codec/output_stream.h"
#include "zk_data/value/data_node.h"

namespace zk {

using WriterFn = uint32_t (*)(OutputStream& out, const DataNode& node);
using ReaderFn = uint32_t (*)(InputStream& in, DataNode& node);

// The writer and reader of a format; null where the format has none.
struct Codec {
    WriterFn write;
    ReaderFn read;
};
Codec CodecFor(uint8_t format) noexcept;

// Appends node in its format to out. Returns the writer's code, or
// StreamFailure when the writer returned 0 but out is failed (output past
// 4 GiB - 1, or a stream that was failed before), so that 0 always means the
// whole output is in out; BadArgument for a format with no writer.
uint32_t writeNode(const DataNode& node, OutputStream& out);
uint32_t readNode(DataNode& node, InputStream& in);
uint32_t writeToBuffer(const DataNode& node, void* buf, uint32_t& size);
uint32_t readFromBuffer(DataNode& node, const void* buf, uint32_t& size);

}  // namespace zk
