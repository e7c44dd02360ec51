// Format names and flags as the command line spells them, for example
// "xml:free,compact": a format name, then option bits for the root.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace zk {

struct FormatSetting {
    uint8_t format = 0;
    uint32_t rootOptions = 0;  // bits its codec reads on the root
    uint32_t nodeOptions = 0;  // bits the dump reads node by node, so set on every node
};

// Parses NAME[:FLAG[,FLAG...]]; on failure says why in error.
bool ParseFormatSetting(std::string_view text, FormatSetting& setting, std::string& error);
// The format a file name's extension stands for; false when none.
bool FormatFromPath(std::string_view path, uint8_t& format);
const char* FormatName(uint8_t format);

// int8, uint8 ... uint64 to a ValueKind; false for any other name.
bool ParseIntKind(std::string_view name, int32_t& kind);
const char* IntKindName(int32_t kind);

}  // namespace zk
