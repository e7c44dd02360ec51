// ChildCollector: the children of the containers a reader is building,
// innermost container last. Each container's children wait here and move into
// it in one piece when it closes, so its array is allocated once, at its final
// size, instead of growing step by step.
#pragma once

#include <cstddef>
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

    // Where the children of a container opened now begin.
    size_t mark() const noexcept { return children_.size(); }
    // A fresh empty node for the next child; a map's child carries its key,
    // whose bytes must stay valid until the container is flushed.
    DataNode& add(std::string_view key = {});
    // Releases the last child (a map member that failed to read).
    void dropLast() noexcept;
    // Moves the children added since mark into the container, in order. A
    // key already in the map keeps its place and takes the later value.
    void flushTo(size_t mark, ListValue& list);
    void flushTo(size_t mark, MapValue& map);

private:
    struct Child {
        std::string_view key;
        DataNode* node;
    };
    std::vector<Child> children_;
};

}  // namespace zk
