#include "psd/ByteBuffer.h"

namespace quillane {

void appendValue(ByteBuffer& buffer, std::int64_t value, int length) {
  buffer.resize(buffer.size() + std::size_t(length));
  writeValue(buffer.data() + buffer.size() - std::size_t(length), value, length);
}

void writeValue(std::uint8_t* at, std::int64_t value, int length) {
  const auto bits = static_cast<std::uint64_t>(value);
  for (int i = 0; i < length; ++i)
    at[i] = static_cast<std::uint8_t>(bits >> (8 * (length - 1 - i)));
}

void appendBytes(ByteBuffer& buffer, std::span<const std::uint8_t> bytes) {
  buffer.insert(buffer.end(), bytes.begin(), bytes.end());
}

}  // namespace quillane
