#pragma once

#include <cstdint>

#include "image/Bitmap.h"

namespace quillane {

// The one rule for every source of 16 bits a sample: the 8-bit sample nearest in value,
// v x 255 / 65535 rounded.
inline std::uint8_t eightBitsOf(std::uint32_t sample16) {
  return static_cast<std::uint8_t>((sample16 * 255 + 32767) / 65535);
}

// The Bitmap::extremes flag of a pixel's colour samples at the source's own depth, whose
// largest value is `maximum`: all at the maximum, all 0, or neither (0).
inline std::uint8_t extremesOf(std::uint32_t red, std::uint32_t green, std::uint32_t blue,
                               std::uint32_t maximum) {
  if (red == maximum && green == maximum && blue == maximum) return Bitmap::kAllMaximum;
  if (red == 0 && green == 0 && blue == 0) return Bitmap::kAllZero;
  return 0;
}

}  // namespace quillane
