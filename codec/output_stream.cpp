#include "zk_data/codec/output_stream.h"

#include <cstdlib>
#include <new>

#include "codec/thread_slot.h"

namespace zk {
namespace {

// The block of the last stream that ended on this thread, kept for the next
// one: a host that writes the same kind of document again and again would
// otherwise grow every output from 256 bytes through fresh pages, which costs
// more than writing it. One block per thread, and none above kMaxSpare, so a
// thread holds at most that much between writes.
constexpr size_t kMaxSpare = size_t{64} << 20;

struct SpareBlock {
    char* data = nullptr;
    size_t capacity = 0;
    SpareBlock() = default;
    SpareBlock(const SpareBlock&) = delete;
    SpareBlock& operator=(const SpareBlock&) = delete;
    ~SpareBlock() { std::free(data); }
};

// Null only where the platform cannot keep one for this thread.
SpareBlock* Spare() noexcept {
    static ThreadSlot<SpareBlock> spares;
    return spares.get();
}

}  // namespace

void ReleaseSpareOutput() noexcept {
    if (SpareBlock* spare = Spare()) {
        std::free(spare->data);
        spare->data = nullptr;
        spare->capacity = 0;
    }
}

OutputStream::~OutputStream() {
    SpareBlock* spare = data_ && capacity_ <= kMaxSpare ? Spare() : nullptr;
    if (spare && capacity_ > spare->capacity) {
        std::free(spare->data);
        spare->data = data_;
        spare->capacity = capacity_;
    } else {
        std::free(data_);
    }
}

// Past kMaxSize the stream fails (the caller cannot take the size); running
// out of memory throws, as every other allocation does, so that callers can
// tell the two apart.
bool OutputStream::grow(size_t needed) {
    if (needed > kMaxSize) return false;
    if (SpareBlock* spare = data_ ? nullptr : Spare(); spare && spare->data) {
        data_ = spare->data;
        capacity_ = spare->capacity;
        spare->data = nullptr;
        spare->capacity = 0;
        if (capacity_ >= needed) return true;
    }
    size_t cap = capacity_ < 256 ? 256 : capacity_ * 2;
    if (cap < needed) cap = needed;
    if (cap > kMaxSize) cap = kMaxSize;
    char* block = static_cast<char*>(std::realloc(data_, cap));
    if (!block) throw std::bad_alloc();
    data_ = block;
    capacity_ = cap;
    return true;
}

void OutputStream::appendSlow(const void* bytes, size_t n) {
    if (failed_) return;
    if (n > kMaxSize - size_ || !grow(size_ + n)) {
        failed_ = true;
        return;
    }
    if (n) std::memcpy(data_ + size_, bytes, n);
    size_ += n;
}

void OutputStream::fill(char c, size_t n) {
    if (failed_) return;
    if (n > capacity_ - size_ && (n > kMaxSize - size_ || !grow(size_ + n))) {
        failed_ = true;
        return;
    }
    std::memset(data_ + size_, c, n);
    size_ += n;
}

void OutputStream::reserve(size_t n) {
    if (!failed_ && n > capacity_ && !grow(n)) failed_ = true;
}

}  // namespace zk
