#include "value/tree_ops.h"

#include <cstdlib>
#include <cstring>
#include <new>
#include <utility>
#include <vector>

namespace zk {

// ---------------------------------------------------------------------------
// Release. A dying container does not release its children recursively: each
// child whose count drops to zero is pushed on a list threaded through the
// child itself (its kind and options words, meaningless once it is dying),
// and the list is drained in a loop. No allocation, no recursion.

class TreeOps::Releaser {
public:
    void dropValue(DataNode& node) noexcept {
        switch (node.type()) {
        case NodeType::Str: node.str_.~ByteString(); break;
        case NodeType::List: dropList(node.list_); break;
        case NodeType::Map: dropMap(node.map_); break;
        default: break;
        }
        node.type8_ = 0;
        node.kind_ = 0;
        std::memset(static_cast<void*>(&node.str_), 0, sizeof(node.str_));
    }

    void dropList(ListValue& list) noexcept {
        const uint32_t n = list.size_;
        for (uint32_t i = 0; i < n && i < kAhead; ++i) Prefetch(list.items_[i].node_);
        for (uint32_t i = 0; i < n; ++i) {
            if (i + kAhead < n) Prefetch(list.items_[i + kAhead].node_);
            dropRef(list.items_[i].node_);
        }
        dropRef(list.prototype_.node_);
        std::free(list.items_);
        list.items_ = nullptr;
        list.size_ = 0;
        list.capacity_ = 0;
        list.prototypeFromFirst_ = 0;
        list.prototype_.node_ = nullptr;
    }

    void dropMap(MapValue& map) noexcept {
        const uint32_t n = map.size_;
        for (uint32_t i = 0; i < n && i < kAhead; ++i) Prefetch(map.entries_[i].child.node_);
        for (uint32_t i = 0; i < n; ++i) {
            if (i + kAhead < n) Prefetch(map.entries_[i + kAhead].child.node_);
            map.entries_[i].key.~ByteString();
            dropRef(map.entries_[i].child.node_);
        }
        std::free(map.entries_);
        std::free(map.index_);
        map.entries_ = nullptr;
        map.index_ = nullptr;
        map.size_ = map.capacity_ = 0;
    }

    void dropRef(DataNode* node) noexcept {
        if (!node || --node->refs_ != 0) return;
        if (node->isList() || node->isMap()) {
            // Its array is what draining it reads first.
            Prefetch(node->isList() ? static_cast<void*>(node->list_.items_) : node->map_.entries_);
            std::memcpy(&node->kind_, &pending_, sizeof(pending_));
            pending_ = node;
        } else {
            deleteNode(node);  // a leaf: its destructor frees at most one string
        }
    }

    void drain() noexcept {
        while (DataNode* node = pending_) {
            std::memcpy(&pending_, &node->kind_, sizeof(pending_));
            dropValue(*node);
            deleteNode(node);
        }
    }

private:
    // Children live anywhere in the heap: touching each one's count is a
    // cache miss, so the next few are fetched while this one is dropped.
    static constexpr uint32_t kAhead = 8;
    static void Prefetch(const void* p) noexcept { __builtin_prefetch(p, 1); }
    DataNode* pending_ = nullptr;
    static_assert(sizeof(DataNode*) <= sizeof(int32_t) + sizeof(uint32_t));
};

void TreeOps::releaseNode(DataNode* node) noexcept {
    Releaser r;
    r.dropRef(node);
    r.drain();
}

void TreeOps::destroyValue(DataNode& node) noexcept {
    Releaser r;
    r.dropValue(node);
    r.drain();
}

void ListValue::releaseLast(uint32_t n) noexcept {
    TreeOps::Releaser r;
    while (size_ > n) r.dropRef(items_[--size_].node_);
    r.drain();
}

void ListValue::destroy() noexcept {
    TreeOps::Releaser r;
    r.dropList(*this);
    r.drain();
}

void MapValue::destroy() noexcept {
    TreeOps::Releaser r;
    r.dropMap(*this);
    r.drain();
}

// ---------------------------------------------------------------------------
// Copy. Leaves are copied on the spot; each container child is created empty
// and queued, and the queue is drained in a loop. The partial tree is always
// well formed, so a failed allocation leaves something destroyable.

class TreeOps::Copier {
public:
    DataNode* child(const DataNode& src) {
        DataNode* node = newNode();
        header(*node, src);
        return node;
    }

    // Copies src's header and leaf value into the None node dst; a container
    // is created empty and queued for its children.
    void header(DataNode& dst, const DataNode& src) {
        if (src.isNone()) return;  // a copy of None is a fresh node
        dst.kind_ = src.kind_;
        dst.format_ = src.format_;
        dst.options_ = src.options_;
        switch (src.type()) {
        case NodeType::Str: new (&dst.str_) ByteString(src.str_); break;
        case NodeType::Int: dst.num_ = src.num_; break;
        case NodeType::List: new (&dst.list_) ListValue(); break;
        case NodeType::Map: new (&dst.map_) MapValue(); break;
        default: break;
        }
        dst.type8_ = src.type8_;
        if (src.isList() || src.isMap()) work_.emplace_back(&src, &dst);
    }

    void list(ListValue& dst, const ListValue& src) {
        dst.reserve(src.size_);
        for (uint32_t i = 0; i < src.size_; ++i) {
            dst.items_[i].node_ = child(*src.items_[i]);
            dst.size_ = i + 1;
        }
        // The copy's prototype is a copy of the first item: recorded, made on demand.
        if (src.size_)
            dst.prototypeFromFirst_ = 1;
        else if (src.prototype_.node_)
            dst.prototype_.node_ = child(*src.prototype_.node_);
    }

    void map(MapValue& dst, const MapValue& src) {
        dst.reserve(src.size_);
        for (uint32_t i = 0; i < src.size_; ++i) {
            MapValue::Entry& e = dst.entries_[i];
            new (&e.key) ByteString(src.entries_[i].key);
            e.child.node_ = child(*src.entries_[i].child);
            dst.size_ = i + 1;
        }
        if (src.index_) {
            size_t bytes = (size_t{src.indexMask()} + 2) * sizeof(MapValue::Slot);
            dst.index_ = static_cast<MapValue::Slot*>(std::malloc(bytes));
            if (!dst.index_) throw std::bad_alloc();
            std::memcpy(dst.index_, src.index_, bytes);
        }
    }

    void drain() {
        while (!work_.empty()) {
            auto [src, dst] = work_.back();
            work_.pop_back();
            if (src->isList())
                list(dst->list_, src->list_);
            else
                map(dst->map_, src->map_);
        }
    }

private:
    std::vector<std::pair<const DataNode*, DataNode*>> work_;
};

void TreeOps::copyInto(DataNode& dst, const DataNode& src) {
    Copier c;
    c.header(dst, src);
    c.drain();
}

void TreeOps::copyList(ListValue& dst, const ListValue& src) {
    Copier c;
    c.list(dst, src);
    c.drain();
}

void TreeOps::copyMap(MapValue& dst, const MapValue& src) {
    Copier c;
    c.map(dst, src);
    c.drain();
}

// ---------------------------------------------------------------------------
// Equality. Leaves are compared on the spot, container pairs are queued.
// Maps compare by key set: with unique keys that is the same as walking both
// in sorted key order side by side.

namespace {

bool sameLeaf(const DataNode& a, const DataNode& b) {
    return a.isStr() ? a.str() == b.str() : a.num() == b.num();
}

}  // namespace

bool TreeOps::equal(const DataNode& a, const DataNode& b) {
    std::vector<std::pair<const DataNode*, const DataNode*>> work;
    auto visit = [&work](const DataNode& x, const DataNode& y) {
        if (&x == &y) return true;
        if (x.type() != y.type() || x.isNone()) return false;
        if (x.isStr() || x.isInt()) return sameLeaf(x, y);
        if (x.size() != y.size()) return false;
        work.emplace_back(&x, &y);
        return true;
    };
    if (!visit(a, b)) return false;
    while (!work.empty()) {
        auto [x, y] = work.back();
        work.pop_back();
        if (x->isList()) {
            const ListValue& lx = x->list();
            const ListValue& ly = y->list();
            for (uint32_t i = 0; i < lx.size(); ++i)
                if (!visit(*lx[i], *ly[i])) return false;
        } else {
            const MapValue& my = y->map();
            for (const MapValue::Entry& e : x->map()) {
                const NodeRef* other = my.find(e.key);
                if (!other || !visit(*e.child, **other)) return false;
            }
        }
    }
    return true;
}

}  // namespace zk
