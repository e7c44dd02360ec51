#include "value/tree_ops.h"

#include <cstdlib>
#include <cstring>
#include <new>
#include <utility>
#include <vector>

namespace zk {

// ---------------------------------------------------------------------------
// Release. A dying subtree is taken apart depth first without recursion and
// without allocating: a dying container records its parent in its own kind
// and options words and where to resume in its capacity field, all of which
// mean nothing once it is dying. Depth first keeps each subtree's nodes in
// cache from the moment they are fetched ahead to the moment they are freed.

class TreeOps::Releaser {
public:
    // Drops one handle's share of node; the last one destroys its subtree.
    void release(DataNode* node) noexcept {
        if (DataNode* dying = dropChild(node)) dismantle(dying);
    }

    void clearList(ListValue& list) noexcept {
        uint32_t i = 0;
        while (DataNode* dying = stepList(list, i)) dismantle(dying);
        freeList(list);
    }

    void clearMap(MapValue& map) noexcept {
        uint32_t i = 0;
        while (DataNode* dying = stepMap(map, i)) dismantle(dying);
        freeMap(map);
    }

private:
    // Children live anywhere in the heap and each one's count is a cache
    // miss: a container fetches the child kAhead places on, and the array
    // of the one kAhead / 2 places on, before it drops the current one.
    static constexpr uint32_t kAhead = 8;
    static void Prefetch(const void* p) noexcept { __builtin_prefetch(p, 1); }
    static void PrefetchArray(const DataNode* n) noexcept {
        if (n->isList()) Prefetch(n->list_.items_);
        else if (n->isMap()) Prefetch(n->map_.entries_);
    }

    // The child if this drop kills a container; a dying leaf goes at once.
    static DataNode* dropChild(DataNode* node) noexcept {
        if (!node || --node->refs_ != 0) return nullptr;
        if (node->isList() || node->isMap()) return node;
        deleteNode(node);  // a leaf: its destructor frees at most one string
        return nullptr;
    }

    // Drops children from position i on; stops at a dying container, which
    // it returns with i past it, or returns null when none are left.
    static DataNode* stepList(ListValue& list, uint32_t& i) noexcept {
        if (DataNode* dying = dropChild(std::exchange(list.prototype_.node_, nullptr))) return dying;
        const uint32_t n = list.size_;
        if (i == 0)
            for (uint32_t k = 0; k < n && k < kAhead; ++k) Prefetch(list.items_[k].node_);
        while (i < n) {
            if (i + kAhead < n) Prefetch(list.items_[i + kAhead].node_);
            if (i + kAhead / 2 < n) PrefetchArray(list.items_[i + kAhead / 2].node_);
            if (DataNode* dying = dropChild(list.items_[i++].node_)) return dying;
        }
        return nullptr;
    }

    static DataNode* stepMap(MapValue& map, uint32_t& i) noexcept {
        const uint32_t n = map.size_;
        if (i == 0)
            for (uint32_t k = 0; k < n && k < kAhead; ++k) Prefetch(map.entries_[k].child.node_);
        while (i < n) {
            if (i + kAhead < n) Prefetch(map.entries_[i + kAhead].child.node_);
            if (i + kAhead / 2 < n) PrefetchArray(map.entries_[i + kAhead / 2].child.node_);
            MapValue::Entry& e = map.entries_[i++];
            e.key.~ByteString();
            if (DataNode* dying = dropChild(e.child.node_)) return dying;
        }
        return nullptr;
    }

    static void freeList(ListValue& list) noexcept {
        std::free(list.items_);
        list.items_ = nullptr;
        list.size_ = 0;
        list.capacity_ = 0;
        list.prototypeFromFirst_ = 0;
    }

    static void freeMap(MapValue& map) noexcept {
        std::free(map.entries_);
        std::free(map.index_);
        map.entries_ = nullptr;
        map.index_ = nullptr;
        map.size_ = map.capacity_ = 0;
    }

    static DataNode* parentOf(const DataNode* node) noexcept {
        DataNode* parent;
        std::memcpy(&parent, &node->kind_, sizeof(parent));
        return parent;
    }
    static void setParent(DataNode* node, DataNode* parent) noexcept {
        std::memcpy(&node->kind_, &parent, sizeof(parent));
    }
    static uint32_t resumeAt(const DataNode* node) noexcept {
        return node->isList() ? node->list_.capacity_ : node->map_.capacity_;
    }
    static void setResume(DataNode* node, uint32_t i) noexcept {
        if (node->isList()) node->list_.capacity_ = i;
        else node->map_.capacity_ = i;
    }

    // Destroys the dying heap container top and every child of it that dies.
    static void dismantle(DataNode* top) noexcept {
        DataNode* node = top;
        setParent(node, nullptr);
        setResume(node, 0);
        for (;;) {
            uint32_t i = resumeAt(node);
            DataNode* child = node->isList() ? stepList(node->list_, i) : stepMap(node->map_, i);
            if (child) {
                setResume(node, i);
                setParent(child, node);
                setResume(child, 0);
                node = child;
                continue;
            }
            DataNode* parent = parentOf(node);
            if (node->isList()) freeList(node->list_);
            else freeMap(node->map_);
            node->type8_ = 0;
            node->kind_ = 0;
            deleteNode(node);
            if (!parent) return;
            node = parent;
        }
    }

    static_assert(sizeof(DataNode*) <= sizeof(int32_t) + sizeof(uint32_t));
};

void TreeOps::releaseNode(DataNode* node) noexcept { Releaser().release(node); }

void TreeOps::destroyValue(DataNode& node) noexcept {
    switch (node.type()) {
    case NodeType::Str: node.str_.~ByteString(); break;
    case NodeType::List: Releaser().clearList(node.list_); break;
    case NodeType::Map: Releaser().clearMap(node.map_); break;
    default: break;
    }
    node.type8_ = 0;
    node.kind_ = 0;
    std::memset(static_cast<void*>(&node.str_), 0, sizeof(node.str_));
}

void ListValue::releaseLast(uint32_t n) noexcept {
    TreeOps::Releaser r;
    while (size_ > n) r.release(items_[--size_].node_);
}

void ListValue::destroy() noexcept { TreeOps::Releaser().clearList(*this); }

void MapValue::destroy() noexcept { TreeOps::Releaser().clearMap(*this); }

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
