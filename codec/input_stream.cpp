#include "zk_data/codec/input_stream.h"

#include <cstring>

#include "zk_data/value/decimal.h"

namespace zk {

std::string_view InputStream::readView(size_t n) noexcept {
    if (state_) {
        state_ |= kFail;
        return {};
    }
    const char* start = reinterpret_cast<const char*>(cur_);
    size_t got = n <= remaining() ? n : remaining();
    cur_ += got;
    if (got < n) state_ |= kEof | kFail;
    return {start, got};
}

bool InputStream::skipSpace() noexcept {
    if (state_) {
        state_ |= kFail;
        return false;
    }
    while (cur_ < end_ && IsCSpace(*cur_)) ++cur_;
    if (cur_ == end_) {
        state_ |= kEof | kFail;
        return false;
    }
    return true;
}

int InputStream::extractChar() noexcept { return skipSpace() ? *cur_++ : kEnd; }

bool InputStream::extractInteger(int64_t& value, int64_t min, int64_t max) noexcept {
    value = 0;
    if (!skipSpace()) return false;
    bool negative = false;
    if (*cur_ == '-' || *cur_ == '+') negative = (*cur_++ == '-');
    // Magnitude limit on the side of the sign; digits past it still belong to
    // the number and are consumed, but the extraction fails.
    uint64_t limit = negative ? 0 - static_cast<uint64_t>(min) : static_cast<uint64_t>(max);
    if (negative && min >= 0) limit = 0;
    auto digitAt = [](const unsigned char* p) { return static_cast<unsigned>(*p - '0'); };
    // Eighteen digits stay below 10^18 < 2^63 and need no check as they come.
    const unsigned char* start = cur_;
    const unsigned char* unchecked = end_ - cur_ < 18 ? end_ : cur_ + 18;
    uint64_t magnitude = 0;
    for (; cur_ < unchecked && digitAt(cur_) <= 9; ++cur_) magnitude = magnitude * 10 + digitAt(cur_);
    bool digits = cur_ != start;
    bool overflow = magnitude > limit;
    for (; cur_ < end_ && digitAt(cur_) <= 9; ++cur_) {
        unsigned d = digitAt(cur_);
        digits = true;
        if (overflow || magnitude > limit / 10 || (magnitude == limit / 10 && d > limit % 10))
            overflow = true;
        else
            magnitude = magnitude * 10 + d;
    }
    if (cur_ == end_) state_ |= kEof;
    if (!digits || overflow) {
        state_ |= kFail;
        if (overflow) value = negative ? min : max;
        return false;
    }
    value = negative ? static_cast<int64_t>(0 - magnitude) : static_cast<int64_t>(magnitude);
    return true;
}

bool InputStream::getLine(std::string_view& line, size_t bufferSize, char delim) noexcept {
    line = {};
    if (state_) {
        state_ |= kFail;
        return false;
    }
    const unsigned char* start = cur_;
    size_t room = bufferSize ? bufferSize - 1 : 0;
    size_t scan = room < remaining() ? room : remaining();
    const void* found = std::memchr(start, static_cast<unsigned char>(delim), scan);
    cur_ = found ? static_cast<const unsigned char*>(found) : start + scan;
    size_t stored = static_cast<size_t>(cur_ - start);
    line = {reinterpret_cast<const char*>(start), stored};
    size_t extracted = stored;
    if (cur_ == end_) {
        state_ |= kEof;
    } else if (*cur_ == static_cast<unsigned char>(delim)) {
        ++cur_;
        ++extracted;
    } else {
        state_ |= kFail;  // the line does not fit the buffer
    }
    if (extracted == 0) state_ |= kFail;
    return !(state_ & kFail);
}

bool InputStream::seek(size_t pos) noexcept {
    state_ &= ~kEof;
    if (state_) return false;
    if (pos > size()) {
        state_ |= kFail;
        return false;
    }
    cur_ = begin_ + pos;
    return true;
}

}  // namespace zk
