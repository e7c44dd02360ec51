#include "tools/format_setting.h"

#include "zk_data/codec/format_names.h"
#include "zk_data/value/node_type.h"

namespace zk {
namespace {

struct NamedExtension {
    const char* extension;
    uint8_t format;
};
constexpr NamedExtension kExtensions[] = {
    {".bin", FormatId::Binary}, {".xml", FormatId::Xml},   {".bencode", FormatId::Bencode},
    {".torrent", FormatId::Bencode}, {".json", FormatId::Json}, {".http", FormatId::Http},
    {".ini", FormatId::Ini},
};

// A flag counts only for its own format: "json:free" is a mistake, not a
// request the JSON codec would ignore.
bool ParseFlag(std::string_view name, FormatSetting& setting, std::string& error) {
    const NamedFlag* flag = FindFlag(name);
    if (!flag || flag->format != setting.format) {
        error = "unknown flag '" + std::string(name) + "' for format " + FormatName(setting.format);
        return false;
    }
    (flag->everyNode ? setting.nodeOptions : setting.rootOptions) |= flag->bit;
    return true;
}

}  // namespace

bool ParseFormatSetting(std::string_view text, FormatSetting& setting, std::string& error) {
    size_t colon = text.find(':');
    std::string_view name = text.substr(0, colon);
    setting = FormatSetting{};
    const NamedFormat* format = FindFormat(name);
    if (!format) {
        error = "unknown format '" + std::string(name) + "'";
        return false;
    }
    setting.format = format->id;
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

}  // namespace zk
