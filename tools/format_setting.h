// Format settings as the command line spells them, for example
// "xml:free_form,compact": a format name, then flags of that format. The
// names, aliases included, are the library's (zk_data/codec/format_names.h).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace zk {

struct FormatSetting {
    uint8_t format = 0;
    uint32_t rootOptions = 0;  // bits its codec reads on the root
    uint32_t nodeOptions = 0;  // bits its codec reads node by node, so set on every node
};

// Parses NAME[:FLAG[,FLAG...]]; on failure says why in error.
bool ParseFormatSetting(std::string_view text, FormatSetting& setting, std::string& error);
// The format a file name's extension stands for; false when none.
bool FormatFromPath(std::string_view path, uint8_t& format);

}  // namespace zk
