#include "image/pict/PixelRows.h"

#include <algorithm>

namespace quillane {

void unpackBits(std::span<const std::uint8_t> packed, std::span<std::uint8_t> out,
                std::size_t unitBytes) {
  std::size_t in = 0;
  std::size_t written = 0;
  while (in < packed.size() && written < out.size()) {
    const auto flag = static_cast<std::int8_t>(packed[in++]);
    if (flag == -128) continue;  // no-op
    if (flag >= 0) {
      const std::size_t literal = std::min((static_cast<std::size_t>(flag) + 1) * unitBytes,
                                           packed.size() - in);
      const std::size_t copied = std::min(literal, out.size() - written);
      std::copy_n(packed.begin() + static_cast<std::ptrdiff_t>(in), copied,
                  out.begin() + static_cast<std::ptrdiff_t>(written));
      in += literal;
      written += copied;
    } else {
      if (packed.size() - in < unitBytes) break;
      const std::size_t repeats = static_cast<std::size_t>(1 - flag);
      for (std::size_t r = 0; r < repeats && written < out.size(); ++r) {
        for (std::size_t b = 0; b < unitBytes && written < out.size(); ++b) {
          out[written++] = packed[in + b];
        }
      }
      in += unitBytes;
    }
  }
  std::fill(out.begin() + static_cast<std::ptrdiff_t>(written), out.end(), 0);
}

PixelRowReader::PixelRowReader(PictBytes& bytes, RowLayout layout)
    : bytes_(bytes), layout_(layout), row_(layout.rowBytes) {}

bool PixelRowReader::next(bool unpack) {
  if (layout_.packing == RowPacking::Raw) {
    const auto stored = bytes_.take(layout_.rowBytes);
    if (!bytes_.ok()) return false;
    if (unpack) std::copy(stored.begin(), stored.end(), row_.begin());
    return true;
  }
  const std::size_t count = layout_.wordCount ? bytes_.u16() : bytes_.u8();
  const auto packed = bytes_.take(count);
  if (!bytes_.ok()) return false;
  if (unpack) unpackBits(packed, row_, layout_.packing == RowPacking::PackBitsWords ? 2 : 1);
  return true;
}

}  // namespace quillane
