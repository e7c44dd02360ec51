// What each reader gives back for a tree its own writer wrote: the written
// tree mapped through the normalisation its format defines. equals never
// compares kinds, so none of these has to say which kind a reader gives.
#pragma once

#include <cctype>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/xml_elements.h"
#include "zk_data/value/data_node.h"
#include "zk_data/value/decimal.h"

namespace zk_fuzz {

using zk::DataNode;
using zk::MapValue;
using zk::NodeRef;
using zk::NodeType;
using zk::OptionFlags;
using zk::ValueKind;

inline std::string Decimal(int64_t v) {
    char digits[zk::kMaxInt64Digits];
    return std::string(digits, zk::FormatInt64(v, digits));
}

// None only equals None here: equals holds no two None nodes equal.
inline bool SameTree(const DataNode& got, const DataNode& expected) {
    return expected.isNone() ? got.isNone() : got.equals(expected);
}

// --- binary ----------------------------------------------------------------------

// The value an Int keeps through the width of its kind.
inline int64_t KeptByWidth(int64_t v, int32_t kind) {
    switch (kind) {
    case ValueKind::Int8: return static_cast<int8_t>(v);
    case ValueKind::UInt8: return static_cast<uint8_t>(v);
    case ValueKind::Int16: return static_cast<int16_t>(v);
    case ValueKind::UInt16: return static_cast<uint16_t>(v);
    case ValueKind::Int32: case ValueKind::NativeInt: return static_cast<int32_t>(v);
    case ValueKind::UInt32: case ValueKind::NativeUInt: return static_cast<uint32_t>(v);
    default: return v;
    }
}

// Binary, read into a copy of the written tree: an Int keeps the bits of its
// width, sign- or zero-extended by its kind; hexadecimal text comes back in
// lower case.
inline void BinaryReadBack(DataNode& root) {
    std::vector<DataNode*> work{&root};
    while (!work.empty()) {
        DataNode& n = *work.back();
        work.pop_back();
        if (n.isInt()) {
            n.setInt(KeptByWidth(n.num(), n.kind()), n.kind());
        } else if (n.isStr() && n.hasOption(OptionFlags::HexString)) {
            std::string text(n.str().view());
            for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            n.setStr(text, n.kind());
        } else if (n.isList()) {
            for (uint32_t i = 0; i < n.list().size(); ++i) work.push_back(n.list()[i].get());
        } else if (n.isMap()) {
            for (uint32_t i = 0; i < n.map().size(); ++i) work.push_back(n.map().entry(i).child.get());
        }
    }
}

// --- INI -------------------------------------------------------------------------

// INI: every value comes back as a string, an Int as its decimal text. A
// root without sections writes nothing, which reads back as None.
inline void IniReadBack(DataNode& root) {
    if (root.size() == 0) {
        root.reset();
        return;
    }
    for (uint32_t i = 0; i < root.map().size(); ++i) {
        DataNode& section = *root.map().entry(i).child;
        for (uint32_t j = 0; j < section.map().size(); ++j) {
            DataNode& value = *section.map().entry(j).child;
            if (value.isInt()) value.setStr(Decimal(value.num()), ValueKind::Binary);
        }
    }
}

// --- HTTP ------------------------------------------------------------------------

struct HttpStartLine {
    const char* key;
    const char* names[3];
    const char* defaults[3];
};
constexpr HttpStartLine kHttpRequest = {
    "Request-Line", {"Method", "Request-URI", "HTTP-Version"}, {"GET", "/", "HTTP/1.1"}};
constexpr HttpStartLine kHttpStatus = {
    "Status-Line", {"HTTP-Version", "Status-Code", "Reason-Phrase"}, {"HTTP/1.1", "200", "OK"}};

// The text a start-line field or header value is written as.
inline std::string HttpText(const DataNode& value) {
    return value.isInt() ? Decimal(value.num()) : std::string(value.str().view());
}

// HTTP: the reader always builds the structured form: the start line that
// was written (the default request line when there is none; a request line
// wins over a status line), every field a string and missing or empty ones
// their defaults; the headers that were written (an empty value writes none,
// an Int its decimal text); and the body, unless it is empty or the root says
// there is none. Other keys are no part of the message. False when raw text
// was written: it reads back as whatever message it holds.
inline bool HttpReadBack(const DataNode& written, DataNode& expected) {
    expected.reset();
    if (!written.isMap()) return false;
    const MapValue& root = written.map();
    const HttpStartLine& form = root.find("Request-Line") || !root.find("Status-Line") ? kHttpRequest : kHttpStatus;
    DataNode& fields = expected.mapGet(form.key);
    const NodeRef* line = root.find(form.key);
    if (line && (*line)->isStr()) return false;
    for (int i = 0; i < 3; ++i) {
        const NodeRef* field = line ? (*line)->map().find(form.names[i]) : nullptr;
        std::string text = field ? HttpText(**field) : std::string();
        fields.mapGet(form.names[i]).setStr(text.empty() ? form.defaults[i] : text, ValueKind::Binary);
    }
    if (const NodeRef* header = root.find("Header")) {
        if ((*header)->isStr()) return false;
        for (const MapValue::Entry& e : (*header)->map()) {
            std::string text = HttpText(*e.child);
            if (!text.empty()) expected.mapGet("Header").mapGet(e.key.view()).setStr(text, ValueKind::Binary);
        }
    }
    const NodeRef* body = root.find("Body");
    if (body && !written.hasOption(OptionFlags::HttpNoBody) && (*body)->size())
        expected.mapGet("Body").setStr((*body)->str().view(), ValueKind::Unspecified);
    return true;
}

// --- free-form XML ---------------------------------------------------------------

// One element as the free-form writer emits it and the reader meets it.
struct XmlElement {
    std::string name;
    std::vector<std::pair<std::string, std::string>> attributes;
    std::vector<XmlElement> children;
    std::string text;  // what the reader collects when there are no children
    bool cdata = false;
};

// Free-form text and attribute values end at their first zero byte.
inline std::string UpToZero(std::string_view s) { return std::string(s.substr(0, s.find('\0'))); }

// The elements the free-form writer makes of a map or a list. An element
// whose map or list yields no element has no text either: no line break is
// written inside it.
inline void XmlElements(const DataNode& node, std::vector<XmlElement>& out) {
    zk::test::ForEachXmlElement(node, [&](std::string_view name, const DataNode* attributes, const DataNode* value) {
        XmlElement element;
        element.name = name;
        if (attributes)
            for (const MapValue::Entry& a : attributes->map())
                element.attributes.emplace_back(a.key.view(),
                                                a.child->isInt() ? Decimal(a.child->num()) : UpToZero(a.child->str().view()));
        if (value) {
            const DataNode& v = *value;
            if (v.isInt()) {
                element.text = Decimal(v.num());
            } else if (v.isStr()) {
                element.cdata = v.kind() == ValueKind::Binary && v.size();
                element.text = element.cdata ? std::string(v.str().view()) : UpToZero(v.str().view());
            } else {
                XmlElements(v, element.children);
            }
        }
        out.push_back(std::move(element));
    });
}

// The second element of one name turns the map into a list of one-entry maps
// in document order, each with its attributes.
inline void XmlRepeatedElement(DataNode& top) {
    DataNode old(top);
    top.reset();
    uint32_t next = 0;
    for (const MapValue::Entry& e : old.map()) {
        std::string key(e.key.view());
        if (!key.empty() && key.back() == '@') continue;
        DataNode& item = top.listAt(next++);
        if (const NodeRef* attributes = old.map().find(key + "@")) item.mapGet(key + "@").assign(**attributes);
        item.mapGet(key).assign(*e.child);
    }
}

// What the free-form reader builds in top from elements.
inline void XmlBuild(DataNode& top, const std::vector<XmlElement>& elements) {
    for (const XmlElement& e : elements) {
        if (top.isMap() && top.hasKey(std::string_view(e.name))) XmlRepeatedElement(top);
        DataNode& parent = top.isList() ? top.listAt(top.size()) : top;
        if (!e.attributes.empty()) {
            DataNode& attributes = parent.mapGet(std::string_view(e.name + "@"));
            for (const auto& [name, value] : e.attributes) attributes.mapGet(std::string_view(name)).setStr(value, ValueKind::Binary);
        }
        DataNode& child = parent.mapGet(std::string_view(e.name));
        if (e.children.empty())
            child.setStr(e.text, e.cdata ? ValueKind::Binary : ValueKind::Text);
        else
            XmlBuild(child, e.children);
    }
}

// Free-form XML (UTF-8 or GBK alike): the reader's tree of the elements the
// writer emits. False when those are not exactly one root element: such a
// document cannot be read back whole, so the writer must refuse it.
inline bool FreeFormReadBack(const DataNode& written, DataNode& expected) {
    expected.reset();
    std::vector<XmlElement> roots;
    if (written.isMap() || written.isList()) XmlElements(written, roots);
    if (roots.size() != 1) return false;
    XmlBuild(expected, roots);
    return true;
}

}  // namespace zk_fuzz
