// The documents the sweep works on: small, so that a run is quick even though
// there is one per allocation, yet with what makes allocations interesting:
// a map of 18 keys (its index is made at the 9th and grows at the 17th),
// strings longer than the 23 bytes kept inline, and lists and maps nested.
#pragma once

#include <string>

#include "zk_data/value/data_node.h"

namespace zk::alloc {

// A tree every writer but HTTP and INI takes, binary included (every Int has
// a width): a map holding title, count, big, items (a list of maps), matrix
// (a list of lists), fields (a map of 18 keys) and empty.
void Document(DataNode& root);
// The same shape with other values, and four items instead of three: a
// record to read into a Document used as binary template.
void OtherDocument(DataNode& root);
// A map of exactly 8 keys: one more makes its index.
void EightKeys(DataNode& root);
// Two sections, one of 18 keys.
void IniDocument(DataNode& root);
// A request with 18 header lines and a body of 40 bytes.
void HttpDocument(DataNode& root);
// An ordinary XML document for the free-form layout: attributes, repeated
// elements, an element of 18 children, long text, CDATA.
std::string FreeFormXml();

}  // namespace zk::alloc
