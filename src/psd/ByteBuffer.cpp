#include "psd/ByteBuffer.h"

namespace quillane {

void appendValue(ByteBuffer& buffer, std::int64_t value, int length) {
  const auto bits = static_cast<std::uint64_t>(value);
  for (int i = length - 1; i >= 0; --i) {
    buffer.push_back(static_cast<std::uint8_t>(bits >> (8 * i)));
  }
}

}  // namespace quillane
