// The small enumerations every layer shares: node types, value kinds, option
// bits and wire formats.
#pragma once

#include <cstdint>

namespace zk {

enum class NodeType : int32_t { None = 0, Str = 1, Int = 2, List = 3, Map = 4 };

// Refines an Int (width and signedness) or a Str (binary or text). Stored as a
// plain int32 in the node, hence a scoped set of constants, not an enum class.
struct ValueKind {
    enum : int32_t {
        Unspecified = 0,
        Int8 = 1,
        UInt8 = 2,
        Int16 = 3,
        UInt16 = 4,
        Int32 = 5,
        UInt32 = 6,
        NativeInt = 7,
        NativeUInt = 8,
        Int64 = 9,
        UInt64 = 10,
        Binary = 11,
        Text = 12,
    };
    static constexpr bool isIntKind(int32_t k) { return k >= Int8 && k <= UInt64; }
    static constexpr bool isStrKind(int32_t k) { return k == Binary || k == Text; }
};

// Per-node option bits. Each codec reads the bits it defines; all other bits
// are kept and returned but change nothing.
struct OptionFlags {
    enum : uint32_t {
        MapUnframed = 0x00000001,
        HexString = 0x00000002,
        BigEndian = 0x00000004,
        XmlCompact = 0x00001000,
        XmlFreeForm = 0x00002000,
        XmlGbk = 0x00004000,
        DumpRawString = 0x01000000,
        DumpDottedQuad = 0x02000000,
        HttpNoBody = 0x10000000,
    };
};

// Wire format of a node. Only these values can be stored in a node.
struct FormatId {
    enum : uint8_t {
        Binary = 0,
        Xml = 1,
        Bencode = 2,
        Json = 3,
        Http = 4,
        Ini = 5,
        DebugDump = 255,
    };
    static constexpr bool isValid(uint32_t f) { return f <= Ini || f == DebugDump; }
};

}  // namespace zk
