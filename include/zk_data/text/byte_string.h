// ByteString: a counted byte string of 24 bytes with up to 23 bytes stored
// inline. Node strings and map keys are ByteStrings, so a short string costs
// no allocation beyond its node.
//
// Layout (little-endian): in inline mode the bytes sit in small_[0..22] and
// small_[23] holds 23 - size, which doubles as the terminating zero when the
// string is exactly 23 bytes long. In heap mode the high bit of small_[23] is
// set and the last word holds the capacity below that bit.
//
// The bytes are always followed by a zero byte that size() does not count, so
// c_str() is valid for any content (content may itself hold zero bytes).
// Allocation failure throws std::bad_alloc, as std::string does.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace zk {

class ByteString {
public:
    static constexpr size_t kInlineCapacity = 23;

    ByteString() noexcept { setInlineSize(0); }
    explicit ByteString(std::string_view s) : ByteString() { assign(s.data(), s.size()); }
    explicit ByteString(const char* s) : ByteString(std::string_view(s)) {}
    ByteString(const void* data, size_t n) : ByteString() { assign(data, n); }
    ByteString(const ByteString& other) : ByteString() { assign(other.data(), other.size()); }
    ByteString(ByteString&& other) noexcept {
        std::memcpy(static_cast<void*>(this), &other, sizeof(*this));
        other.setInlineSize(0);
    }
    ~ByteString() {
        if (isHeap()) releaseHeap();
    }

    ByteString& operator=(const ByteString& other) {
        if (this != &other) assign(other.data(), other.size());
        return *this;
    }
    ByteString& operator=(ByteString&& other) noexcept {
        if (this != &other) {
            if (isHeap()) releaseHeap();
            std::memcpy(static_cast<void*>(this), &other, sizeof(*this));
            other.setInlineSize(0);
        }
        return *this;
    }
    ByteString& operator=(std::string_view s) {
        assign(s.data(), s.size());
        return *this;
    }
    ByteString& operator=(const char* s) { return *this = std::string_view(s); }

    const char* data() const noexcept { return isHeap() ? heap_.ptr : small_; }
    char* data() noexcept { return isHeap() ? heap_.ptr : small_; }
    const char* c_str() const noexcept { return data(); }
    size_t size() const noexcept {
        return isHeap() ? heap_.size : kInlineCapacity - static_cast<uint8_t>(small_[kInlineCapacity]);
    }
    bool empty() const noexcept { return size() == 0; }
    size_t capacity() const noexcept { return isHeap() ? heapCapacity() : kInlineCapacity; }

    char& operator[](size_t i) noexcept { return data()[i]; }
    char operator[](size_t i) const noexcept { return data()[i]; }
    const char* begin() const noexcept { return data(); }
    const char* end() const noexcept { return data() + size(); }
    char* begin() noexcept { return data(); }
    char* end() noexcept { return data() + size(); }

    operator std::string_view() const noexcept { return {data(), size()}; }
    std::string_view view() const noexcept { return {data(), size()}; }

    void clear() noexcept { setSize(0); }
    void reserve(size_t n);
    // Resizes; new bytes are zero.
    void resize(size_t n);
    // Resizes without initialising new bytes; the caller fills them.
    char* resizeForOverwrite(size_t n);
    void assign(const void* bytes, size_t n);
    void assign(std::string_view s) { assign(s.data(), s.size()); }
    void append(const void* bytes, size_t n);
    void append(std::string_view s) { append(s.data(), s.size()); }
    void push_back(char c) {
        size_t n = size();
        if (n == capacity()) grow(n + 1);
        char* p = data();
        p[n] = c;
        setSize(n + 1);
    }
    void swap(ByteString& other) noexcept {
        char tmp[sizeof(*this)];
        std::memcpy(tmp, static_cast<void*>(this), sizeof(*this));
        std::memcpy(static_cast<void*>(this), &other, sizeof(*this));
        std::memcpy(static_cast<void*>(&other), tmp, sizeof(*this));
    }

    friend bool operator==(const ByteString& a, const ByteString& b) noexcept {
        return a.view() == b.view();
    }
    friend bool operator==(const ByteString& a, std::string_view b) noexcept {
        return a.view() == b;
    }

private:
    static constexpr uint64_t kHeapFlag = uint64_t{0x80} << 56;

    struct Heap {
        char* ptr;
        size_t size;
        uint64_t capacityAndFlag;
    };

    bool isHeap() const noexcept { return static_cast<uint8_t>(small_[kInlineCapacity]) & 0x80; }
    size_t heapCapacity() const noexcept { return heap_.capacityAndFlag & ~kHeapFlag; }
    void setInlineSize(size_t n) noexcept {
        small_[n] = 0;
        small_[kInlineCapacity] = static_cast<char>(kInlineCapacity - n);
    }
    // Sets the size within the current capacity and writes the terminator.
    void setSize(size_t n) noexcept {
        if (isHeap()) {
            heap_.size = n;
            heap_.ptr[n] = 0;
        } else {
            setInlineSize(n);
        }
    }
    void grow(size_t needed);
    void releaseHeap() noexcept;

    union {
        char small_[24];
        Heap heap_;
    };
};

static_assert(sizeof(ByteString) == 24, "ByteString must stay three words");

}  // namespace zk
