#include "zk_data/codec/error_codes.h"

namespace zk {

const char* ErrorMessage(uint32_t code) noexcept {
    switch (code) {
    case err::Ok: return "success";
    case err::BadArgument: return "bad argument or unusable stream";
    case err::BufferTooSmall: return "caller buffer too small";
    case err::JsonSeparator: return "JSON: double quote in a string, or unexpected separator";
    case err::XmlNoOpenNode: return "XML: element event with no open node";
    case err::OutOfMemory: return "out of memory creating the output byte array";
    case err::LuaMixedKeys: return "Lua table with keys of mixed or unsupported types";
    case err::Unsupported: return "node of a type or kind the format cannot handle";
    case err::EmptyMap: return "binary: map without keys or empty map body";
    case err::MissingEntry: return "map key without an entry";
    case err::LimitExceeded: return "binary: length or count above its limit";
    case err::StreamFailure: return "stream failure: output went bad or input ended early";
    case err::NoData: return "binary: no data for a number, length or count";
    case err::BadListItem: return "list element failed to read, or Lua keys not 1, 2, 3...";
    case err::XmlParse: return "XML: parser error";
    case err::XmlEncoding: return "XML: unsupported encoding";
    case err::XmlItemNotInMap: return "XML: item element under a node that is not a map";
    case err::XmlItemWithoutKey: return "XML: item element without a key";
    case err::XmlUnknownElement: return "XML: element of unknown name";
    case err::BencodeSyntax: return "bencode syntax error";
    case err::BadHexString: return "binary: string flagged as hexadecimal does not decode";
    case err::TextSyntax: return "syntax error in JSON, HTTP message or INI input";
    case err::XmlManyRoots: return "XML: free-form root map with more than one element";
    default: return "unknown error code";
    }
}

}  // namespace zk
