#include "psd/LayerPixels.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace quillane {
namespace {

constexpr int kPixelBytes = 4;
constexpr int kLevels = 256;

// quotient[alpha][colour]: every division the unpremultiply can make, computed once with
// the very expression it stands for.
using QuotientTable = std::array<std::array<std::uint8_t, kLevels>, kLevels>;

QuotientTable makeQuotients() {
  QuotientTable table{};
  for (int alphaByte = 0; alphaByte < kLevels; ++alphaByte) {
    const float alpha = static_cast<float>(alphaByte) / 255.0f;
    for (int colour = 0; colour < kLevels; ++colour) {
      const float value = alphaByte == 0 ? 255.0f : static_cast<float>(colour) / alpha;
      table[alphaByte][colour] = static_cast<std::uint8_t>(std::clamp(value, 0.0f, 255.0f));
    }
  }
  return table;
}

const QuotientTable& quotients() {
  static const QuotientTable table = makeQuotients();
  return table;
}

}  // namespace

void unpremultiplyPixels(std::uint8_t* pixels, std::size_t pixelCount) {
  const QuotientTable& table = quotients();
  for (std::size_t i = 0; i < pixelCount; ++i, pixels += kPixelBytes) {
    const std::uint8_t alpha = pixels[3];
    if (alpha == 255) continue;
    const auto& row = table[alpha];
    pixels[0] = row[pixels[0]];
    pixels[1] = row[pixels[1]];
    pixels[2] = row[pixels[2]];
  }
}

void flipRows(std::uint8_t* pixels, std::size_t width, std::size_t height) {
  const std::size_t rowBytes = width * kPixelBytes;
  if (height < 2) return;
  for (std::size_t top = 0, bottom = height - 1; top < bottom; ++top, --bottom) {
    std::swap_ranges(pixels + top * rowBytes, pixels + (top + 1) * rowBytes,
                     pixels + bottom * rowBytes);
  }
}

}  // namespace quillane
