// Nodes of the peers' trees, counted as CountNodes counts ours. JSON: every
// value, the root included; object member names are not values, as map keys
// are not nodes of ours. pugixml: every node (the document node and text
// nodes included) plus every attribute. Recursive: the trees here are a few
// levels deep, and a work list would allocate under a HeapProbe.
#pragma once

#include <nlohmann/json.hpp>
#include <pugixml.hpp>
#include <rapidjson/document.h>

#include <cstdint>

namespace zk::bench {

inline int64_t CountRapid(const rapidjson::Value& v) {
    int64_t n = 1;
    if (v.IsArray())
        for (const auto& item : v.GetArray()) n += CountRapid(item);
    else if (v.IsObject())
        for (const auto& m : v.GetObject()) n += CountRapid(m.value);
    return n;
}

inline int64_t CountNlohmann(const nlohmann::json& v) {
    int64_t n = 1;
    if (v.is_structured())
        for (const auto& item : v) n += CountNlohmann(item);
    return n;
}

inline int64_t CountPugi(const pugi::xml_node& node) {
    int64_t n = 1;
    for (pugi::xml_attribute a = node.first_attribute(); a; a = a.next_attribute()) ++n;
    for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling()) n += CountPugi(child);
    return n;
}

}  // namespace zk::bench
