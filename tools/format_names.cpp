#include "tools/format_names.h"

#include "zk_data/value/node_type.h"

namespace zk {
namespace {

struct NamedFormat {
    const char* name;
    uint8_t format;
};
constexpr NamedFormat kFormats[] = {
    {"binary", FormatId::Binary}, {"xml", FormatId::Xml}, {"bencode", FormatId::Bencode},
    {"json", FormatId::Json},     {"http", FormatId::Http}, {"ini", FormatId::Ini},
    {"dump", FormatId::DebugDump},
};

struct NamedFlag {
    uint8_t format;
    const char* name;
    uint32_t bit;
    bool everyNode;
};
constexpr NamedFlag kFlags[] = {
    {FormatId::Xml, "free", OptionFlags::XmlFreeForm, false},
    {FormatId::Xml, "compact", OptionFlags::XmlCompact, false},
    {FormatId::Xml, "gbk", OptionFlags::XmlGbk, false},
    {FormatId::Binary, "be", OptionFlags::BigEndian, false},
    {FormatId::Http, "nobody", OptionFlags::HttpNoBody, false},
    {FormatId::DebugDump, "raw", OptionFlags::DumpRawString, true},
    {FormatId::DebugDump, "quad", OptionFlags::DumpDottedQuad, true},
};

struct NamedExtension {
    const char* extension;
    uint8_t format;
};
constexpr NamedExtension kExtensions[] = {
    {".bin", FormatId::Binary}, {".xml", FormatId::Xml},   {".bencode", FormatId::Bencode},
    {".torrent", FormatId::Bencode}, {".json", FormatId::Json}, {".http", FormatId::Http},
    {".ini", FormatId::Ini},
};

struct NamedKind {
    const char* name;
    int32_t kind;
};
constexpr NamedKind kKinds[] = {
    {"int8", ValueKind::Int8},   {"uint8", ValueKind::UInt8},   {"int16", ValueKind::Int16},
    {"uint16", ValueKind::UInt16}, {"int32", ValueKind::Int32}, {"uint32", ValueKind::UInt32},
    {"int64", ValueKind::Int64}, {"uint64", ValueKind::UInt64},
};

bool ParseFlag(std::string_view flag, FormatSetting& setting, std::string& error) {
    for (const NamedFlag& f : kFlags) {
        if (f.format != setting.format || flag != f.name) continue;
        (f.everyNode ? setting.nodeOptions : setting.rootOptions) |= f.bit;
        return true;
    }
    error = "unknown flag '" + std::string(flag) + "' for format " + FormatName(setting.format);
    return false;
}

}  // namespace

bool ParseFormatSetting(std::string_view text, FormatSetting& setting, std::string& error) {
    size_t colon = text.find(':');
    std::string_view name = text.substr(0, colon);
    setting = FormatSetting{};
    bool known = false;
    for (const NamedFormat& f : kFormats)
        if (name == f.name) setting.format = f.format, known = true;
    if (!known) {
        error = "unknown format '" + std::string(name) + "'";
        return false;
    }
    if (colon == std::string_view::npos) return true;
    std::string_view flags = text.substr(colon + 1);
    for (;;) {
        size_t comma = flags.find(',');
        if (!ParseFlag(flags.substr(0, comma), setting, error)) return false;
        if (comma == std::string_view::npos) return true;
        flags.remove_prefix(comma + 1);
    }
}

bool FormatFromPath(std::string_view path, uint8_t& format) {
    size_t slash = path.find_last_of('/');
    std::string_view base = slash == std::string_view::npos ? path : path.substr(slash + 1);
    size_t dot = base.find_last_of('.');
    if (dot == std::string_view::npos) return false;
    for (const NamedExtension& e : kExtensions)
        if (base.substr(dot) == e.extension) {
            format = e.format;
            return true;
        }
    return false;
}

const char* FormatName(uint8_t format) {
    for (const NamedFormat& f : kFormats)
        if (f.format == format) return f.name;
    return "?";
}

bool ParseIntKind(std::string_view name, int32_t& kind) {
    for (const NamedKind& k : kKinds)
        if (name == k.name) {
            kind = k.kind;
            return true;
        }
    return false;
}

const char* IntKindName(int32_t kind) {
    for (const NamedKind& k : kKinds)
        if (k.kind == kind) return k.name;
    return "?";
}

}  // namespace zk
