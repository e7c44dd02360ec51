// Growth of the arrays behind lists and maps. Their elements are trivially
// relocatable (a pointer, or a ByteString and a pointer), so the arrays live
// in malloc'd memory and grow with realloc.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <new>

namespace zk {

// Grows array (capacity elements of elementSize bytes) to hold at least
// needed elements, by half again at a time, 4 at least and max at most.
// Throws std::bad_alloc past max or when memory runs out.
inline void GrowArray(void*& array, uint32_t& capacity, uint32_t needed, uint32_t max, size_t elementSize) {
    if (needed <= capacity) return;
    if (needed > max) throw std::bad_alloc();
    uint64_t grown = uint64_t{capacity} + capacity / 2;
    uint32_t cap = static_cast<uint32_t>(grown < needed ? needed : (grown > max ? max : grown));
    if (cap < 4) cap = 4;
    void* block = std::realloc(array, size_t{cap} * elementSize);
    if (!block) throw std::bad_alloc();
    array = block;
    capacity = cap;
}

// Makes array hold exactly n elements (none: freed). Growing throws
// std::bad_alloc when memory runs out; a shrink that fails keeps the larger
// block. glibc shrinks in place, so the array keeps its address.
inline void FitArray(void*& array, uint32_t& capacity, uint32_t n, size_t elementSize) {
    if (n == capacity) return;
    if (n == 0) {
        std::free(array);
        array = nullptr;
        capacity = 0;
        return;
    }
    void* block = std::realloc(array, size_t{n} * elementSize);
    if (!block) {
        if (n > capacity) throw std::bad_alloc();
        return;
    }
    array = block;
    capacity = n;
}

}  // namespace zk
