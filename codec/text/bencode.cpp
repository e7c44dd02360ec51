#include "codec/text/bencode.h"

#include "codec/limits.h"
#include "value/child_collector.h"
#include "zk_data/codec/error_codes.h"

namespace zk {
namespace {

constexpr int kEnd = InputStream::kEnd;

// Throughout, depth counts the containers around the value at hand; a
// container is refused when it would be the (kMaxDepth + 1)-th level.

// --- writer ------------------------------------------------------------------

void WriteBytes(OutputStream& out, std::string_view bytes) {
    out.writeUInt64(bytes.size());
    out.put(':');
    out.write(bytes);
}

uint32_t WriteValue(OutputStream& out, const DataNode& node, uint32_t depth);

uint32_t WriteList(OutputStream& out, const ListValue& list, uint32_t depth) {
    out.put('l');
    for (const NodeRef& item : list)
        if (uint32_t code = WriteValue(out, *item, depth)) return code;
    out.put('e');
    return err::Ok;
}

uint32_t WriteDict(OutputStream& out, const MapValue& map, uint32_t depth) {
    out.put('d');
    // Entries are walked in insertion order, unsorted.
    for (const MapValue::Entry& member : map) {
        WriteBytes(out, member.key.view());
        if (uint32_t code = WriteValue(out, *member.child, depth)) return code;
    }
    out.put('e');
    return err::Ok;
}

uint32_t WriteValue(OutputStream& out, const DataNode& node, uint32_t depth) {
    uint32_t code = err::Ok;
    switch (node.type()) {
    case NodeType::Str:
        WriteBytes(out, node.str().view());
        break;
    case NodeType::Int:  // every kind is written as a signed 64-bit number
        out.put('i');
        out.writeInt64(node.num());
        out.put('e');
        break;
    case NodeType::List:
        if (depth >= kMaxDepth) return err::Unsupported;
        code = WriteList(out, node.list(), depth + 1);
        break;
    case NodeType::Map:
        if (depth >= kMaxDepth) return err::Unsupported;
        code = WriteDict(out, node.map(), depth + 1);
        break;
    default:
        return err::Unsupported;
    }
    if (code) return code;
    // Looked at once per finished value: a failed append only sets the
    // stream's state, later appends are ignored.
    return out.failed() ? err::StreamFailure : err::Ok;
}

// --- reader ------------------------------------------------------------------

// Tokens are read with the stream's formatted one-byte extraction, which
// skips white space first; it yields kEnd at the end of the input.

// A length, a colon, then exactly that many raw bytes, taken in place. The
// length is unsigned 32-bit, enough for any input a caller can pass. Nothing
// is allocated before all the bytes are known to be there, so a declared
// length far beyond the input costs nothing and fails like a short read.
uint32_t ReadBytes(InputStream& in, std::string_view& bytes) {
    int64_t length;
    if (!in.extractInteger(length, 0, UINT32_MAX)) return err::StreamFailure;
    int c = in.extractChar();
    if (c != ':') return c == kEnd ? err::StreamFailure : err::BencodeSyntax;
    bytes = in.readView(static_cast<size_t>(length));
    return bytes.size() == static_cast<size_t>(length) ? err::Ok : err::StreamFailure;
}

// i was taken; a failed integer leaves Int 0 of kind UInt64.
uint32_t ReadInteger(InputStream& in, DataNode& node) {
    node.setInt(0, ValueKind::UInt64);
    int64_t value;
    if (!in.extractInt64(value)) return err::StreamFailure;
    int c = in.extractChar();
    if (c != 'e') return c == kEnd ? err::StreamFailure : err::BencodeSyntax;
    node.setInt(value, ValueKind::Int64);
    return err::Ok;
}

// One reading. Children are read into fresh nodes held by the collector and
// handed to their container when it closes, whether it closes well or not:
// a list keeps the item that failed, a dictionary drops the pair that failed.
// Keys stay views of the input until then.
class BencodeReader {
public:
    explicit BencodeReader(InputStream& in) : in_(in) {}

    // node is fresh (None); first is its first token byte.
    uint32_t value(DataNode& node, int first, uint32_t depth) {
        switch (first) {
        case 'i':
            return ReadInteger(in_, node);
        case 'l':
            if (depth >= kMaxDepth) return err::BencodeSyntax;
            return children_.read(node.asList(), depth, [this](uint32_t d) { return items(d); });
        case 'd':
            if (depth >= kMaxDepth) return err::BencodeSyntax;
            return children_.read(node.asMap(), depth, [this](uint32_t d) { return pairs(d); });
        case kEnd:
            return err::StreamFailure;
        default: {
            if (first < '0' || first > '9') return err::BencodeSyntax;
            in_.unget();  // the digit starts the length
            std::string_view bytes;
            if (uint32_t code = ReadBytes(in_, bytes)) return code;
            node.setStr(bytes, ValueKind::Binary);
            return err::Ok;
        }
        }
    }

private:
    uint32_t items(uint32_t depth) {
        for (;;) {
            int c = in_.extractChar();
            if (c == 'e') return err::Ok;
            if (c == kEnd) return err::StreamFailure;  // before an item is added
            if (uint32_t code = value(children_.add(), c, depth)) return code;
        }
    }

    uint32_t pairs(uint32_t depth) {
        for (;;) {
            int c = in_.extractChar();
            if (c == 'e') return err::Ok;
            // The length extraction would take a sign, and -0 would pass as
            // 0: a key length with a minus sign is refused outright.
            if (c == kEnd || c == '-') return err::StreamFailure;
            in_.unget();
            std::string_view key;
            if (uint32_t code = ReadBytes(in_, key)) return code;
            if (uint32_t code = value(children_.add(key), in_.extractChar(), depth)) {
                children_.dropLast();
                return code;
            }
        }
    }

    InputStream& in_;
    ChildCollector children_;
};

}  // namespace

uint32_t WriteBencode(OutputStream& out, const DataNode& node) { return WriteValue(out, node, 0); }

uint32_t ReadBencode(InputStream& in, DataNode& node) {
    // Only the target needs emptying: every node below it is created fresh.
    node.reset();
    BencodeReader reader(in);
    return reader.value(node, in.extractChar(), 0);
}

}  // namespace zk
