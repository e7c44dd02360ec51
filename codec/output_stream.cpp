#include "zk_data/codec/output_stream.h"

#include <cstdlib>
#include <new>

namespace zk {

OutputStream::~OutputStream() { std::free(data_); }

// Past kMaxSize the stream fails (the caller cannot take the size); running
// out of memory throws, as every other allocation does, so that callers can
// tell the two apart.
bool OutputStream::grow(size_t needed) {
    if (needed > kMaxSize) return false;
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
