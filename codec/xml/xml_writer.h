// XML writer (format 1), the format every new node has.
//
// Two layouts, chosen by the options of the node handed to WriteXml (the bits
// of nested nodes have no effect):
//  - typed (default): every node is a <zk_data type="str|int|list|map">
//    element and map entries are <item key="..."> elements, so ReadXml
//    rebuilds types, keys, order and string bytes;
//  - free-form (OptionFlags::XmlFreeForm): map keys are element names and the
//    map under "name@" holds the attributes of element "name", so an ordinary
//    document read in this layout is written back in its own shape. Only this
//    layout may declare and write GBK (OptionFlags::XmlGbk).
// Lines end in CR LF and levels indent by one TAB, both dropped under
// OptionFlags::XmlCompact. Output goes straight into the stream: the only
// copy ever made is the GBK form of one free-form value.
//
// A write that succeeds reads back with ReadXml into an equal tree, up to
// what the layout defines (integers come back as UInt64, and in the
// free-form layout as strings; free-form shapes, see docs/xml.md). What XML
// cannot carry either takes another form that reads back the same (base64,
// character references for CR, TAB and LF, text in place of CDATA) or fails
// the write with err::Unsupported.
#pragma once

#include <cstdint>

#include "zk_data/codec/output_stream.h"
#include "zk_data/text/byte_string.h"
#include "zk_data/value/data_node.h"

namespace zk {

// Writes the declaration and the root element. err::BadArgument when out has
// already failed or XmlGbk comes without XmlFreeForm (nothing written then);
// else the code of WriteXmlNode. On failure what was written stays in out.
uint32_t WriteXml(OutputStream& out, const DataNode& node);

// Writes node and its subtree at nesting level level (0 for the root).
// err::Unsupported for a None node, for a free-form Str or Int where elements
// are expected, for a tree nested deeper than kMaxDepth, and for free-form
// names and values XML cannot carry or a free-form root with no element;
// err::XmlManyRoots for a second free-form element at level 0;
// err::StreamFailure when out fails.
uint32_t WriteXmlNode(OutputStream& out, const DataNode& node, int level, bool compact, bool freeForm, bool gbk);

// Writes the entries of a free-form attribute map as ` name="value"`. Values
// must be Str or Int, names XML names, string values XML text, and
// attributes must be a Map (err::Unsupported otherwise).
uint32_t WriteXmlAttributes(OutputStream& out, const DataNode& attributes, bool gbk);

// Typed-layout text: replaces s by its escaped form, or by its base64 form
// when asText is false and s holds a byte below 0x20 or from 0x80 up, or when
// asText is true and XML cannot carry s as text (a control byte other than
// TAB, LF and CR, ill-formed UTF-8, U+FFFE, U+FFFF). CR is escaped as &#13;.
void EscapeXmlText(bool asText, ByteString& s, bool& usedBase64);

// Free-form element text: value (zero-terminated), converted from UTF-8 to
// GBK when gbk is set, then escaped; empty when the writer would refuse it
// (a non-empty value that it accepts never escapes to nothing).
ByteString EscapeXmlValue(const char* value, bool gbk);

}  // namespace zk
