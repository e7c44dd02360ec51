#include "object/container_edit.h"

namespace zk {

// The node keeps its format and options; only the value moves aside.
void ContainerEdit::keepOld() noexcept {
    if (coerced_) return;
    old_.moveFrom(node_);
    coerced_ = true;
}

MapValue& ContainerEdit::map() {
    if (!node_.isMap()) keepOld();
    return node_.asMap();
}

ListValue& ContainerEdit::list() {
    if (!node_.isList()) keepOld();
    return node_.asList();
}

// A host may pass a key that lies in the node's own value (bytes it was lent
// by GetBytes); a coercion moves that value aside, so the key is copied
// first. Once coerced, undoing restores the old value whole, so nothing
// added to the new container needs recording.
NodeRef& ContainerEdit::child(std::string_view key) {
    if (!node_.isMap()) {
        ByteString own(key);
        return map().getOrInsert(own);
    }
    MapValue& m = node_.map();
    if (NodeRef* found = m.find(key)) return *found;
    NodeRef& added = m.getOrInsert(key);
    added_ = Added::Key;
    key_ = key;
    return added;
}

NodeRef& ContainerEdit::element(uint32_t i) {
    ListValue& l = list();
    uint32_t size = l.size();
    NodeRef& item = l.at(i);
    if (l.size() != size) {
        added_ = Added::Items;
        position_ = size;
    }
    return item;
}

DataNode* ContainerEdit::insertKey(uint32_t position, std::string_view key) {
    if (!node_.isMap()) {
        ByteString own(key);
        MapValue& m = map();
        if (!m.insertAt(position, own, DataNode())) return nullptr;
        return m.find(own)->get();
    }
    MapValue& m = node_.map();
    if (!m.insertAt(position, key, DataNode())) return nullptr;
    added_ = Added::Key;
    key_ = key;
    return m.find(key)->get();
}

DataNode* ContainerEdit::insertElement(uint32_t i) {
    ListValue& l = list();
    if (!l.insertAt(i, DataNode())) return nullptr;
    added_ = Added::Element;
    position_ = i;
    return l[i].get();
}

void ContainerEdit::undo() noexcept {
    if (coerced_) {
        node_.moveFrom(old_);
        return;
    }
    switch (added_) {
    case Added::Key: node_.map().remove(key_); break;
    case Added::Items: node_.list().resize(position_); break;
    case Added::Element: node_.list().removeAt(position_); break;
    case Added::Nothing: break;
    }
}

}  // namespace zk
