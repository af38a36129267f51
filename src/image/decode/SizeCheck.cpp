#include "image/decode/SizeCheck.h"

#include "util/MemoryBudget.h"

namespace quillane {

std::optional<DecodeError> checkImageSize(long long width, long long height,
                                          const DecodeRequest& request) {
  const auto failure = [&](DecodeFailure kind) { return DecodeError{kind, width, height}; };
  if (width < 0 || height < 0) return failure(DecodeFailure::Unreadable);
  if (width > kMaxImageSide || height > kMaxImageSide) return failure(DecodeFailure::TooLarge);
  if (!fitsImageByteBudget(request.keptWidth(width), request.keptHeight(height)))
    return failure(DecodeFailure::OutOfMemory);
  return std::nullopt;
}

}  // namespace quillane
