#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "image/RasterMemory.h"

namespace quillane {

using RasterBytes = std::vector<std::uint8_t, RasterAllocator<std::uint8_t>>;

// A raster of straight (not premultiplied) RGBA8 pixels: bytes R, G, B, A, rows top to
// bottom, 4 x width bytes per row, no padding. Every decoder yields one.
struct Bitmap {
  int width = 0;
  int height = 0;
  RasterBytes pixels;
  // Every alpha is 255, as the decoder that made the raster knows; false when not known.
  // Lets the writer skip looking at every pixel to find out.
  bool knownOpaque = false;

  // A zero-filled raster, or nothing when a side is negative or above kMaxPsdSide, the
  // buffer exceeds imageByteBudget(), or it cannot be allocated.
  static std::optional<Bitmap> allocate(int width, int height);
  // The same with its bytes left as they are, for a writer that sets every one of them.
  static std::optional<Bitmap> allocateUninitialized(int width, int height);

  std::size_t rowBytes() const { return static_cast<std::size_t>(width) * 4; }
  std::uint8_t* row(int y) { return pixels.data() + static_cast<std::size_t>(y) * rowBytes(); }
  const std::uint8_t* row(int y) const {
    return pixels.data() + static_cast<std::size_t>(y) * rowBytes();
  }
};

}  // namespace quillane
