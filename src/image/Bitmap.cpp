#include "image/Bitmap.h"

#include <algorithm>
#include <new>

#include "image/decode/SizeCheck.h"

namespace quillane {
Decoded<Bitmap> Bitmap::create(long long width, long long height, Fill fill) {
  if (const auto refused = checkImageSize(width, height)) return *refused;
  try {
    Bitmap bitmap;
    bitmap.width = static_cast<int>(width);
    bitmap.height = static_cast<int>(height);
    bitmap.pixels.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4);
    if (fill == Fill::Zeroes) std::fill(bitmap.pixels.begin(), bitmap.pixels.end(), 0);
    return bitmap;
  } catch (const std::bad_alloc&) {
    return DecodeError{DecodeFailure::OutOfMemory, width, height};
  }
}

void Bitmap::keepTopLeft(long long keepWidth, long long keepHeight) {
  const int newWidth = static_cast<int>(std::min<long long>(width, keepWidth));
  const int newHeight = static_cast<int>(std::min<long long>(height, keepHeight));
  if (newWidth == width && newHeight == height) return;
  const std::size_t newRowBytes = static_cast<std::size_t>(newWidth) * 4;
  for (int y = 0; y < newHeight; ++y) {
    std::copy_n(row(y), newRowBytes, pixels.data() + static_cast<std::size_t>(y) * newRowBytes);
  }
  width = newWidth;
  height = newHeight;
  pixels.resize(newRowBytes * static_cast<std::size_t>(newHeight));
}

}  // namespace quillane
