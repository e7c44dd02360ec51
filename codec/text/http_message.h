// HTTP/1.x message codec (format 4): a start line, header lines and a body.
//
// The tree is a Map with up to four keys, all optional on writing:
//   "Request-Line"  Map of "Method", "Request-URI", "HTTP-Version", or Str
//   "Status-Line"   Map of "HTTP-Version", "Status-Code", "Reason-Phrase", or Str
//   "Header"        Map from header name to value (Str or Int), or Str
//   "Body"          Str
// A Str in place of a start line or header block is raw text, written as is
// with its own line ends; a Str root is the whole message, written as is.
// Missing or empty start-line fields take the defaults of "GET / HTTP/1.1"
// and "HTTP/1.1 200 OK". Header names keep their case and order; no header
// but Content-Length changes what is read or written, and the writer never
// computes one. OptionFlags::HttpNoBody on the root leaves the body out in
// both directions. Lines end with CR LF.
//
// What the writer reports as written, the reader takes back: a start-line
// field or header that would read back otherwise (a line break, CR or zero
// byte; a space in the first two start-line fields; a first word that would
// turn a request into a response or back; a colon in a header name; a space
// that starts a header value; a line longer than the reader takes), and a
// body whose length Content-Length does not announce, are refused with
// err::BadArgument. Raw text is the caller's and is not looked into.
#pragma once

#include <cstdint>
#include <string_view>

#include "zk_data/codec/input_stream.h"
#include "zk_data/codec/output_stream.h"
#include "zk_data/value/data_node.h"

namespace zk {

// Longest line the reader takes, its LF excluded.
constexpr size_t kMaxHttpLine = 1023;

// Writes the message. Returns 0 or an error code; on failure what was written
// stays in out.
uint32_t WriteHttpMessage(OutputStream& out, const DataNode& node);

// Resets node and reads one message head, then the body that Content-Length
// announces, from the stream's position. Bytes after it stay unread and the
// stream stays good, so the caller learns where the message ended. Every
// string read is of kind Binary except the body (Unspecified); no Int is
// made. On failure node keeps what was built so far.
uint32_t ReadHttpMessage(InputStream& in, DataNode& node);

// s without its leading spaces (0x20 only: a TAB stays). A view into s rather
// than a new string: the reader stores the result straight into the tree, and
// a copy here would be a second one.
constexpr std::string_view TrimLeadingSpaces(std::string_view s) noexcept {
    size_t i = 0;
    while (i < s.size() && s[i] == ' ') ++i;
    return s.substr(i);
}

}  // namespace zk
