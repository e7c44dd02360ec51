// Base64 (RFC 4648 alphabet, "=" padding, no line breaks when encoding).
//
// The buffer functions never allocate. dstLen is the capacity of dst on entry
// and the length of the result on success; when the capacity is too small
// they store the capacity needed in dstLen and return kBase64TooSmall, so a
// null dst (taken as no room at all) asks for the size.
#pragma once

#include <cstddef>

#include "zk_data/text/byte_string.h"

namespace zk {

constexpr int kBase64Ok = 0, kBase64TooSmall = -16, kBase64Invalid = -18;

// Needs 4 * ceil(srcLen / 3) + 1 bytes: the text plus a terminating zero,
// which dstLen does not count. An empty source gives kBase64TooSmall and
// leaves dstLen alone.
int Base64EncodeBuffer(char* dst, size_t& dstLen, const void* src, size_t srcLen);

// Skips CR LF pairs and lone LFs anywhere; any other byte outside the
// alphabet, a third "=", or a letter after "=" make the text invalid, and the
// whole text is checked before anything is written, so dst may equal src. A
// last group of fewer than four characters yields nothing. Needs
// floor((6n + 7) / 8) bytes, n being the count of characters other than line
// breaks. An empty source is invalid; text of line breaks alone decodes to
// nothing.
int Base64DecodeBuffer(void* dst, size_t& dstLen, const char* src, size_t srcLen);

// Returns false for an empty input, leaving out alone. in and out may be the
// same string.
bool Base64Encode(const ByteString& in, ByteString& out);

// Returns false for an empty or invalid input, leaving out alone. in and out
// may be the same string.
bool Base64Decode(const ByteString& in, ByteString& out);

}  // namespace zk
