#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "image/RasterMemory.h"

namespace quillane {

using RasterBytes = std::vector<std::uint8_t, RasterAllocator<std::uint8_t>>;

// `count` bytes that read as zero. Where they are fresh from the system nothing is written
// to them, so only the pages a decoder writes become resident.
RasterBytes zeroedRasterBytes(std::size_t count);

// A raster of straight (not premultiplied) RGBA8 pixels: bytes R, G, B, A, rows top to
// bottom, 4 x width bytes per row, no padding. Every decoder yields one (createBitmap).
struct Bitmap {
  int width = 0;
  int height = 0;
  RasterBytes pixels;
  // Every alpha is 255, as the decoder that made the raster knows; false when not known.
  // Lets the writer skip looking at every pixel to find out.
  bool knownOpaque = false;
  // For a source of more than 8 bits a sample, one byte per pixel: kAllMaximum where every
  // colour sample was exactly the largest value of its depth, kAllZero where every one was 0.
  // Reduced to 8 bits, 65534 reads as 255 and 1 as 0; colour keying asks this instead.
  // Empty for 8-bit sources, whose samples say it themselves.
  RasterBytes extremes = {};
  static constexpr std::uint8_t kAllMaximum = 1;
  static constexpr std::uint8_t kAllZero = 2;

  // Cuts the raster (and its extremes) to its top-left width x height pixels (no more than it
  // has), in place.
  void keepTopLeft(long long keepWidth, long long keepHeight);

  std::size_t rowBytes() const { return static_cast<std::size_t>(width) * 4; }
  std::uint8_t* row(int y) { return pixels.data() + static_cast<std::size_t>(y) * rowBytes(); }
  const std::uint8_t* row(int y) const {
    return pixels.data() + static_cast<std::size_t>(y) * rowBytes();
  }
};

}  // namespace quillane
