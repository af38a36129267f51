#include "image/decode/SizeCheck.h"

#include <algorithm>
#include <new>

#include "util/MemoryBudget.h"

namespace quillane {

std::optional<DecodeError> checkImageSize(long long width, long long height,
                                          const DecodeRequest& request) {
  const auto failure = [&](DecodeFailure kind) { return DecodeError{kind, width, height}; };
  if (width < 0 || height < 0) return failure(DecodeFailure::Unreadable);
  if (width > kMaxImageSide || height > kMaxImageSide) return failure(DecodeFailure::TooLarge);
  if (!fitsImageByteBudget(request.keptWidth(width), request.keptHeight(height)))
    return failure(DecodeFailure::OutOfMemory);
  if (width > request.sideLimit || height > request.sideLimit)
    return failure(DecodeFailure::TooLarge);
  return std::nullopt;
}

std::optional<DecodeError> checkWorkingBytes(std::uint64_t bytes, long long keptWidth,
                                             long long keptHeight) {
  const std::uint64_t kept = rgbaByteCount(keptWidth, keptHeight).value_or(0);
  // The declared sides are not what is refused: they are left out of the error.
  if (bytes > std::max(kMinWorkingBytes, 2 * kept)) return DecodeError{DecodeFailure::TooLarge};
  if (bytes > imageByteBudget()) return DecodeError{DecodeFailure::OutOfMemory};
  return std::nullopt;
}

Decoded<Bitmap> createBitmap(long long width, long long height, BitmapFill fill) {
  if (const auto refused = checkImageSize(width, height)) return *refused;
  try {
    Bitmap bitmap;
    bitmap.width = static_cast<int>(width);
    bitmap.height = static_cast<int>(height);
    const std::size_t bytes =
        static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4;
    if (fill == BitmapFill::Zeroes) {
      bitmap.pixels = zeroedRasterBytes(bytes);
    } else {
      bitmap.pixels.resize(bytes);
    }
    return bitmap;
  } catch (const std::bad_alloc&) {
    return DecodeError{DecodeFailure::OutOfMemory, width, height};
  }
}

}  // namespace quillane
