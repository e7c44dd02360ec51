#include "zk_data/codec/format_switch.h"

#include <cstring>

#include "codec/binary.h"
#include "codec/text/bencode.h"
#include "codec/text/debug_dump.h"
#include "codec/text/http_message.h"
#include "codec/text/ini.h"
#include "codec/text/json.h"
#include "codec/xml/xml_reader.h"
#include "codec/xml/xml_writer.h"
#include "zk_data/codec/error_codes.h"

namespace zk {

Codec CodecFor(uint8_t format) noexcept {
    switch (format) {
    case FormatId::Binary: return {WriteBinary, ReadBinary};
    case FormatId::Xml: return {WriteXml, ReadXml};
    case FormatId::Bencode: return {WriteBencode, ReadBencode};
    case FormatId::Json: return {WriteJson, ReadJson};
    case FormatId::Http: return {WriteHttpMessage, ReadHttpMessage};
    case FormatId::Ini: return {WriteIni, ReadIni};
    case FormatId::DebugDump: return {WriteDebugDump, nullptr};
    default: return {nullptr, nullptr};
    }
}

uint32_t writeNode(const DataNode& node, OutputStream& out) {
    WriterFn write = CodecFor(node.format()).write;
    if (!write) return err::BadArgument;
    uint32_t code = write(out, node);
    return code == err::Ok && out.failed() ? err::StreamFailure : code;
}

// Every reader but the binary one rebuilds its node from nothing. It builds
// into a fresh node that takes over once the reader returns, success or not,
// so the old tree lives until then: a failed allocation leaves the node as it
// was, and input that lies inside the old tree stays readable.
uint32_t readNode(DataNode& node, InputStream& in) {
    ReaderFn read = CodecFor(node.format()).read;
    if (!read) return err::BadArgument;
    if (node.format() == FormatId::Binary || in.failed()) return read(in, node);
    DataNode fresh;
    fresh.setFormat(node.format());
    fresh.setOption(node.options(), true);
    uint32_t code = read(in, fresh);
    node.replaceWith(fresh);
    return code;
}

uint32_t writeToBuffer(const DataNode& node, void* buf, uint32_t& size) {
    OutputStream out;
    if (uint32_t code = writeNode(node, out)) return code;
    uint32_t n = static_cast<uint32_t>(out.size());
    if (size < n) {
        size = n;
        return err::BufferTooSmall;
    }
    if (n && !buf) return err::BadArgument;  // room claimed, but nowhere to put it
    if (n) std::memcpy(buf, out.data(), n);
    size = n;
    return err::Ok;
}

uint32_t readFromBuffer(DataNode& node, const void* buf, uint32_t& size) {
    if (!buf && size) {
        size = 0;
        return err::BadArgument;
    }
    InputStream in(buf, size);
    uint32_t code = readNode(node, in);
    size = code ? 0 : in.tell();
    return code;
}

}  // namespace zk
