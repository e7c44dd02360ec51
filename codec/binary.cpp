#include "codec/binary.h"

#include <bit>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <utility>
#include <vector>

#include "codec/limits.h"
#include "zk_data/codec/error_codes.h"

namespace zk {
namespace {

// Wire width of an Int by kind; 0 for kinds the format cannot carry.
inline uint32_t IntWidth(int32_t kind) noexcept {
    static constexpr uint8_t kWidth[11] = {0, 1, 1, 2, 2, 4, 4, 4, 4, 8, 8};
    return ValueKind::isIntKind(kind) ? kWidth[kind] : 0;
}

// Wire bytes of the node itself, its children left out. Sums wrap at 2^32,
// as the body lengths do on the wire; an output that large fails anyway.
inline uint32_t OwnSize(const DataNode& n) noexcept {
    switch (n.type()) {
    case NodeType::Str: {
        size_t len = n.str().size();
        return 4 + static_cast<uint32_t>(n.hasOption(OptionFlags::HexString) ? len / 2 : len);
    }
    case NodeType::Int: return IntWidth(n.kind());
    case NodeType::List: return 4;
    case NodeType::Map: return n.hasOption(OptionFlags::MapUnframed) ? 0 : 4;
    default: return 0;
    }
}

inline bool HasChildren(const DataNode& n) noexcept {
    return (n.isList() && n.list().size()) || (n.isMap() && n.map().size());
}

inline const DataNode* ChildAt(const DataNode& n, uint32_t i) noexcept {
    if (n.isList()) return i < n.list().size() ? n.list()[i].get() : nullptr;
    return i < n.map().size() ? n.map().entry(i).child.get() : nullptr;
}

inline uint16_t Swap(uint16_t v) noexcept { return __builtin_bswap16(v); }
inline uint32_t Swap(uint32_t v) noexcept { return __builtin_bswap32(v); }
inline uint64_t Swap(uint64_t v) noexcept { return __builtin_bswap64(v); }

// Numbers are copied as they are when the record's byte order is the
// machine's, and swapped on the way otherwise.
inline bool NeedsSwap(const DataNode& root) noexcept {
    bool big = root.hasOption(OptionFlags::BigEndian);
    return big != (std::endian::native == std::endian::big);
}

// ---------------------------------------------------------------- writer

// The body lengths of the framed maps, in the order the writer meets them.
// One walk before writing measures every framed map at once, so a map nested
// inside d framed maps is not measured d times over. Lengths of the first
// few maps stay on the stack: most records need no allocation here.
class BodyLengths {
public:
    uint32_t add() { return count_ < kLocal ? count_++ : addSpilled(); }
    uint32_t& operator[](uint32_t i) noexcept { return count_ <= kLocal ? local_[i] : spill_[i]; }

private:
    static constexpr uint32_t kLocal = 32;

    [[gnu::noinline]] uint32_t addSpilled() {
        if (count_ == kLocal) spill_.assign(local_, local_ + kLocal);
        spill_.push_back(0);
        return count_++;
    }

    uint32_t local_[kLocal] = {};
    uint32_t count_ = 0;
    std::vector<uint32_t> spill_;
};

// Decodes checked hex text in stack-sized pieces. Kept out of line so that
// its buffer is not part of every frame of the recursive writer.
[[gnu::noinline]] void WriteHexBytes(OutputStream& out, std::string_view text) {
    char buf[256];
    for (size_t done = 0, n = text.size() / 2; done < n;) {
        size_t chunk = n - done < sizeof buf ? n - done : sizeof buf;
        DecodeHex(text.data() + 2 * done, chunk, buf);
        out.write(buf, chunk);
        done += chunk;
    }
}

// Kept out of line: inlined, its work list would sit in every frame of the
// recursive measure().
[[gnu::noinline]] uint32_t SizeBelowTheBound(const DataNode& n) { return EncodedSize(n); }

class Writer {
public:
    Writer(OutputStream& out, bool swap) noexcept : out_(out), swap_(swap) {}

    uint32_t measure(const DataNode& n, uint32_t depth);
    uint32_t write(const DataNode& n, uint32_t depth);

private:
    // Leaves and lengths are written out of line: what they keep on the
    // stack then stays out of the frames that the recursion stacks up.
    [[gnu::noinline]] uint32_t writeStr(const DataNode& n);
    [[gnu::noinline]] uint32_t writeInt(const DataNode& n);
    [[gnu::noinline]] void putLength(uint32_t v) { put(v); }
    uint32_t writeList(const DataNode& n, uint32_t depth);
    uint32_t writeMap(const DataNode& n, uint32_t depth);

    template <class T>
    void put(T v) {
        if (swap_) v = Swap(v);
        out_.write(&v, sizeof v);
    }

    OutputStream& out_;
    bool swap_;
    uint32_t nextLength_ = 0;
    BodyLengths lengths_;
};

// Returns EncodedSize(n) and records the body length of every framed map in
// the order write() takes them. Past kMaxDepth, where write() gives up, the
// exact size still comes from the iterative EncodedSize, so even the bytes a
// failing write leaves behind hold the lengths EncodedSize gives.
uint32_t Writer::measure(const DataNode& n, uint32_t depth) {
    if (depth > kMaxDepth) return SizeBelowTheBound(n);
    uint32_t size = OwnSize(n);
    if (n.isList()) {
        for (const NodeRef& item : n.list()) size += HasChildren(*item) ? measure(*item, depth + 1) : OwnSize(*item);
    } else if (n.isMap()) {
        bool framed = !n.hasOption(OptionFlags::MapUnframed);
        uint32_t slot = framed ? lengths_.add() : 0;
        for (const MapValue::Entry& e : n.map())
            size += HasChildren(*e.child) ? measure(*e.child, depth + 1) : OwnSize(*e.child);
        if (framed) lengths_[slot] = size - 4;
    }
    return size;
}

uint32_t Writer::write(const DataNode& n, uint32_t depth) {
    if (depth > kMaxDepth) return err::Unsupported;
    uint32_t code;
    switch (n.type()) {
    case NodeType::Str: code = writeStr(n); break;
    case NodeType::Int: code = writeInt(n); break;
    case NodeType::List: code = writeList(n, depth); break;
    case NodeType::Map: code = writeMap(n, depth); break;
    default: return err::Unsupported;
    }
    if (code) return code;
    return out_.failed() ? err::StreamFailure : err::Ok;
}

uint32_t Writer::writeStr(const DataNode& n) {
    std::string_view s = n.str();
    if (!n.hasOption(OptionFlags::HexString)) {
        put(static_cast<uint32_t>(s.size()));
        out_.write(s);
        return err::Ok;
    }
    // Text that is not whole digit pairs decodes to nothing, which is an
    // error unless there was nothing to decode.
    if (!IsHexText(s)) return err::BadHexString;
    put(static_cast<uint32_t>(s.size() / 2));
    WriteHexBytes(out_, s);
    return err::Ok;
}

uint32_t Writer::writeInt(const DataNode& n) {
    uint64_t v = static_cast<uint64_t>(n.num());
    switch (IntWidth(n.kind())) {
    case 1: out_.put(static_cast<char>(v)); break;
    case 2: put(static_cast<uint16_t>(v)); break;
    case 4: put(static_cast<uint32_t>(v)); break;
    case 8: put(v); break;
    default: return err::Unsupported;
    }
    return err::Ok;
}

uint32_t Writer::writeList(const DataNode& n, uint32_t depth) {
    putLength(n.list().size());
    for (const NodeRef& item : n.list())
        if (uint32_t code = write(*item, depth + 1)) return code;
    return err::Ok;
}

uint32_t Writer::writeMap(const DataNode& n, uint32_t depth) {
    if (n.map().empty()) return err::EmptyMap;
    if (!n.hasOption(OptionFlags::MapUnframed)) putLength(lengths_[nextLength_++]);
    for (const MapValue::Entry& e : n.map())
        if (uint32_t code = write(*e.child, depth + 1)) return code;
    return err::Ok;
}

// ---------------------------------------------------------------- reader

// Results travel by value, in registers: a local whose address is taken
// would take a slot in every frame of the recursive reader.
struct Bytes {
    const char* data;
    uint32_t code;
};
struct Length {
    uint32_t value;
    uint32_t code;
};

// The k bytes of a number, length or count, in place in the caller's memory.
inline Bytes Take(InputStream& in, size_t k) noexcept {
    std::string_view got = in.readView(k);
    if (got.size() == k) return {got.data(), err::Ok};
    return {nullptr, got.empty() ? err::NoData : err::StreamFailure};
}

bool Overlaps(std::string_view bytes, const ByteString& s) noexcept {
    auto p = reinterpret_cast<uintptr_t>(bytes.data()), q = reinterpret_cast<uintptr_t>(s.data());
    return p < q + s.capacity() + 1 && q < p + bytes.size();
}

class Reader {
public:
    explicit Reader(bool swap) noexcept : swap_(swap) {}

    uint32_t read(InputStream& in, DataNode& n, uint32_t depth);

private:
    [[gnu::noinline]] Length readLength(InputStream& in, uint32_t limit) noexcept;
    [[gnu::noinline]] uint32_t readStr(InputStream& in, DataNode& n);
    [[gnu::noinline]] uint32_t readInt(InputStream& in, DataNode& n) noexcept;
    uint32_t readList(InputStream& in, DataNode& n, uint32_t depth);
    uint32_t readMap(InputStream& in, DataNode& n, uint32_t depth);
    // Out of line so that its body stream is on the stack only for framed
    // maps, not in every level of a list or unframed map.
    [[gnu::noinline]] uint32_t readBody(InputStream& in, MapValue& map, uint32_t depth);
    // Inlined into both callers: one frame fewer per level of nesting.
    [[gnu::always_inline]] inline uint32_t readFields(InputStream& from, InputStream& outer, MapValue& map, uint32_t depth);

    template <class T>
    T load(const char* p) const noexcept {
        T v;
        std::memcpy(&v, p, sizeof v);
        return swap_ ? Swap(v) : v;
    }

    bool swap_;
};

uint32_t Reader::read(InputStream& in, DataNode& n, uint32_t depth) {
    if (depth > kMaxDepth) return err::Unsupported;
    switch (n.type()) {
    case NodeType::Str: return readStr(in, n);
    case NodeType::Int: return readInt(in, n);
    case NodeType::List: return readList(in, n, depth);
    case NodeType::Map: return readMap(in, n, depth);
    default: return err::Unsupported;
    }
}

// The limit is checked before the value is used for anything, so a few
// bytes of input can never ask for more memory than the limits allow.
Length Reader::readLength(InputStream& in, uint32_t limit) noexcept {
    Bytes got = Take(in, 4);
    if (got.code) return {0, got.code};
    uint32_t value = load<uint32_t>(got.data);
    return {value, value > limit ? err::LimitExceeded : err::Ok};
}

uint32_t Reader::readStr(InputStream& in, DataNode& n) {
    Length len = readLength(in, kMaxBinaryStringLength);
    if (len.code) return len.code;
    std::string_view bytes = in.readView(len.value);
    if (bytes.size() < len.value) return err::StreamFailure;  // nothing allocated yet
    ByteString& s = n.asStr();
    if (!n.hasOption(OptionFlags::HexString)) {
        s.assign(bytes.data(), bytes.size());  // safe when the bytes are s's own
        return err::Ok;
    }
    if (!Overlaps(bytes, s)) {
        EncodeHex(bytes.data(), bytes.size(), s.resizeForOverwrite(bytes.size() * 2));
        return err::Ok;
    }
    // A record read from the very string it fills: the text is twice as long
    // as the bytes, so it is spelled aside.
    ByteString text;
    EncodeHex(bytes.data(), bytes.size(), text.resizeForOverwrite(bytes.size() * 2));
    s = std::move(text);
    return err::Ok;
}

// Kinds 7 and 8 name the platform's plain int, whose width is 32 bits; what
// was read is recorded under the explicit 32-bit kinds.
uint32_t Reader::readInt(InputStream& in, DataNode& n) noexcept {
    int32_t kind = n.kind();
    uint32_t width = IntWidth(kind);
    if (!width) return err::Unsupported;
    int32_t newKind = kind == ValueKind::NativeInt ? ValueKind::Int32 : kind == ValueKind::NativeUInt ? ValueKind::UInt32 : kind;
    Bytes got = Take(in, width);
    const char* p = got.data;
    int64_t v = 0;  // a failed read still leaves the node set, to 0
    if (!got.code) {
        switch (kind) {
        case ValueKind::Int8: v = static_cast<int8_t>(p[0]); break;
        case ValueKind::UInt8: v = static_cast<uint8_t>(p[0]); break;
        case ValueKind::Int16: v = static_cast<int16_t>(load<uint16_t>(p)); break;
        case ValueKind::UInt16: v = load<uint16_t>(p); break;
        case ValueKind::Int32:
        case ValueKind::NativeInt: v = static_cast<int32_t>(load<uint32_t>(p)); break;
        case ValueKind::UInt32:
        case ValueKind::NativeUInt: v = load<uint32_t>(p); break;
        default: v = static_cast<int64_t>(load<uint64_t>(p)); break;
        }
    }
    n.setInt(v, newKind);
    return got.code;
}

// The list grows with the items actually read, never ahead of them: every
// item takes at least one byte, so a declared count costs no more than the
// input holds. Template items up to the count serve as their own templates
// (item 0 settles a pending prototype before it is overwritten); the items
// after them start as copies of the prototype. Template items past the
// count go first, as a shorter record asks.
uint32_t Reader::readList(InputStream& in, DataNode& n, uint32_t depth) {
    Length count = readLength(in, kMaxBinaryListCount);
    if (count.code) return count.code;
    ListValue& list = n.list();
    if (count.value < list.size()) list.resize(count.value);  // the prototype stays
    for (uint32_t i = 0; i < count.value; ++i) {
        DataNode& item = i < list.size() ? *list[i] : list.appendCopy(*list.prototype());
        if (read(in, item, depth + 1)) return err::BadListItem;
    }
    return err::Ok;
}

uint32_t Reader::readMap(InputStream& in, DataNode& n, uint32_t depth) {
    MapValue& map = n.map();
    if (map.empty()) return err::EmptyMap;
    if (n.hasOption(OptionFlags::MapUnframed)) return readFields(in, in, map, depth);
    return readBody(in, map, depth);
}

// The body lies in the caller's memory: the stream over it is laid in place
// and the body costs no copy.
uint32_t Reader::readBody(InputStream& in, MapValue& map, uint32_t depth) {
    Length len = readLength(in, kMaxBinaryStringLength);
    if (len.code) return len.code;
    if (len.value == 0) return err::EmptyMap;
    std::string_view bytes = in.readView(len.value);
    if (bytes.size() < len.value) return err::StreamFailure;
    InputStream body(bytes);
    return readFields(body, in, map, depth);  // bytes left in the body are skipped
}

// A field that finds no byte at all ends the map: a record of an older,
// shorter layout leaves that field and the later ones as the template had
// them. An Int reader zeroes its node when its read fails, so an Int field
// that ends the map gets its template value and kind back.
uint32_t Reader::readFields(InputStream& from, InputStream& outer, MapValue& map, uint32_t depth) {
    for (uint32_t i = 0, n = map.size(); i < n; ++i) {
        DataNode& field = *map.entry(i).child;
        const bool wasInt = field.isInt();
        const int64_t value = wasInt ? field.num() : 0;
        const int32_t kind = field.kind();
        uint32_t code = read(from, field, depth + 1);
        if (code == err::Ok) continue;
        if (code == err::NoData) {
            if (i == 0) return err::EmptyMap;
            if (wasInt) field.setInt(value, kind);
            return err::Ok;
        }
        if (from.failed()) outer.setFailed();
        return code;
    }
    return err::Ok;
}

}  // namespace

uint32_t WriteBinary(OutputStream& out, const DataNode& node) {
    Writer writer(out, NeedsSwap(node));
    writer.measure(node, 1);
    return writer.write(node, 1);
}

uint32_t ReadBinary(InputStream& in, DataNode& node) {
    Reader reader(NeedsSwap(node));
    return reader.read(in, node, 1);
}

// Iterative, with one frame per open container: a host can build trees far
// deeper than any recursion should follow, and a size has no error to report.
uint32_t EncodedSize(const DataNode& node) {
    uint32_t total = OwnSize(node);
    if (!HasChildren(node)) return total;
    struct Frame {
        const DataNode* node;
        uint32_t next;
    };
    std::vector<Frame> open;
    open.push_back({&node, 0});
    while (!open.empty()) {
        Frame& top = open.back();
        const DataNode* child = ChildAt(*top.node, top.next++);
        if (!child) {
            open.pop_back();
            continue;
        }
        total += OwnSize(*child);
        if (HasChildren(*child)) open.push_back({child, 0});
    }
    return total;
}

}  // namespace zk
