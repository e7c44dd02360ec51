#include "zk_data/codec/format_names.h"

#include "zk_data/value/node_type.h"

namespace zk {
namespace {

constexpr NamedFormat kFormats[] = {
    {"binary", FormatId::Binary}, {"xml", FormatId::Xml}, {"bencode", FormatId::Bencode},
    {"json", FormatId::Json},     {"http", FormatId::Http}, {"ini", FormatId::Ini},
    {"dump", FormatId::DebugDump},
};

constexpr NamedFlag kFlags[] = {
    {"map_unframed", nullptr, OptionFlags::MapUnframed, FormatId::Binary, true},
    {"hex_string", nullptr, OptionFlags::HexString, FormatId::Binary, true},
    {"big_endian", "be", OptionFlags::BigEndian, FormatId::Binary, false},
    {"compact", nullptr, OptionFlags::XmlCompact, FormatId::Xml, false},
    {"free_form", "free", OptionFlags::XmlFreeForm, FormatId::Xml, false},
    {"gbk", nullptr, OptionFlags::XmlGbk, FormatId::Xml, false},
    {"raw_string", "raw", OptionFlags::DumpRawString, FormatId::DebugDump, true},
    {"dotted_quad", "quad", OptionFlags::DumpDottedQuad, FormatId::DebugDump, true},
    {"no_body", "nobody", OptionFlags::HttpNoBody, FormatId::Http, false},
};

constexpr NamedIntKind kIntKinds[] = {
    {"int8", ValueKind::Int8},     {"uint8", ValueKind::UInt8},     {"int16", ValueKind::Int16},
    {"uint16", ValueKind::UInt16}, {"int32", ValueKind::Int32},     {"uint32", ValueKind::UInt32},
    {"int", ValueKind::NativeInt}, {"uint", ValueKind::NativeUInt}, {"int64", ValueKind::Int64},
    {"uint64", ValueKind::UInt64},
};

template <class Entry, class Matches>
const Entry* FindEntry(std::span<const Entry> table, Matches matches) noexcept {
    for (const Entry& e : table)
        if (matches(e)) return &e;
    return nullptr;
}

}  // namespace

std::span<const NamedFormat> FormatTable() noexcept { return kFormats; }
std::span<const NamedFlag> FlagTable() noexcept { return kFlags; }
std::span<const NamedIntKind> IntKindTable() noexcept { return kIntKinds; }

const NamedFormat* FindFormat(std::string_view name) noexcept {
    return FindEntry(FormatTable(), [name](const NamedFormat& f) { return name == f.name; });
}

const NamedFlag* FindFlag(std::string_view name) noexcept {
    return FindEntry(FlagTable(),
                     [name](const NamedFlag& f) { return name == f.name || (f.alias && name == f.alias); });
}

const NamedIntKind* FindIntKind(std::string_view name) noexcept {
    return FindEntry(IntKindTable(), [name](const NamedIntKind& k) { return name == k.name; });
}

const char* FormatName(uint8_t format) noexcept {
    const NamedFormat* f = FindEntry(FormatTable(), [format](const NamedFormat& e) { return e.id == format; });
    return f ? f->name : nullptr;
}

const char* IntKindName(int32_t kind) noexcept {
    const NamedIntKind* k = FindEntry(IntKindTable(), [kind](const NamedIntKind& e) { return e.kind == kind; });
    return k ? k->name : nullptr;
}

}  // namespace zk
