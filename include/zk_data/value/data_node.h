// DataNode: the one value type of the library. A node holds a byte string, a
// signed 64-bit integer, a list or a map, plus a value kind, option bits and
// the wire format it is serialized in.
//
// Two families of accessors sit side by side:
//  - coercing ones (asStr, asInt, asList, asMap, mapGet, listAt) make the node
//    the wanted type first, destroying any other value, and create what is
//    missing;
//  - queries (strOrEmpty, toInt64, size, hasKey, keyAt, strEquals) never
//    change the node;
//  - mapFind sits between them: it never changes the node's type, but on a
//    map it inserts a missing key (see its declaration).
//
// Layout: 16 bytes of header and a 24-byte value slot, 40 bytes in all. The
// reference count of the NodeRef handles lives in the header, so a heap node
// is one allocation. Destruction, copying and comparison walk the tree with
// explicit work lists: no recursion grows with the depth of a tree.
#pragma once

#include <cstdint>
#include <string_view>

#include "zk_data/text/byte_string.h"
#include "zk_data/value/list_value.h"
#include "zk_data/value/map_value.h"
#include "zk_data/value/node_ref.h"
#include "zk_data/value/node_type.h"

namespace zk {

class DataNode {
public:
    DataNode() noexcept : type8_(0), format_(FormatId::Xml), refs_(0), kind_(0), options_(0), num_(0) {}
    // A fresh node holding a deep copy of other (its format and options too,
    // unless other is None).
    DataNode(const DataNode& other);
    DataNode& operator=(const DataNode& other) {
        assign(other);
        return *this;
    }
    ~DataNode() { reset(); }

    NodeType type() const noexcept { return static_cast<NodeType>(type8_); }
    int32_t kind() const noexcept { return kind_; }
    uint32_t options() const noexcept { return options_; }
    uint8_t format() const noexcept { return format_; }
    bool isNone() const noexcept { return type8_ == static_cast<uint8_t>(NodeType::None); }
    bool isStr() const noexcept { return type8_ == static_cast<uint8_t>(NodeType::Str); }
    bool isInt() const noexcept { return type8_ == static_cast<uint8_t>(NodeType::Int); }
    bool isList() const noexcept { return type8_ == static_cast<uint8_t>(NodeType::List); }
    bool isMap() const noexcept { return type8_ == static_cast<uint8_t>(NodeType::Map); }

    // Stores f when it names a format (0..5 or 255); false otherwise.
    bool setFormat(uint8_t f) noexcept;

    // Destroys the value; type None, kind 0. Options and format stay.
    void reset() noexcept;
    // Empties the value, keeping type and kind (a list keeps its prototype).
    void clear();
    // t in 1..4: becomes that type (value kept when it already is). Else false.
    bool setType(int32_t t);
    // Int accepts 1..10, Str accepts 11 and 12; anything else is refused.
    bool setKind(int32_t k) noexcept;
    void setInt(int64_t v, int32_t k) noexcept;
    // Zero-terminated bytes, kind Text. A null pointer stores the empty string.
    void setStr(const char* s);
    // Counted bytes with the given kind.
    void setStr(std::string_view bytes, int32_t k);
    // Zero-terminated UTF-16, stored as UTF-8 of kind Text.
    void setStrW(const char16_t* s);

    ByteString& asStr();
    int64_t& asInt();
    ListValue& asList();
    MapValue& asMap();

    // Typed views without coercion; the node must have that type.
    const ByteString& str() const noexcept { return str_; }
    int64_t num() const noexcept { return num_; }
    const ListValue& list() const noexcept { return list_; }
    const MapValue& map() const noexcept { return map_; }
    ListValue& list() noexcept { return list_; }
    MapValue& map() noexcept { return map_; }

    // The string of a Str node; a shared empty string for any other type.
    const ByteString& strOrEmpty() const noexcept;
    // Int: the value. Str: its leading signed decimal number. Else 0.
    int64_t toInt64() const noexcept;
    bool strEquals(const char* s) const noexcept;
    // Str: bytes; List: items; Map: keys; Int and None: 0.
    uint32_t size() const noexcept;

    // Deep copy of src. Safe when src lies inside this node's own tree.
    void assign(const DataNode& src);
    // Takes src's type, kind, format, options and value without copying;
    // src becomes None. A None src leaves this node None with its own format
    // and options, as assign does. src must not lie inside this node's tree.
    void moveFrom(DataNode& src) noexcept;
    bool equals(const DataNode& other) const;
    // Takes src's type, kind, format, options and value, all of them even
    // when src is None; src becomes None. src must not lie inside this
    // node's tree.
    void replaceWith(DataNode& src) noexcept;

    void setOption(uint32_t mask, bool on) noexcept { options_ = on ? (options_ | mask) : (options_ & ~mask); }
    bool hasOption(uint32_t mask) const noexcept { return (options_ & mask) != 0; }

    // Zero-terminated keys stop at their first zero byte; counted keys may
    // hold zero bytes.
    DataNode& mapGet(const char* key) { return mapGet(keyView(key)); }
    DataNode& mapGet(std::string_view key);
    // Not a pure query: on a map, a missing key is inserted (holding None)
    // and its new child returned, so the map grows by one entry; on any other
    // node, nullNode() is returned and the node is left alone.
    const DataNode& mapFind(const char* key) { return mapFind(keyView(key)); }
    const DataNode& mapFind(std::string_view key);
    bool hasKey(const char* key) const noexcept { return hasKey(keyView(key)); }
    bool hasKey(std::string_view key) const noexcept;
    bool keyAt(uint32_t i, ByteString& out) const;
    DataNode& listAt(uint32_t i);

    // Number of NodeRef handles sharing this node (0 for an embedded node).
    uint32_t refCount() const noexcept { return refs_; }

    // The empty node that mapFind returns for a node that is not a map.
    static const DataNode& nullNode() noexcept;

private:
    friend class NodeRef;
    friend class TreeOps;

    static std::string_view keyView(const char* key) noexcept { return key ? std::string_view(key) : std::string_view(); }
    // Turns a None node into an empty value of type t.
    void construct(NodeType t) noexcept;
    // Takes src's type, kind, format, options and value; src becomes None.
    void takeFrom(DataNode& src) noexcept;
    // Takes the type, kind and value of the fresh node built aside; this
    // node keeps its format and options, fresh becomes None.
    void replaceValue(DataNode& fresh) noexcept;

    uint8_t type8_;  // NodeType, stored in one byte
    uint8_t format_;
    uint16_t unused_ = 0;
    uint32_t refs_;  // NodeRef handles sharing this node
    // kind_ and options_ are adjacent and 8-byte aligned: a dying node on the
    // release list reuses them as its link (see TreeOps).
    int32_t kind_;
    uint32_t options_;
    union {
        ByteString str_;
        int64_t num_;
        ListValue list_;
        MapValue map_;
    };
};

static_assert(sizeof(DataNode) == 40, "a node is a 16-byte header and a 24-byte value");

}  // namespace zk
