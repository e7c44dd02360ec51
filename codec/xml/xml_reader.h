// XML reader (format 1) on expat.
//
// ReadXml resets the target and parses the stream from its start in chunks.
// It reads the typed layout of WriteXml, or, when the target has
// OptionFlags::XmlFreeForm, any document in the free-form layout: element
// names become map keys, attributes of "name" a map under "name@", repeated
// elements a list of one-entry maps, and leaves strings (Binary for CDATA
// content and attribute values, Text otherwise).
//
// The parser is stopped at the end of the root element: trailing bytes are
// never parsed, and the stream is left just after the root's end tag (at its
// start when the document did not complete), which is the count of bytes
// consumed. On failure the target keeps what was built so far.
//
// Hostile input: expat limits entity expansion (billion laughs) by itself;
// this reader bounds the tree depth at kMaxDepth and, on expat releases that
// expand nested entities recursively, the number of entity declarations
// (both fail with err::XmlParse). See docs/xml.md.
#pragma once

#include <cstdint>

#include "zk_data/codec/input_stream.h"
#include "zk_data/value/data_node.h"

namespace zk {

uint32_t ReadXml(InputStream& in, DataNode& node);

}  // namespace zk
