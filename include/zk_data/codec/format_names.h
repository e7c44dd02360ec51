// The names of formats, option flags and integer kinds, as people type them:
// one table, so that the zkdata tool and the Lua module spell them alike.
//
// A flag has one canonical name, the one messages and manuals print, and may
// have an alias that is accepted as well. Canonical names are the long ones,
// which say what the bit does in the words of OptionFlags; the short ones
// the tool started with stay accepted as aliases.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace zk {

struct NamedFormat {
    const char* name;
    uint8_t id;  // a FormatId
};

struct NamedFlag {
    const char* name;   // canonical
    const char* alias;  // the other accepted spelling, or null
    uint32_t bit;       // an OptionFlags bit
    uint8_t format;     // the format whose codec reads the bit
    // The codec reads the bit on each node it meets, not on the root only,
    // so a front end that means the whole tree sets it on every node.
    bool everyNode;
};

struct NamedIntKind {
    const char* name;
    int32_t kind;  // a ValueKind from Int8 to UInt64
};

// Every entry, in a fixed order: formats by id, flags by bit, kinds by value.
std::span<const NamedFormat> FormatTable() noexcept;
std::span<const NamedFlag> FlagTable() noexcept;
std::span<const NamedIntKind> IntKindTable() noexcept;

// The entry of that name, or null. A flag is found by its name or its alias.
// Names are matched exactly, case included.
const NamedFormat* FindFormat(std::string_view name) noexcept;
const NamedFlag* FindFlag(std::string_view name) noexcept;
const NamedIntKind* FindIntKind(std::string_view name) noexcept;

// The name of a format id or an integer kind, or null when none has one.
const char* FormatName(uint8_t format) noexcept;
const char* IntKindName(int32_t kind) noexcept;

}  // namespace zk
