// The elements a free-form XML tree stands for, as its writer defines them,
// for tests that predict or compare what the free-form reader makes.
#pragma once

#include <string>
#include <string_view>

#include "zk_data/value/data_node.h"

namespace zk::test {

// Calls element(name, attributes, value) for each element the free-form
// writer makes of node, in document order: a map's keys are elements, the
// entry "name@" holds the attributes of name (alone, it stands for an empty
// element, and value is null), a list's items are written one after another
// at the list's own level. attributes is null when there are none.
template <class F>
void ForEachXmlElement(const DataNode& node, F&& element) {
    if (node.isList()) {
        for (const NodeRef& item : node.list()) ForEachXmlElement(*item, element);
        return;
    }
    if (!node.isMap()) return;
    const MapValue& map = node.map();
    for (const MapValue::Entry& e : map) {
        std::string_view key = e.key.view();
        bool attributeKey = !key.empty() && key.back() == '@';
        std::string_view name = attributeKey ? key.substr(0, key.size() - 1) : key;
        if (attributeKey && map.find(name)) continue;  // written with its element
        const NodeRef* attributes = attributeKey ? &e.child : map.find(std::string(name) + "@");
        element(name, attributes ? attributes->get() : nullptr, attributeKey ? nullptr : e.child.get());
    }
}

}  // namespace zk::test
