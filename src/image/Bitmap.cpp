#include "image/Bitmap.h"

#include <new>

#include "util/CheckedSize.h"
#include "util/MemoryBudget.h"

namespace quillane {

std::optional<Bitmap> Bitmap::allocate(int width, int height) {
  if (width < 0 || height < 0 || width > kMaxPsdSide || height > kMaxPsdSide) return std::nullopt;
  const auto bytes = rgbaByteCount(width, height);
  if (!bytes || *bytes > imageByteBudget()) return std::nullopt;
  try {
    Bitmap bitmap;
    bitmap.width = width;
    bitmap.height = height;
    bitmap.pixels.assign(*bytes, 0);
    return bitmap;
  } catch (const std::bad_alloc&) {
    return std::nullopt;
  }
}

}  // namespace quillane
