#include "image/Bitmap.h"

#include <algorithm>
#include <new>

#include "image/decode/SizeCheck.h"

namespace quillane {
namespace {

std::optional<Bitmap> orNothing(Decoded<Bitmap> bitmap) {
  if (!bitmap) return std::nullopt;
  return std::move(*bitmap);
}

}  // namespace

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

std::optional<Bitmap> Bitmap::allocate(int width, int height) {
  return orNothing(create(width, height, Fill::Zeroes));
}

std::optional<Bitmap> Bitmap::allocateUninitialized(int width, int height) {
  return orNothing(create(width, height, Fill::Nothing));
}

}  // namespace quillane
