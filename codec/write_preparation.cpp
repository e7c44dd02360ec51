#include "codec/write_preparation.h"

#include <algorithm>
#include <cstdio>
#include <numeric>
#include <string_view>
#include <vector>

namespace zk {
namespace {

uint32_t ChildCount(const DataNode& node) noexcept {
    return node.isList() ? node.list().size() : node.isMap() ? node.map().size() : 0;
}

// Child i of a list or map, in the order the writers take them.
template <class Node>
Node& Child(Node& node, uint32_t i) {
    return node.isList() ? *node.list()[i] : *node.map().entry(i).child;
}

// Rebuilds the map in key order, keeping the node's format and options.
// Every new entry exists before any child moves, so running out of memory
// leaves the map as it was.
void SortKeys(DataNode& node) {
    MapValue& map = node.map();
    std::vector<uint32_t> order(map.size());
    std::iota(order.begin(), order.end(), 0u);
    std::sort(order.begin(), order.end(),
              [&](uint32_t a, uint32_t b) { return map.entry(a).key.view() < map.entry(b).key.view(); });
    DataNode sorted;
    sorted.setFormat(node.format());
    sorted.setOption(node.options(), true);
    MapValue& target = sorted.asMap();
    for (uint32_t i : order) target.getOrInsert(map.entry(i).key.view());
    for (uint32_t j = 0; j < target.size(); ++j) target.entry(j).child->replaceWith(*map.entry(order[j]).child);
    node.moveFrom(sorted);
}

void SettleKind(DataNode& node, const WritePreparation& how) {
    if (how.intKind)
        node.setKind(how.intKind);
    else if (how.unknownKindsBecomeInt64 && !ValueKind::isIntKind(node.kind()))
        node.setKind(ValueKind::Int64);
}

// One node, once its children are prepared: a list's prototype copies a
// first item that is complete. That copy costs the item's size, so a chain
// of lists nested d deep costs d * d / 2 node copies; the front ends' trees
// come from readers that stop at 1000 levels.
void PrepareNode(DataNode& node, const WritePreparation& how) {
    if (node.isInt())
        SettleKind(node, how);
    else if (node.isList() && how.repeatFirstItems && !node.list().empty())
        node.list().prototype()->assign(*node.list()[0]);
    else if (node.isMap() && how.sortKeys)
        SortKeys(node);
    node.setOption(how.clearOptions, false);
    node.setOption(how.setOptions, true);
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

// Depth first, each node after its children.
uint32_t PrepareForWrite(DataNode& root, const WritePreparation& how) {
    struct Frame {
        DataNode* node;
        uint32_t next;
    };
    std::vector<Frame> todo{{&root, 0}};
    uint32_t misfits = 0;
    while (!todo.empty()) {
        Frame& frame = todo.back();
        if (frame.next < ChildCount(*frame.node)) {
            DataNode* child = &Child(*frame.node, frame.next++);
            todo.push_back({child, 0});
            continue;
        }
        DataNode& node = *frame.node;
        todo.pop_back();
        PrepareNode(node, how);
        misfits += node.isInt() && !FitsKind(node.num(), node.kind());
    }
    return misfits;
}

bool FitsKind(int64_t value, int32_t kind) noexcept {
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
        if (frame.next == ChildCount(node)) {
            todo.pop_back();
            continue;
        }
        uint32_t i = frame.next++;
        path += '/';
        if (node.isList())
            path += std::to_string(i);
        else
            AppendToken(path, node.map().entry(i).key.view());
        todo.push_back({&Child(node, i), 0, path.size()});
    }
    return nullptr;
}

}  // namespace zk
