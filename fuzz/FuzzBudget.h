#pragma once

// Shared by the decoder fuzz targets: a small image budget and a check of what decoders
// hand back.
#include <cstdint>
#include <cstdlib>

#include "image/Bitmap.h"
#include "image/decode/DecodeRequest.h"
#include "image/decode/SizeCheck.h"
#include "util/MemoryBudget.h"

namespace quillane::fuzz {

// A fuzzing process runs under -rss_limit_mb=2560, and a legal 30000 x 30000 declaration
// would take 3.6 GB: images above 64 MiB of RGBA are refused from their headers, as an
// image above the budget of a small machine is.
constexpr std::size_t kFuzzImageBytes = std::size_t{64} << 20;

inline void limitImageBytes() { setImageByteBudget(kFuzzImageBytes); }

// A decoded bitmap holds exactly its pixels within the limits, and every byte of them is
// readable (ASan sees a freed or short buffer when each byte is touched).
inline void checkBitmap(const Bitmap& bitmap) {
  const auto bytes = rgbaByteCount(bitmap.width, bitmap.height);
  if (!bytes || *bytes != bitmap.pixels.size() || checkImageSize(bitmap.width, bitmap.height))
    std::abort();
  if (!bitmap.extremes.empty() && bitmap.extremes.size() * 4 != bitmap.pixels.size()) std::abort();
  volatile std::uint8_t sink = 0;
  for (const std::uint8_t byte : bitmap.pixels) sink = sink ^ byte;
}

// A bitmap as above, or a refusal that is true to its kind: too large only for a side above
// the limit.
template <class T>
void check(const Decoded<T>& decoded) {
  if (decoded) return checkBitmap(decoded->bitmap);
  const DecodeError& error = decoded.error();
  if (error.kind == DecodeFailure::TooLarge && error.width <= kMaxImageSide &&
      error.height <= kMaxImageSide)
    std::abort();
}

// The part of a later file that a small canvas keeps: a decoder answers no more than it.
inline constexpr DecodeRequest kKeptPart{.keepWidth = 7, .keepHeight = 5};

template <class T>
void checkKeptPart(const Decoded<T>& decoded) {
  check(decoded);
  if (decoded && (decoded->bitmap.width > kKeptPart.keepWidth ||
                  decoded->bitmap.height > kKeptPart.keepHeight))
    std::abort();
}

}  // namespace quillane::fuzz
