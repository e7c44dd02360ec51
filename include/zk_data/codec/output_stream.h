// OutputStream: the one growable buffer every writer appends to.
//
// It behaves like an output stream with a bad bit: when the output would pass
// 4 GiB - 1 bytes (sizes travel as uint32 to callers), the stream turns
// failed, later appends are ignored, and the writer reports the failure when
// it next looks at the state. Running out of memory throws std::bad_alloc,
// like every other allocation of the library.
//
// A stream that ends hands its memory to the next stream on the same thread,
// so repeated writes reuse warm memory. Each thread keeps at most one such
// block, of at most 64 MiB, until it ends.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "zk_data/value/decimal.h"

namespace zk {

// Frees the block this thread keeps for its next output stream, for a host
// that wants the memory back now rather than when the thread ends.
void ReleaseSpareOutput() noexcept;

class OutputStream {
public:
    static constexpr size_t kMaxSize = UINT32_MAX;

    OutputStream() noexcept = default;
    OutputStream(const OutputStream&) = delete;
    OutputStream& operator=(const OutputStream&) = delete;
    ~OutputStream();

    bool good() const noexcept { return !failed_; }
    bool failed() const noexcept { return failed_; }
    void setFailed() noexcept { failed_ = true; }

    const char* data() const noexcept { return data_; }
    size_t size() const noexcept { return size_; }
    std::string_view view() const noexcept { return {data_, size_}; }
    // Empties the buffer (keeping its memory) and clears the failed state.
    void clear() noexcept {
        size_ = 0;
        failed_ = false;
    }

    void put(char c) {
        if (size_ < capacity_ && !failed_)
            data_[size_++] = c;
        else
            appendSlow(&c, 1);
    }
    void write(const void* bytes, size_t n) {
        if (n <= capacity_ - size_ && !failed_) {
            if (n) std::memcpy(data_ + size_, bytes, n);
            size_ += n;
        } else {
            appendSlow(bytes, n);
        }
    }
    // The same for bytes that are mostly few and of a repeating length
    // (element names, indentation): no call of memcpy for up to 16 bytes.
    void writeShort(std::string_view s) {
        if (s.size() <= capacity_ - size_ && !failed_) {
            copy(data_ + size_, s.data(), s.size());
            size_ += s.size();
        } else {
            appendSlow(s.data(), s.size());
        }
    }
    void write(std::string_view s) { write(s.data(), s.size()); }
    // Zero-terminated text; a null pointer writes nothing.
    void writeText(const char* s) {
        if (s) write(s, std::strlen(s));
    }
    // Numbers are formatted straight into the buffer when it has room.
    void writeInt64(int64_t v) {
        if (kMaxInt64Digits <= capacity_ - size_ && !failed_) {
            size_ += FormatInt64(v, data_ + size_);
        } else {
            char buf[kMaxInt64Digits];
            write(buf, FormatInt64(v, buf));
        }
    }
    void writeUInt64(uint64_t v) {
        if (kMaxInt64Digits <= capacity_ - size_ && !failed_) {
            size_ += FormatUInt64(v, data_ + size_);
        } else {
            char buf[kMaxInt64Digits];
            write(buf, FormatUInt64(v, buf));
        }
    }
    // n copies of c (indentation).
    void fill(char c, size_t n);
    void reserve(size_t n);

private:
    // Up to 16 bytes as two overlapping words.
    static void copy(char* to, const char* from, size_t n) noexcept {
        if (n > 16) return (void)std::memcpy(to, from, n);
        if (n >= 8) return move<8>(to, from, n);
        if (n >= 4) return move<4>(to, from, n);
        if (n) {
            to[0] = from[0];
            to[n >> 1] = from[n >> 1];
            to[n - 1] = from[n - 1];
        }
    }
    template <size_t W>
    static void move(char* to, const char* from, size_t n) noexcept {
        char head[W], tail[W];
        std::memcpy(head, from, W);
        std::memcpy(tail, from + n - W, W);
        std::memcpy(to, head, W);
        std::memcpy(to + n - W, tail, W);
    }

    void appendSlow(const void* bytes, size_t n);
    bool grow(size_t needed);

    char* data_ = nullptr;
    size_t size_ = 0;
    size_t capacity_ = 0;
    bool failed_ = false;
};

}  // namespace zk
