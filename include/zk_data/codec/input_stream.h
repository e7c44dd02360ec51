// InputStream: a read-only stream laid over the caller's memory, read in
// place without a copy.
//
// The readers and the caller-buffer contract work with two flags, which
// follow the rules of a standard input stream's flags:
//  - Eof: a read met the end of the data. Reading the last byte exactly does
//    not set it; trying to read one more does, and so does a number or line
//    that runs into the end.
//  - Fail: a read did not deliver what was asked.
// Every read on a stream that is not good() fails and sets Fail. tell()
// answers kNoPosition unless the stream is good(), so a reader that ended in
// the end-of-data state reports no position. unget() and seek() clear Eof
// first, as their standard counterparts do.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace zk {

class InputStream {
public:
    static constexpr uint32_t kNoPosition = 0xFFFFFFFF;
    static constexpr int kEnd = -1;

    InputStream(const void* data, size_t size) noexcept
        : begin_(static_cast<const unsigned char*>(data)), cur_(begin_), end_(begin_ + size) {
        if (!data) begin_ = cur_ = end_ = nullptr;
    }
    explicit InputStream(std::string_view bytes) noexcept : InputStream(bytes.data(), bytes.size()) {}

    bool good() const noexcept { return state_ == 0; }
    bool eof() const noexcept { return state_ & kEof; }
    bool failed() const noexcept { return state_ & kFail; }
    void setFailed() noexcept { state_ |= kFail; }

    size_t size() const noexcept { return static_cast<size_t>(end_ - begin_); }
    size_t offset() const noexcept { return static_cast<size_t>(cur_ - begin_); }
    size_t remaining() const noexcept { return static_cast<size_t>(end_ - cur_); }
    const unsigned char* current() const noexcept { return cur_; }
    // The position for the caller-buffer contract: kNoPosition unless good().
    uint32_t tell() const noexcept { return good() ? static_cast<uint32_t>(offset()) : kNoPosition; }

    // One byte (0..255), or kEnd with Eof and Fail set at the end.
    int get() noexcept {
        if (state_ == 0 && cur_ < end_) return *cur_++;
        return failRead();
    }
    // The next byte without consuming it; kEnd at the end (sets Eof only).
    int peek() noexcept {
        if (state_) return failRead();
        if (cur_ < end_) return *cur_;
        state_ |= kEof;
        return kEnd;
    }
    // Steps back over the byte just read.
    bool unget() noexcept {
        state_ &= ~kEof;
        if (state_ || cur_ == begin_) {
            state_ |= kFail;
            return false;
        }
        --cur_;
        return true;
    }

    // Copies up to n bytes; fewer than n sets Eof and Fail. Returns the count.
    size_t read(void* dst, size_t n) noexcept {
        std::string_view got = readView(n);
        if (!got.empty()) std::memcpy(dst, got.data(), got.size());
        return got.size();
    }
    // The next n bytes in place; fewer than n (returned as they are) sets Eof
    // and Fail.
    std::string_view readView(size_t n) noexcept;

    // Formatted extraction of a signed decimal: skips C white space, takes an
    // optional sign and the digits up to the first other byte, which stays
    // unread. No digit, or a value outside [min, max], fails. Running into the
    // end while taking digits sets Eof; meeting it before any digit sets Fail too.
    bool extractInt64(int64_t& value) noexcept { return extractInteger(value, INT64_MIN, INT64_MAX); }
    bool extractInteger(int64_t& value, int64_t min, int64_t max) noexcept;
    // Formatted extraction of one byte: skips C white space, then reads it.
    int extractChar() noexcept;

    // Reads a line up to delim, which is consumed and not part of line. At
    // most bufferSize - 1 bytes are taken; a longer line fails. The end of the
    // data ends a line too (setting Eof); a line that yields nothing at all
    // fails.
    bool getLine(std::string_view& line, size_t bufferSize, char delim = '\n') noexcept;

    // Moves to an absolute offset. Clears Eof first; fails past the end.
    bool seek(size_t pos) noexcept;

private:
    static constexpr uint8_t kEof = 1, kFail = 2;

    int failRead() noexcept {
        state_ |= state_ ? kFail : (kEof | kFail);
        return kEnd;
    }
    // Skips white space before a formatted extraction; false at the end.
    bool skipSpace() noexcept;

    const unsigned char* begin_;
    const unsigned char* cur_;
    const unsigned char* end_;
    uint8_t state_ = 0;
};

}  // namespace zk
