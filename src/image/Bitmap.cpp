#include "image/Bitmap.h"

#include <algorithm>

namespace quillane {
namespace {

// Cuts rows of `unitBytes` a pixel from width to newWidth x newHeight pixels, in place.
void keepTopLeftOf(RasterBytes& bytes, std::size_t unitBytes, int width, int newWidth,
                   int newHeight) {
  const std::size_t rowBytes = static_cast<std::size_t>(width) * unitBytes;
  const std::size_t newRowBytes = static_cast<std::size_t>(newWidth) * unitBytes;
  for (std::size_t y = 0; y < static_cast<std::size_t>(newHeight); ++y) {
    std::copy_n(bytes.data() + y * rowBytes, newRowBytes, bytes.data() + y * newRowBytes);
  }
  bytes.resize(newRowBytes * static_cast<std::size_t>(newHeight));
}

}  // namespace

RasterBytes zeroedRasterBytes(std::size_t count) {
  RasterBytes bytes;
  bytes.resize(count);
  zeroRasterMemory(bytes.data(), count);
  return bytes;
}

void Bitmap::keepTopLeft(long long keepWidth, long long keepHeight) {
  const int newWidth = static_cast<int>(std::min<long long>(width, keepWidth));
  const int newHeight = static_cast<int>(std::min<long long>(height, keepHeight));
  if (newWidth == width && newHeight == height) return;
  keepTopLeftOf(pixels, 4, width, newWidth, newHeight);
  if (!extremes.empty()) keepTopLeftOf(extremes, 1, width, newWidth, newHeight);
  width = newWidth;
  height = newHeight;
}

}  // namespace quillane
