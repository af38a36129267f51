#include "image/Bitmap.h"

#include <algorithm>
#include <new>

#include "util/CheckedSize.h"
#include "util/MemoryBudget.h"

namespace quillane {

std::optional<Bitmap> Bitmap::allocateUninitialized(int width, int height) {
  if (width < 0 || height < 0 || width > kMaxPsdSide || height > kMaxPsdSide) return std::nullopt;
  const auto bytes = rgbaByteCount(width, height);
  if (!bytes || *bytes > imageByteBudget()) return std::nullopt;
  try {
    Bitmap bitmap;
    bitmap.width = width;
    bitmap.height = height;
    bitmap.pixels.resize(*bytes);
    return bitmap;
  } catch (const std::bad_alloc&) {
    return std::nullopt;
  }
}

std::optional<Bitmap> Bitmap::allocate(int width, int height) {
  std::optional<Bitmap> bitmap = allocateUninitialized(width, height);
  if (bitmap) std::fill(bitmap->pixels.begin(), bitmap->pixels.end(), std::uint8_t{0});
  return bitmap;
}

}  // namespace quillane
