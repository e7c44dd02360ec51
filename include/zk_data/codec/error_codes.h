// The library's error codes: 0 for success, 2010xxxx for interface-level
// conditions, 2500xxxx for codec failures. Hosts read them from the thread's
// last-error slot after a failed serialization or Lua call.
#pragma once

#include <cstdint>

namespace zk {

namespace err {
constexpr uint32_t Ok = 0;
constexpr uint32_t BadArgument = 20100001;        // unknown format, null pointer, failed stream, bad option mix
constexpr uint32_t BufferTooSmall = 20100006;     // the size needed was stored in the caller's size
constexpr uint32_t JsonSeparator = 20100007;      // JSON: quote in a written string, bad separator read
constexpr uint32_t XmlNoOpenNode = 20100008;      // XML reader: element event with no open node
constexpr uint32_t OutOfMemory = 20100009;        // memory ran out (first: the host byte array for output)
constexpr uint32_t LuaMixedKeys = 20101003;       // Lua table keys of mixed or unsupported types
constexpr uint32_t Unsupported = 25000001;        // node type or kind the codec cannot handle
constexpr uint32_t EmptyMap = 25000002;           // binary: map without keys, or empty map body
constexpr uint32_t MissingEntry = 25000003;       // reserved: a map holds each key with its child, so none is returned
constexpr uint32_t LimitExceeded = 25000004;      // binary: length or count above its limit
constexpr uint32_t StreamFailure = 25000005;      // output went bad, or input ended too early
constexpr uint32_t NoData = 25000006;             // binary: no byte at all for a number
constexpr uint32_t BadListItem = 25000007;        // list element failed; Lua keys not 1, 2, 3...
constexpr uint32_t XmlParse = 25000008;           // XML parser reported an error
constexpr uint32_t XmlEncoding = 25000009;        // unsupported encoding in the XML declaration
constexpr uint32_t XmlItemNotInMap = 25000010;    // item element with a key under a non-map
constexpr uint32_t XmlItemWithoutKey = 25000011;  // item element without a key
constexpr uint32_t XmlUnknownElement = 25000012;  // element of unknown name
constexpr uint32_t BencodeSyntax = 25000017;      // bencode syntax error
constexpr uint32_t BadHexString = 25000020;       // binary: hexadecimal string does not decode
constexpr uint32_t TextSyntax = 25000021;         // syntax error in JSON, HTTP message or INI
constexpr uint32_t XmlManyRoots = 25000022;       // free-form XML root map with several elements
}  // namespace err

// A short English description of code, for tools and error reports; unknown
// codes get "unknown error code".
const char* ErrorMessage(uint32_t code) noexcept;

}  // namespace zk
