#include "psd/ByteBuffer.h"

namespace quillane {

void appendValue(ByteBuffer& buffer, std::int64_t value, int length) {
  for (int i = length - 1; i >= 0; --i) {
    buffer.push_back(static_cast<std::uint8_t>(static_cast<std::uint64_t>(value) >> (8 * i)));
  }
}

ByteBuffer packedBitsForRange(std::span<const std::uint8_t> data, ByteRange range, int skip) {
  ByteBuffer out;
  appendPackedBits(out, data, range, skip);
  return out;
}

std::size_t appendPackedBits(ByteBuffer&, std::span<const std::uint8_t>, ByteRange, int) {
  return 0;
}

std::string packedBitsDescription(std::span<const std::uint8_t>) { return {}; }

}  // namespace quillane
