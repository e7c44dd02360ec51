// A value tree in one line, so that a test states the whole expected shape
// at once.
#pragma once

#include <cstdint>
#include <string>

#include "zk_data/value/data_node.h"

namespace zk::test {

// The kinds a reader gives its strings and integers; Show marks only others.
struct UsualKinds {
    int32_t str = ValueKind::Binary;
    int32_t num = ValueKind::Int64;
};

// Strings quoted, ints bare, None as ~, lists in [], maps in {} in insertion
// order; a kind other than the usual one (0 for containers) follows as k<kind>.
inline std::string Show(const DataNode& n, UsualKinds usual = {}) {
    std::string s;
    int32_t plain = 0;
    switch (n.type()) {
    case NodeType::Str:
        s.append("\"").append(n.str().view()).append("\"");
        plain = usual.str;
        break;
    case NodeType::Int:
        s = std::to_string(n.num());
        plain = usual.num;
        break;
    case NodeType::List:
        s = "[";
        for (const NodeRef& item : n.list()) s.append(s.size() > 1 ? "," : "").append(Show(*item, usual));
        s += "]";
        break;
    case NodeType::Map:
        s = "{";
        for (const MapValue::Entry& e : n.map())
            s.append(s.size() > 1 ? "," : "").append(e.key.view()).append(":").append(Show(*e.child, usual));
        s += "}";
        break;
    default: return "~";
    }
    return n.kind() == plain ? s : s + "k" + std::to_string(n.kind());
}

}  // namespace zk::test
