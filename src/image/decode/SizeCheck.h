#pragma once

#include <cstdint>
#include <optional>

#include "image/Bitmap.h"
#include "image/decode/DecodeRequest.h"
#include "image/decode/Decoded.h"
#include "util/CheckedSize.h"

namespace quillane {

// The largest side of an image we decode: what a PSB document holds. A first image past
// what a PSD holds is refused by the job when the output is a PSD.
inline constexpr long long kMaxImageSide = kMaxPsbSide;

// Why an image of the declared width x height cannot be decoded, or nothing when it can, in
// this order: a negative side is unreadable, a side above kMaxImageSide too large, a raster
// of the part the request keeps above imageByteBudget() does not fit in memory, and a side
// above the request's limit is too large. Every decoder asks this before it decodes.
std::optional<DecodeError> checkImageSize(long long width, long long height,
                                          const DecodeRequest& request = {});

// Why a decoder may not allocate `bytes` of working memory that its format makes it fill
// whole to reach the kept part of keptWidth x keptHeight pixels (a tile, a band of strips),
// or nothing when it may. Within the budget it may use twice the kept raster, or
// kMinWorkingBytes when that is more; past that the image is too large for the part kept
// (a file of a few bytes can declare one tile of gigabytes over an image of four pixels).
// The floor lets an honest single strip of a large image through on a small canvas.
inline constexpr std::uint64_t kMinWorkingBytes = std::uint64_t{256} << 20;
std::optional<DecodeError> checkWorkingBytes(std::uint64_t bytes, long long keptWidth,
                                             long long keptHeight);

enum class BitmapFill { Zeroes, Nothing };
// A raster of width x height, or why there is none: a size that checkImageSize refuses, or
// memory that cannot be had. BitmapFill::Zeroes makes it transparent black without touching
// fresh memory; BitmapFill::Nothing leaves the bytes as they are, for a writer that sets
// every one of them.
Decoded<Bitmap> createBitmap(long long width, long long height, BitmapFill fill);

}  // namespace quillane
