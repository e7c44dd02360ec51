#include "zk_data/text/byte_string.h"

#include <bit>
#include <cstdlib>
#include <new>

namespace zk {

static_assert(std::endian::native == std::endian::little,
              "the inline/heap flag lives in the top byte of the last word");

void ByteString::releaseHeap() noexcept { std::free(heap_.ptr); }

// Moves the content into a heap block able to hold `needed` bytes plus the
// terminator. Growth is geometric so that appending is amortised O(1).
void ByteString::grow(size_t needed) {
    size_t cap = capacity();
    if (needed <= cap) return;
    if (needed >= (kHeapFlag >> 1)) throw std::bad_alloc();
    size_t newCap = cap + cap / 2;
    if (newCap < needed) newCap = needed;
    if (newCap < 2 * kInlineCapacity) newCap = 2 * kInlineCapacity;
    size_t n = size();
    char* block;
    if (isHeap()) {
        block = static_cast<char*>(std::realloc(heap_.ptr, newCap + 1));
        if (!block) throw std::bad_alloc();
    } else {
        block = static_cast<char*>(std::malloc(newCap + 1));
        if (!block) throw std::bad_alloc();
        std::memcpy(block, small_, n + 1);
    }
    heap_.ptr = block;
    heap_.size = n;
    heap_.capacityAndFlag = newCap | kHeapFlag;
}

void ByteString::reserve(size_t n) {
    if (n > capacity()) grow(n);
}

char* ByteString::resizeForOverwrite(size_t n) {
    if (n > capacity()) grow(n);
    setSize(n);
    return data();
}

void ByteString::resize(size_t n) {
    size_t old = size();
    char* p = resizeForOverwrite(n);
    if (n > old) std::memset(p + old, 0, n - old);
}

void ByteString::assign(const void* bytes, size_t n) {
    // The source may lie inside this string (s.assign(s.view().substr(1))).
    const char* src = static_cast<const char*>(bytes);
    const char* mine = data();
    if (n && src >= mine && src < mine + size()) {
        size_t offset = static_cast<size_t>(src - mine);
        std::memmove(data(), data() + offset, n);
        setSize(n);
        return;
    }
    char* p = resizeForOverwrite(n);
    if (n) std::memcpy(p, src, n);
}

void ByteString::append(const void* bytes, size_t n) {
    if (!n) return;
    size_t old = size();
    const char* src = static_cast<const char*>(bytes);
    const char* mine = data();
    if (src >= mine && src < mine + old) {
        // Appending a piece of itself: keep the offset across a reallocation.
        size_t offset = static_cast<size_t>(src - mine);
        char* p = resizeForOverwrite(old + n);
        std::memmove(p + old, p + offset, n);
        return;
    }
    char* p = resizeForOverwrite(old + n);
    std::memcpy(p + old, src, n);
}

}  // namespace zk
