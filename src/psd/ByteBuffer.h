#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace quillane {

using ByteBuffer = std::vector<std::uint8_t>;

// Appends the low `length` bytes of value, most significant first (1 <= length <= 8).
void appendValue(ByteBuffer& buffer, std::int64_t value, int length);
// Writes the same bytes at `at` instead, over what is there.
void writeValue(std::uint8_t* at, std::int64_t value, int length);
// Appends the bytes.
void appendBytes(ByteBuffer& buffer, std::span<const std::uint8_t> bytes);

// A byte range of a buffer: location and length in bytes.
struct ByteRange {
  std::uint32_t location = 0;
  std::uint32_t length = 0;
};

// PackBits stream of the samples at location, location + skip, ... below location + length
// (skip >= 1). With interleaved RGBA rows, location = row start + channel, skip = 4.
ByteBuffer packedBitsForRange(std::span<const std::uint8_t> data, ByteRange range, int skip);

// Same stream appended to out; returns the number of bytes appended. Scans several samples
// at a time.
std::size_t appendPackedBits(ByteBuffer& out, std::span<const std::uint8_t> data, ByteRange range,
                             int skip);
// The same bytes as appendPackedBits, one sample at a time: the plain statement of the
// encoding that the fast one is checked against.
std::size_t appendPackedBitsOneByOne(ByteBuffer& out, std::span<const std::uint8_t> data,
                                     ByteRange range, int skip);

// Describes a PackBits stream in words (diagnostics).
std::string packedBitsDescription(std::span<const std::uint8_t> packed);

}  // namespace quillane
