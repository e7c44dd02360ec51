// INI codec (format 5): a two-level tree of sections and key=value lines.
//
// The root is a Map of sections, each section a Map of values (Str or Int on
// writing, Str of kind Binary on reading). Both levels keep insertion order.
// The text is bytes: no quoting, escaping or trimming. Lines are written with
// CR LF; the reader takes LF or CR LF and drops every CR.
//
// What the writer reports as written, the reader takes back. It refuses with
// err::Unsupported a CR or LF anywhere; an empty section name or one holding
// ']'; an empty key, one holding '=' or starting with '#' or '['. A value holding '#'
// gets one more '#' at its end, the empty comment the reader cuts off. An
// empty root writes nothing, which reads back as None.
//
//   [section]        opens a section (bytes after ']' are ignored); a section
//                    met again gains keys in its old place
//   key=value#note   the value stops before its last '#'
//   #comment         ignored, as is any line without '='
#pragma once

#include <cstdint>

#include "zk_data/codec/input_stream.h"
#include "zk_data/codec/output_stream.h"
#include "zk_data/value/data_node.h"

namespace zk {

// Writes every section, each closed by an empty line. Returns 0 or an error
// code; on failure what was written stays in out.
uint32_t WriteIni(OutputStream& out, const DataNode& node);

// Resets node and reads all the rest of the input into it, so a successful
// read always leaves the stream at its end (the caller learns no position).
// Empty input leaves node None. On failure node keeps what was built so far.
uint32_t ReadIni(InputStream& in, DataNode& node);

}  // namespace zk
