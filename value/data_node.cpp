#include "zk_data/value/data_node.h"

#include <new>

#include "value/tree_ops.h"
#include "zk_data/text/text_convert.h"
#include "zk_data/value/decimal.h"

namespace zk {

// --- NodeRef ---------------------------------------------------------------

NodeRef::NodeRef() : node_(TreeOps::newNode()) {}

NodeRef::NodeRef(const DataNode& src) : NodeRef() { node_->assign(src); }

NodeRef::NodeRef(const NodeRef& other) : NodeRef(*other.node_) {}

NodeRef& NodeRef::operator=(const NodeRef& other) {
    node_->assign(*other.node_);
    return *this;
}

void NodeRef::release() noexcept {
    TreeOps::releaseNode(node_);
    node_ = nullptr;
}

void NodeRef::share(NodeRef& target) const {
    if (target.node_ == node_) return;
    ++node_->refs_;
    target.release();
    target.node_ = node_;
}

uint32_t NodeRef::useCount() const noexcept { return node_ ? node_->refs_ : 0; }

// --- DataNode --------------------------------------------------------------

DataNode::DataNode(const DataNode& other) : DataNode() { TreeOps::copyInto(*this, other); }

const DataNode& DataNode::nullNode() noexcept {
    static const DataNode node;
    return node;
}

bool DataNode::setFormat(uint8_t f) noexcept {
    if (!FormatId::isValid(f)) return false;
    format_ = f;
    return true;
}

void DataNode::reset() noexcept {
    if (isNone()) return;
    if (isStr() || isInt()) {
        if (isStr()) str_.~ByteString();
        type8_ = 0;
        kind_ = 0;
        num_ = 0;
        return;
    }
    TreeOps::destroyValue(*this);
}

void DataNode::construct(NodeType t) noexcept {
    switch (t) {
    case NodeType::Str: new (&str_) ByteString(); break;
    case NodeType::Int: num_ = 0; break;
    case NodeType::List: new (&list_) ListValue(); break;
    case NodeType::Map: new (&map_) MapValue(); break;
    default: return;
    }
    type8_ = static_cast<uint8_t>(t);
}

void DataNode::takeFrom(DataNode& src) noexcept {
    type8_ = src.type8_;
    kind_ = src.kind_;
    format_ = src.format_;
    options_ = src.options_;
    // Every value type is trivially relocatable: its bytes can simply move.
    std::memcpy(static_cast<void*>(&str_), &src.str_, sizeof(str_));
    src.type8_ = 0;
    src.kind_ = 0;
}

void DataNode::replaceValue(DataNode& fresh) noexcept {
    reset();
    type8_ = fresh.type8_;
    kind_ = fresh.kind_;
    std::memcpy(static_cast<void*>(&str_), &fresh.str_, sizeof(str_));
    fresh.type8_ = 0;
    fresh.kind_ = 0;
}

void DataNode::clear() {
    switch (type()) {
    case NodeType::Str: str_.clear(); break;
    case NodeType::Int: num_ = 0; break;
    case NodeType::List: list_.clear(); break;
    case NodeType::Map: map_.clear(); break;
    default: break;
    }
}

bool DataNode::setType(int32_t t) {
    if (t < static_cast<int32_t>(NodeType::Str) || t > static_cast<int32_t>(NodeType::Map)) return false;
    if (type8_ == t) return true;
    reset();
    construct(static_cast<NodeType>(t));
    return true;
}

bool DataNode::setKind(int32_t k) noexcept {
    bool fits = (isInt() && ValueKind::isIntKind(k)) || (isStr() && ValueKind::isStrKind(k));
    if (fits) kind_ = k;
    return fits;
}

void DataNode::setInt(int64_t v, int32_t k) noexcept {
    if (!isInt()) {
        reset();
        construct(NodeType::Int);
    }
    num_ = v;
    kind_ = k;
}

void DataNode::setStr(std::string_view bytes, int32_t k) {
    // The bytes may come from inside this node's own tree; copy them first.
    if (!isStr()) {
        ByteString copy(bytes);
        reset();
        new (&str_) ByteString(std::move(copy));
        type8_ = static_cast<uint8_t>(NodeType::Str);
    } else {
        str_.assign(bytes);
    }
    kind_ = k;
}

void DataNode::setStr(const char* s) { setStr(keyView(s), ValueKind::Text); }

void DataNode::setStrW(const char16_t* s) {
    ByteString utf8;
    WideToUtf8(s, WideLength(s), utf8);
    reset();
    new (&str_) ByteString(std::move(utf8));
    type8_ = static_cast<uint8_t>(NodeType::Str);
    kind_ = ValueKind::Text;
}

ByteString& DataNode::asStr() {
    if (!isStr()) {
        reset();
        construct(NodeType::Str);
    }
    return str_;
}

int64_t& DataNode::asInt() {
    if (!isInt()) {
        reset();
        construct(NodeType::Int);
    }
    return num_;
}

ListValue& DataNode::asList() {
    if (!isList()) {
        reset();
        construct(NodeType::List);
    }
    return list_;
}

MapValue& DataNode::asMap() {
    if (!isMap()) {
        reset();
        construct(NodeType::Map);
    }
    return map_;
}

const ByteString& DataNode::strOrEmpty() const noexcept {
    static const ByteString empty;
    return isStr() ? str_ : empty;
}

int64_t DataNode::toInt64() const noexcept {
    if (isInt()) return num_;
    if (isStr()) return ParseLeadingInt64(str_.view());
    return 0;
}

bool DataNode::strEquals(const char* s) const noexcept { return isStr() && str_.view() == keyView(s); }

uint32_t DataNode::size() const noexcept {
    switch (type()) {
    case NodeType::Str: return static_cast<uint32_t>(str_.size());
    case NodeType::List: return list_.size();
    case NodeType::Map: return map_.size();
    default: return 0;
    }
}

void DataNode::assign(const DataNode& src) {
    if (&src == this) return;
    if (src.isNone()) {
        reset();
        return;
    }
    // Copy before resetting: src may be one of this node's own descendants.
    DataNode copy;
    TreeOps::copyInto(copy, src);
    reset();
    takeFrom(copy);
}

void DataNode::moveFrom(DataNode& src) noexcept {
    if (&src == this) return;
    reset();
    if (!src.isNone()) takeFrom(src);
}

void DataNode::replaceWith(DataNode& src) noexcept {
    if (&src == this) return;
    reset();
    takeFrom(src);
}

bool DataNode::equals(const DataNode& other) const { return TreeOps::equal(*this, other); }

// A node that must change type first gets its new value built aside: the key
// may lie inside the value about to go, and a failure leaves that value as
// it was.
DataNode& DataNode::mapGet(std::string_view key) {
    if (isMap()) return *map_.getOrInsert(key);
    DataNode fresh;
    DataNode& child = *fresh.asMap().getOrInsert(key);
    replaceValue(fresh);
    return child;
}

const DataNode& DataNode::mapFind(std::string_view key) {
    return isMap() ? *map_.getOrInsert(key) : nullNode();
}

bool DataNode::hasKey(std::string_view key) const noexcept { return isMap() && map_.contains(key); }

bool DataNode::keyAt(uint32_t i, ByteString& out) const {
    if (isMap()) return map_.keyAt(i, out);
    out.clear();
    return false;
}

DataNode& DataNode::listAt(uint32_t i) {
    if (isList()) return *list_.at(i);
    DataNode fresh;
    DataNode& item = *fresh.asList().at(i);
    replaceValue(fresh);
    return item;
}

}  // namespace zk
