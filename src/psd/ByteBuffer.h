#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace quillane {

using ByteBuffer = std::vector<std::uint8_t>;

// Appends the low `length` bytes of value, most significant first (1 <= length <= 8).
void appendValue(ByteBuffer& buffer, std::int64_t value, int length);
// Writes the same bytes at `at` instead, over what is there.
void writeValue(std::uint8_t* at, std::int64_t value, int length);
void appendBytes(ByteBuffer& buffer, std::span<const std::uint8_t> bytes);

// Appends the PackBits stream of the samples and answers how many bytes it took. From the
// start of the pending literal, the first three equal samples within 127 close the literal
// and open a run of that sample (at most 127 long); further away, 128 literal samples are
// written and the search goes on after them. The rest at the end is one literal.
std::size_t appendPackedBits(ByteBuffer& out, std::span<const std::uint8_t> samples);

}  // namespace quillane
