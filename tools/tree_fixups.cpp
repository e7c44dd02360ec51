#include "tools/tree_fixups.h"

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
    case ValueKind::UInt64: return value >= 0;
    default: return true;
    }
}

uint32_t SetIntKinds(DataNode& root, int32_t kind) {
    uint32_t misfits = 0;
    ForEachNode(root, [&](DataNode& node) {
        if (!node.isInt()) return;
        node.setKind(kind);
        misfits += !FitsKind(node.num(), kind);
    });
    return misfits;
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
