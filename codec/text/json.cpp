#include "codec/text/json.h"

#include "codec/limits.h"
#include "value/child_collector.h"
#include "zk_data/codec/error_codes.h"

namespace zk {
namespace {

constexpr int kEnd = InputStream::kEnd;

// Throughout, depth counts the containers around the value at hand; a
// container is refused when it would be the (kMaxDepth + 1)-th level.

// --- writer ------------------------------------------------------------------

uint32_t WriteContainer(OutputStream& out, const DataNode& node, uint32_t depth);

// Strings and integers, most of the nodes, are written in their container's
// loop; only a container costs a call. The stream is looked at once per
// finished value: a failed append only sets its state, later appends are
// ignored.
inline uint32_t WriteValue(OutputStream& out, const DataNode& node, uint32_t depth) {
    switch (node.type()) {
    case NodeType::Str:
        if (!HasNoQuote(node.str())) return err::JsonSeparator;
        out.put('"');
        out.write(node.str().view());
        out.put('"');
        break;
    case NodeType::Int:
        out.writeInt64(node.num());
        break;
    default:
        if (uint32_t code = WriteContainer(out, node, depth)) return code;
        break;
    }
    return out.failed() ? err::StreamFailure : err::Ok;
}

uint32_t WriteList(OutputStream& out, const ListValue& list, uint32_t depth) {
    out.put('[');
    for (uint32_t i = 0; i < list.size(); ++i) {
        if (i) out.put(',');
        if (uint32_t code = WriteValue(out, *list[i], depth)) return code;
    }
    out.put(']');
    return err::Ok;
}

uint32_t WriteMap(OutputStream& out, const MapValue& map, uint32_t depth) {
    out.put('{');
    for (uint32_t i = 0; i < map.size(); ++i) {
        const MapValue::Entry& member = map.entry(i);
        if (i) out.put(',');
        // The reader takes only non-empty keys.
        if (member.key.empty()) return err::Unsupported;
        if (!HasNoQuote(member.key)) return err::JsonSeparator;
        out.put('"');
        out.writeShort(member.key.view());
        out.write("\":", 2);
        if (uint32_t code = WriteValue(out, *member.child, depth)) return code;
    }
    out.put('}');
    return err::Ok;
}

// A list or a map, or a node JSON cannot hold.
uint32_t WriteContainer(OutputStream& out, const DataNode& node, uint32_t depth) {
    switch (node.type()) {
    case NodeType::List:
        if (depth >= kMaxDepth) return err::Unsupported;
        return WriteList(out, node.list(), depth + 1);
    case NodeType::Map:
        if (depth >= kMaxDepth) return err::Unsupported;
        return WriteMap(out, node.map(), depth + 1);
    default:
        return err::Unsupported;
    }
}

// --- reader ------------------------------------------------------------------

// c, or the first byte after it that is not white space; kEnd at the end.
inline int SkipSpace(InputStream& in, int c) {
    while (c != kEnd && IsJsonSpace(static_cast<unsigned char>(c))) c = in.get();
    return c;
}

inline int NextToken(InputStream& in) { return SkipSpace(in, in.get()); }

// The bytes up to the next double quote, which is consumed as well. Scanning
// the caller's memory and taking the run in one read yields the same bytes
// and the same end state as taking them one by one: without a closing quote
// everything is consumed and the stream fails at the end.
bool ReadStringBody(InputStream& in, std::string_view& bytes) {
    size_t left = in.remaining();
    const void* quote = left ? std::memchr(in.current(), '"', left) : nullptr;
    if (!quote) {
        in.readView(left + 1);
        return false;
    }
    bytes = in.readView(static_cast<size_t>(static_cast<const unsigned char*>(quote) - in.current()) + 1);
    bytes.remove_suffix(1);
    return true;
}

// true or false after its first byte, a lower-case t or f. Reading the rest
// without pushing the first byte back ends in the same place and state.
uint32_t ReadWord(InputStream& in, DataNode& node, int first) {
    std::string_view rest = first == 't' ? "rue" : "alse";
    std::string_view got = in.readView(rest.size());
    if (got.size() < rest.size()) return err::StreamFailure;
    // The letters are all lower case, so setting the case bit matches each
    // one in either case and no other byte.
    for (size_t i = 0; i < rest.size(); ++i)
        if ((static_cast<unsigned char>(got[i]) | 0x20) != static_cast<unsigned char>(rest[i])) return err::TextSyntax;
    node.setInt(first == 't' ? 1 : 0, ValueKind::NativeInt);
    return err::Ok;
}

// The first byte (a minus or a digit) goes back for the stream's extraction,
// which stops before the first byte that cannot belong to the number. A
// failed number leaves Int 0.
uint32_t ReadNumber(InputStream& in, DataNode& node) {
    in.unget();
    node.setInt(0, ValueKind::Int64);
    int64_t value;
    if (!in.extractInt64(value)) return err::StreamFailure;
    node.setInt(value, ValueKind::Int64);
    return err::Ok;
}

// One reading. Children are read into fresh nodes held by the collector and
// handed to their container when it closes, whether it closes well or not:
// a list keeps the item that failed, a map drops the member that failed.
// Keys stay views of the input until then.
class JsonReader {
public:
    explicit JsonReader(InputStream& in) : in_(in) {}

    // node is fresh (None); first is its first byte, white space skipped.
    uint32_t value(DataNode& node, int first, uint32_t depth) {
        switch (first) {
        case '"': {
            std::string_view bytes;
            if (!ReadStringBody(in_, bytes)) return err::StreamFailure;
            node.setStr(bytes, ValueKind::Binary);
            return err::Ok;
        }
        case 't':
        case 'f':
            return ReadWord(in_, node, first);
        case '[':
            if (depth >= kMaxDepth) return err::TextSyntax;
            return children_.read(node.asList(), depth, [this](uint32_t d) { return items(d); });
        case '{':
            if (depth >= kMaxDepth) return err::TextSyntax;
            return children_.read(node.asMap(), depth, [this](uint32_t d) { return members(d); });
        case kEnd:
            return err::StreamFailure;
        default:
            if (first == '-' || (first >= '0' && first <= '9')) return ReadNumber(in_, node);
            return err::TextSyntax;
        }
    }

private:
    uint32_t items(uint32_t depth) {
        for (;;) {
            // The byte right after [ or a comma is looked at before any white
            // space is skipped: [1,] is a list, [ ] is not.
            int c = in_.get();
            if (c == ']') return err::Ok;
            if (c == kEnd) return err::StreamFailure;
            if (uint32_t code = value(children_.add(), SkipSpace(in_, c), depth)) return code;
            c = NextToken(in_);
            if (c == ']') return err::Ok;
            if (c != ',') return c == kEnd ? err::StreamFailure : err::JsonSeparator;
        }
    }

    uint32_t members(uint32_t depth) {
        for (;;) {
            int c = in_.get();  // as in items(): {"a":1,} is a map, { } is not
            if (c == '}') return err::Ok;
            if (c == kEnd) return err::StreamFailure;
            std::string_view key;
            if (uint32_t code = this->key(SkipSpace(in_, c), key, depth)) return code;
            c = NextToken(in_);
            if (c != ':') return c == kEnd ? err::StreamFailure : err::JsonSeparator;
            if (uint32_t code = value(children_.add(key), NextToken(in_), depth)) {
                children_.dropLast();
                return code;
            }
            c = NextToken(in_);
            if (c == '}') return err::Ok;
            if (c != ',') return c == kEnd ? err::StreamFailure : err::JsonSeparator;
        }
    }

    // Keys are taken in place from the input; only a non-empty string will do.
    uint32_t key(int first, std::string_view& key, uint32_t depth) {
        if (first != '"') return rejectKey(first, depth);
        if (!ReadStringBody(in_, key)) return err::StreamFailure;
        return key.empty() ? err::TextSyntax : err::Ok;
    }

    // A key that is not a string is still read in full as a value, so it
    // fails with the value reader's own code when it is malformed. Kept apart
    // so the temporary node does not weigh on every level of the recursion.
    [[gnu::noinline]] uint32_t rejectKey(int first, uint32_t depth) {
        DataNode key;
        uint32_t code = value(key, first, depth);
        return code ? code : err::TextSyntax;
    }

    InputStream& in_;
    ChildCollector children_;
};

}  // namespace

uint32_t WriteJson(OutputStream& out, const DataNode& node) { return WriteValue(out, node, 0); }

uint32_t ReadJson(InputStream& in, DataNode& node) {
    // Only the target needs emptying: every node below it is created fresh.
    node.reset();
    JsonReader reader(in);
    return reader.value(node, NextToken(in), 0);
}

}  // namespace zk
