// ListValue: the value of a List node. Items are handles in a growable array;
// the prototype is the element template that the binary reader copies when it
// grows a list.
//
// A copy's prototype is a copy of the source's first item as it was when the
// list was copied. Made eagerly, that rule copies a list nested d levels deep
// 2^d times over, so the copy only records that its prototype is "a copy of
// my first item" and takes that copy before anything can change the first
// item: when the prototype is asked for, and whenever item 0 is handed out
// for writing (at, the non-const operator[] and begin) or moved or released
// by this class. Each pending prototype thus costs one copy of one item, and
// only if it is ever needed.
//
// An element's node stays bound to its position: insertAt and removeAt move
// values between the existing nodes rather than moving nodes, so a host object
// over position i keeps seeing position i.
#pragma once

#include <cstdint>

#include "zk_data/value/node_ref.h"

namespace zk {

class ListValue {
public:
    // Index from which at() no longer grows the list.
    static constexpr uint32_t kMaxGrowIndex = 0x1FFFFFFF;

    ListValue() noexcept : items_(nullptr), size_(0), capacity_(0), prototypeFromFirst_(0), prototype_(NodeRef::Adopt{}, nullptr) {}
    // Copies deeply; the copy's prototype is a copy of the first item when the
    // source has items, else of the source's prototype.
    ListValue(const ListValue& other);
    ListValue& operator=(const ListValue& other);
    ~ListValue() { destroy(); }

    uint32_t size() const noexcept { return size_; }
    bool empty() const noexcept { return size_ == 0; }

    // Item i, growing the list with fresh empty nodes when i is past the end
    // but below kMaxGrowIndex; otherwise the process-wide scratch node.
    NodeRef& at(uint32_t i);
    // Item i without growth; i must be below size(). Writable access to item
    // 0 settles a pending prototype first, so it can throw std::bad_alloc.
    NodeRef& operator[](uint32_t i) {
        if (i == 0) settlePrototype();
        return items_[i];
    }
    const NodeRef& operator[](uint32_t i) const noexcept { return items_[i]; }
    NodeRef* begin() {
        settlePrototype();
        return items_;
    }
    NodeRef* end() noexcept { return items_ + size_; }
    const NodeRef* begin() const noexcept { return items_; }
    const NodeRef* end() const noexcept { return items_ + size_; }

    // Appends a fresh empty node and returns it.
    DataNode& append();
    // Appends a deep copy of value (which may be one of the items) and
    // returns it.
    DataNode& appendCopy(const DataNode& value);
    // Inserts a deep copy of value before item i (i == size() appends).
    bool insertAt(uint32_t i, const NodeRef& value);
    bool insertAt(uint32_t i, const DataNode& value);
    bool removeAt(uint32_t i);
    // Shrinks (releasing the rest) or grows with fresh empty nodes.
    void resize(uint32_t n);
    // Releases every item; the prototype stays.
    void clear() { shrinkTo(0); }

    // The element template, created on first use: a copy of the first item as
    // it was when this list was copied, else an empty node.
    NodeRef& prototype();

    // The scratch node returned by at() for unreachable indices.
    static NodeRef& scratch();

private:
    // The tree operations and two reader helpers (value/child_collector.h,
    // value/shape_memory.h) work on the arrays directly: see why there.
    friend class TreeOps;
    friend class ChildCollector;
    friend class ShapeMemory;

    static constexpr uint32_t kMaxCapacity = 0x7FFFFFFF;

    void reserve(uint32_t n);
    void shrinkTo(uint32_t n);
    void releaseLast(uint32_t n) noexcept;
    void destroy() noexcept;
    // Makes a pending prototype before the first item can change.
    void settlePrototype() {
        if (prototypeFromFirst_) prototype();
    }

    NodeRef* items_;
    uint32_t size_;
    uint32_t capacity_ : 31;
    uint32_t prototypeFromFirst_ : 1;  // set only while size_ > 0
    NodeRef prototype_;                // null until first needed
};

static_assert(sizeof(ListValue) <= 24, "ListValue must fit the node's value slot");

}  // namespace zk
