#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "image/decode/Decoded.h"

namespace quillane {

// Compression values of the info header.
inline constexpr std::uint32_t kBmpRgb = 0;
inline constexpr std::uint32_t kBmpRle8 = 1;
inline constexpr std::uint32_t kBmpRle4 = 2;
inline constexpr std::uint32_t kBmpBitfields = 3;
inline constexpr std::uint32_t kBmpAlphaBitfields = 6;

using BmpColour = std::array<std::uint8_t, 3>;  // red, green, blue

// What a BMP's headers say: read and checked before anything is decoded or allocated.
struct BmpHeader {
  std::uint32_t pixelOffset = 0;
  std::uint32_t infoSize = 0;
  long long width = 0;
  long long height = 0;  // positive; topDown gives the row order
  bool topDown = false;
  unsigned bitsPerPixel = 0;
  std::uint32_t compression = kBmpRgb;
  std::int32_t pelsPerMetreX = 0;
  std::int32_t pelsPerMetreY = 0;
  // Red, green, blue and alpha masks of 16- and 32-bit pixels (alpha 0: none).
  std::array<std::uint32_t, 4> masks{};
  std::vector<BmpColour> palette;  // 1, 4 and 8 bits a pixel
  // The ICC profile a version-5 header embeds (a linked one is not read).
  std::span<const std::uint8_t> iccProfile;

  bool runLength() const { return compression == kBmpRle8 || compression == kBmpRle4; }
  // Bytes of one stored row of an uncompressed file: whole 32-bit words.
  std::size_t rowBytes() const {
    return (static_cast<std::size_t>(width) * bitsPerPixel + 31) / 32 * 4;
  }
};

// The headers (Windows 3 and later, OS/2 1.x), or why the file cannot be decoded: a variant
// we do not read is unsupported, a combination no writer makes unreadable.
Decoded<BmpHeader> readBmpHeader(std::span<const std::uint8_t> bytes);

}  // namespace quillane
