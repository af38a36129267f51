#include "job/ImageReadFailure.h"

#include <cmath>

#include "image/decode/Decode.h"
#include "util/MemoryBudget.h"
#include "util/Strings.h"

namespace quillane {
namespace {

constexpr long long kBytesPerMegabyte = 1000 * 1000;

const char* nameKey(DecodeFailure kind) {
  switch (kind) {
    case DecodeFailure::CutShort: return "IMAGE_CUT_SHORT";
    case DecodeFailure::Unsupported: return "IMAGE_UNSUPPORTED";
    case DecodeFailure::TooLarge: return "IMAGE_TOO_LARGE";
    case DecodeFailure::OutOfMemory: return "IMAGE_OUT_OF_MEMORY";
    case DecodeFailure::Unreadable: break;
  }
  return "IMAGE_READ_ERROR";
}

std::string sizeDetail(const DecodeError& error) {
  if (error.width <= 0 || error.height <= 0) return {};
  if (error.kind == DecodeFailure::TooLarge)
    return localizedString("IMAGE_SIZE_LIMIT", {error.width, error.height, kMaxImageSide});
  // Memory that ran out for a raster within the budget has no limit to name.
  if (error.kind != DecodeFailure::OutOfMemory || fitsImageByteBudget(error.width, error.height))
    return {};
  return memoryLimitDetail("IMAGE_MEMORY_LIMIT", error.width, error.height);
}

}  // namespace

std::string memoryLimitDetail(const char* key, long long width, long long height) {
  const double bytes = static_cast<double>(width) * static_cast<double>(height) * 4;
  const auto needed = static_cast<long long>(std::ceil(bytes / kBytesPerMegabyte));
  const auto budget = static_cast<long long>(imageByteBudget() / kBytesPerMegabyte);
  return localizedString(key, {width, height, needed, budget});
}

Exception imageReadFailure(const std::string& path, const DecodeError& error) {
  const std::string detail = sizeDetail(error);
  return Exception(localizedString(nameKey(error.kind)),
                   detail.empty() ? path : path + ": " + detail);
}

}  // namespace quillane
