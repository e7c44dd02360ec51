// ChildCollector: the children of the containers a reader is building,
// innermost container last. Each container's children wait here and move into
// it in one piece when it closes, so its array ends at its exact size instead
// of growing step by step.
//
// The array itself is made when the container opens, before any of its
// children's arrays and strings, so that a tree lies in memory in the order
// every writer and walk visits it: made at the close instead, each array sat
// after everything below it, and writing a large tree read that way took half
// again as long. Its size is a guess: the size of the last container of the
// same type closed at the same depth. Documents repeat their shapes (a list of
// records), so the guess is mostly exact; when it is not, the close fits the
// array to its size.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "value/data_node.h"

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

private:
    struct Child {
        std::string_view key;
        DataNode* node;
    };

    uint32_t& lastSize(uint32_t depth, bool map);
    static void fit(ListValue& list, uint32_t n);
    static void fit(MapValue& map, uint32_t n);

    std::vector<Child> children_;
    std::vector<uint32_t> lastSizes_;  // by depth, list then map
};

}  // namespace zk
