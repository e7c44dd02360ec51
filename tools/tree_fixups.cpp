#include "tools/tree_fixups.h"

#include <cstdio>
#include <string_view>
#include <vector>

namespace zk {
namespace {

// Visits every node once. A work list instead of recursion, as the tree's own
// operations do, so that no input depth can exhaust the stack.
template <class Visit>
void ForEachNode(DataNode& root, Visit visit) {
    std::vector<DataNode*> todo{&root};
    while (!todo.empty()) {
        DataNode& node = *todo.back();
        todo.pop_back();
        visit(node);
        if (node.isList())
            for (NodeRef& item : node.list()) todo.push_back(item.get());
        else if (node.isMap())
            for (uint32_t i = 0; i < node.map().size(); ++i) todo.push_back(node.map().entry(i).child.get());
    }
}

// A map key as one JSON pointer token, with control bytes spelled \xNN so
// that a message naming it stays on one line.
void AppendToken(std::string& path, std::string_view key) {
    for (unsigned char c : key) {
        if (c == '~' || c == '/') {
            path += c == '~' ? "~0" : "~1";
        } else if (c < 0x20 || c == 0x7F) {
            char hex[5];
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            path += hex;
        } else {
            path += static_cast<char>(c);
        }
    }
}

}  // namespace

bool FitsKind(int64_t value, int32_t kind) {
    switch (kind) {
    case ValueKind::Int8: return value >= INT8_MIN && value <= INT8_MAX;
    case ValueKind::UInt8: return value >= 0 && value <= UINT8_MAX;
    case ValueKind::Int16: return value >= INT16_MIN && value <= INT16_MAX;
    case ValueKind::UInt16: return value >= 0 && value <= UINT16_MAX;
    case ValueKind::Int32:
    case ValueKind::NativeInt: return value >= INT32_MIN && value <= INT32_MAX;
    case ValueKind::UInt32:
    case ValueKind::NativeUInt: return value >= 0 && value <= UINT32_MAX;
    default: return true;
    }
}

uint32_t SetIntKinds(DataNode& root, int32_t kind) {
    uint32_t misfits = 0;
    ForEachNode(root, [&](DataNode& node) {
        if (!node.isInt()) return;
        if (kind) node.setKind(kind);
        else if (!ValueKind::isIntKind(node.kind())) node.setKind(ValueKind::Int64);
        misfits += !FitsKind(node.num(), node.kind());
    });
    return misfits;
}

// Depth first in insertion order, with the path kept in one string that
// each frame cuts back to its own length.
const DataNode* FindMisfit(const DataNode& root, std::string& path) {
    struct Frame {
        const DataNode* node;
        uint32_t next;
        size_t pathSize;
    };
    std::vector<Frame> todo{{&root, 0, 0}};
    while (!todo.empty()) {
        Frame& frame = todo.back();
        const DataNode& node = *frame.node;
        path.resize(frame.pathSize);
        if (node.isInt() && !FitsKind(node.num(), node.kind())) return &node;
        uint32_t size = node.isList() ? node.list().size() : node.isMap() ? node.map().size() : 0;
        if (frame.next == size) {
            todo.pop_back();
            continue;
        }
        uint32_t i = frame.next++;
        path += '/';
        const DataNode* child;
        if (node.isList()) {
            path += std::to_string(i);
            child = node.list()[i].get();
        } else {
            AppendToken(path, node.map().entry(i).key.view());
            child = node.map().entry(i).child.get();
        }
        todo.push_back({child, 0, path.size()});
    }
    return nullptr;
}

void RepeatFirstItems(DataNode& root) {
    ForEachNode(root, [](DataNode& node) {
        if (node.isList() && !node.list().empty()) node.list().prototype()->assign(*node.list()[0]);
    });
}

void SetOptionsEverywhere(DataNode& root, uint32_t bits) {
    if (bits) ForEachNode(root, [bits](DataNode& node) { node.setOption(bits, true); });
}

}  // namespace zk
