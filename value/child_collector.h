// ChildCollector: the children of the containers a reader is building,
// innermost container last. Each container's children wait here and move into
// it in one piece when it closes, so its array ends at its exact size instead
// of growing step by step. The array itself is made when the container opens,
// at a size ShapeMemory guesses.
//
// It lives in value/, as a friend of the containers, rather than beside the
// readers in codec/: it sizes, fills and fits a container's array in place,
// which the containers' own interface deliberately does not offer, because a
// caller holding such an array could break what every container promises
// (handles that are never null, a map index that matches its entries, the
// strong guarantee on allocation failure). Keeping the helper next to the
// containers keeps those promises in one layer, with their tests.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "value/shape_memory.h"
#include "zk_data/value/data_node.h"

namespace zk {

class ChildCollector {
public:
    ChildCollector() = default;
    ChildCollector(const ChildCollector&) = delete;
    ChildCollector& operator=(const ChildCollector&) = delete;
    // Releases children never handed over (a reader that threw).
    ~ChildCollector();

    // A container at depth (the containers around it) opens: makes its array
    // at the guessed size, and returns where its children begin.
    size_t open(ListValue& list, uint32_t depth);
    size_t open(MapValue& map, uint32_t depth);
    // A fresh empty node for the next child; a map's child carries its key,
    // whose bytes must stay valid until its container closes.
    DataNode& add(std::string_view key = {});
    // Releases the last child (a map member that failed to read).
    void dropLast() noexcept;
    // Moves the children added since mark into the container, in order, and
    // fits its array. A key already in the map keeps its place and takes the
    // later value.
    void close(size_t mark, ListValue& list, uint32_t depth);
    void close(size_t mark, MapValue& map, uint32_t depth);

    // A list or map at depth read whole: opened, its children read by
    // readChildren(depth + 1), and closed whatever that returned.
    template <class Container, class ReadChildren>
    uint32_t read(Container& container, uint32_t depth, ReadChildren readChildren) {
        size_t mark = open(container, depth);
        uint32_t code = readChildren(depth + 1);
        close(mark, container, depth);
        return code;
    }

private:
    struct Child {
        std::string_view key;
        DataNode* node;
    };

    std::vector<Child> children_;
    ShapeMemory shapes_;
};

}  // namespace zk
