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
// mean nothing once it is dying. Depth first takes each subtree apart while
// its nodes are still in cache from being reached; the queue this replaced
// reached every item of a wide list first and came back to each long after.

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
        while (i < n) {
            if (DataNode* dying = dropChild(list.items_[i++].node_)) return dying;
        }
        return nullptr;
    }

    static DataNode* stepMap(MapValue& map, uint32_t& i) noexcept {
        const uint32_t n = map.size_;
        while (i < n) {
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
// Copy, depth first on an explicit stack of container pairs, each with the
// position of its next child. Every array is reserved at its final size
// before its children are made, and a child counts as part of the copy as
// soon as it exists, so the partial tree is always well formed and a failed
// allocation leaves something destroyable.

class TreeOps::Copier {
public:
    // Copies src's header and leaf value into the None node dst; a container
    // is created empty and its children are copied by drain().
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
        if (src.isList()) list(dst.list_, src.list_);
        else if (src.isMap()) map(dst.map_, src.map_);
    }

    void list(ListValue& dst, const ListValue& src) {
        dst.reserve(src.size_);
        stack_.push_back({&src, &dst, 0, true});
    }

    void map(MapValue& dst, const MapValue& src) {
        dst.reserve(src.size_);
        stack_.push_back({&src, &dst, 0, false});
    }

    void drain() {
        while (!stack_.empty()) {
            // A child that is a container pushes its own frame: nothing
            // below reads the frame after the child is made.
            Frame& f = stack_.back();
            if (f.list ? !nextItem(f) : !nextEntry(f)) finish();
        }
    }

private:
    struct Frame {
        const void* src;
        void* dst;
        uint32_t next;
        bool list;
    };
    bool nextItem(Frame& f) {
        auto& src = *static_cast<const ListValue*>(f.src);
        auto& dst = *static_cast<ListValue*>(f.dst);
        const uint32_t i = f.next;
        if (i == src.size_) return false;
        f.next = i + 1;
        DataNode* node = newNode();
        dst.items_[i].node_ = node;
        dst.size_ = i + 1;
        header(*node, *src.items_[i]);
        return true;
    }

    bool nextEntry(Frame& f) {
        auto& src = *static_cast<const MapValue*>(f.src);
        auto& dst = *static_cast<MapValue*>(f.dst);
        const uint32_t i = f.next;
        if (i == src.size_) return false;
        f.next = i + 1;
        DataNode* node = newNode();
        MapValue::Entry& e = dst.entries_[i];
        try {
            new (&e.key) ByteString(src.entries_[i].key);
        } catch (...) {
            deleteNode(node);
            throw;
        }
        e.child.node_ = node;
        dst.size_ = i + 1;
        header(*node, *src.entries_[i].child);
        return true;
    }

    // Pops the top frame once its children are all there.
    void finish() {
        Frame f = stack_.back();
        stack_.pop_back();
        if (f.list) {
            auto& src = *static_cast<const ListValue*>(f.src);
            auto& dst = *static_cast<ListValue*>(f.dst);
            // The copy's prototype is a copy of the first item: recorded, made on demand.
            if (src.size_) {
                dst.prototypeFromFirst_ = 1;
            } else if (src.prototype_.node_) {
                dst.prototype_.node_ = newNode();
                header(*dst.prototype_.node_, *src.prototype_.node_);
            }
            return;
        }
        auto& src = *static_cast<const MapValue*>(f.src);
        auto& dst = *static_cast<MapValue*>(f.dst);
        if (src.index_) {
            size_t bytes = (size_t{src.indexMask()} + 2) * sizeof(MapValue::Slot);
            dst.index_ = static_cast<MapValue::Slot*>(std::malloc(bytes));
            if (!dst.index_) throw std::bad_alloc();
            std::memcpy(dst.index_, src.index_, bytes);
        }
    }

    std::vector<Frame> stack_;
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
// Equality, depth first on an explicit stack of container pairs, each with
// the position of its next child pair. Maps compare by key set: with unique
// keys that is the same as walking both in sorted key order side by side.
// Two maps built alike hold their keys in the same order, so the entry at the
// same position is tried before a search.

namespace {

// Type, leaf value, or number of children.
bool SameSurface(const DataNode& a, const DataNode& b) {
    if (a.type() != b.type() || a.isNone()) return false;
    if (a.isStr()) return a.str() == b.str();
    if (a.isInt()) return a.num() == b.num();
    return a.size() == b.size();
}

}  // namespace

bool TreeOps::equal(const DataNode& a, const DataNode& b) {
    if (&a == &b) return true;
    if (!SameSurface(a, b)) return false;
    if (a.isStr() || a.isInt()) return true;
    struct Frame {
        const DataNode* x;
        const DataNode* y;
        uint32_t next;
    };
    std::vector<Frame> stack{{&a, &b, 0}};
    while (!stack.empty()) {
        Frame& f = stack.back();
        const DataNode* cx;
        const DataNode* cy;
        const uint32_t i = f.next;
        if (f.x->isList()) {
            const ListValue& lx = f.x->list();
            if (i == lx.size()) {
                stack.pop_back();
                continue;
            }
            const ListValue& ly = f.y->list();
            cx = lx[i].get();
            cy = ly[i].get();
        } else {
            const MapValue& mx = f.x->map();
            if (i == mx.size()) {
                stack.pop_back();
                continue;
            }
            const MapValue& my = f.y->map();
            const MapValue::Entry& e = mx.entry(i);
            const NodeRef* other = my.entry(i).key == e.key ? &my.entry(i).child : my.find(e.key);
            if (!other) return false;
            cx = e.child.get();
            cy = other->get();
        }
        f.next = i + 1;
        if (cx == cy) continue;
        if (!SameSurface(*cx, *cy)) return false;
        if (cx->isList() || cx->isMap()) stack.push_back({cx, cy, 0});  // f is not used past here
    }
    return true;
}

}  // namespace zk
