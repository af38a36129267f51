#pragma once

// Shared by the decoder fuzz targets: a small image budget and a check of what decoders
// hand back, whole and within a region.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <initializer_list>
#include <span>

#include "image/Bitmap.h"
#include "image/decode/Decoders.h"
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

// A bitmap as above, or a refusal that is true to its kind: too large for a side above the
// limit, or with no sides at all when what is too large is a buffer the file claims (a TIFF
// tile or strip beyond the part kept).
template <class T>
void check(const Decoded<T>& decoded) {
  if (decoded) return checkBitmap(decoded->bitmap);
  const DecodeError& error = decoded.error();
  const bool sidesKnown = error.width > 0 || error.height > 0;
  if (error.kind == DecodeFailure::TooLarge && sidesKnown && error.width <= kMaxImageSide &&
      error.height <= kMaxImageSide)
    std::abort();
}

// A region of 1 to 256 pixels a side from the last two bytes and the length: formats ignore
// bytes after their end, so the seeds stay whole images.
inline DecodeRequest regionOf(std::span<const std::uint8_t> bytes) {
  const std::size_t n = bytes.size();
  if (n < 2) return {1, 1};
  return {static_cast<long long>(1 + (bytes[n - 2] ^ (n & 0xFF))),
          static_cast<long long>(1 + (bytes[n - 1] ^ (n >> 8 & 0xFF)))};
}

// The input's region moved to an origin of 0 to 255 pixels each way, from the two bytes
// before those regionOf reads (for the decoders that take an origin).
inline DecodeRequest regionAwayOf(std::span<const std::uint8_t> bytes) {
  DecodeRequest region = regionOf(bytes);
  const std::size_t n = bytes.size();
  if (n >= 4) {
    region.keepLeft = bytes[n - 4];
    region.keepTop = bytes[n - 3];
  }
  return region;
}

// Whether the part is the whole image's pixels in the region.
inline bool isWholeCutTo(const Bitmap& whole, const Bitmap& part, const DecodeRequest& region) {
  if (part.width != region.keptWidth(whole.width) || part.height != region.keptHeight(whole.height))
    return false;
  for (int y = 0; y < part.height; ++y) {
    const auto from =
        static_cast<std::size_t>(y + region.keepTop) * static_cast<std::size_t>(whole.width) +
        static_cast<std::size_t>(region.keepLeft);
    if (!std::equal(part.row(y), part.row(y) + part.rowBytes(), whole.pixels.data() + 4 * from))
      return false;
  }
  return true;
}

// A part decoded within the region is no larger than it, and is the whole image cut to it.
inline void checkPart(const Bitmap* whole, const Bitmap* part, const DecodeRequest& region) {
  if (!part) return;
  if (part->width > region.keepWidth || part->height > region.keepHeight) std::abort();
  if (whole && !isWholeCutTo(*whole, *part, region)) std::abort();
}

// decode(request) whole and within each region: each answer as check() wants it, the part
// as checkPart() wants it, and an image that is taken whole is taken in part. Only corrupt
// data may be refused in part and not whole: a codec that reads a damaged stream only as far
// as the part needs can stop at a different fault (libtiff's inflate does).
template <class Decode>
void checkRegions(Decode decode, std::initializer_list<DecodeRequest> regions) {
  const auto whole = decode(DecodeRequest{});
  check(whole);
  for (const DecodeRequest& region : regions) {
    const auto part = decode(region);
    check(part);
    if (whole && !part && part.error().kind != DecodeFailure::Unreadable &&
        part.error().kind != DecodeFailure::CutShort)
      std::abort();
    checkPart(whole ? &whole->bitmap : nullptr, part ? &part->bitmap : nullptr, region);
  }
}

// checkRegions within the input's region.
template <class Decode>
void checkRegion(std::span<const std::uint8_t> bytes, Decode decode) {
  checkRegions(decode, {regionOf(bytes)});
}

}  // namespace quillane::fuzz

// The whole fuzz target of a decoder with no more to check than its limits and its region:
// the decoder within the fuzzing budget, whole and for the part a small canvas keeps.
#define QUILLANE_DECODER_FUZZER(decoder)                                                         \
  extern "C" int LLVMFuzzerInitialize(int*, char***) {                                           \
    quillane::fuzz::limitImageBytes();                                                           \
    return 0;                                                                                    \
  }                                                                                              \
  extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {            \
    const std::span<const std::uint8_t> bytes(data, size);                                       \
    quillane::fuzz::checkRegion(                                                                 \
        bytes, [&](const quillane::DecodeRequest& request) { return decoder(bytes, request); }); \
    return 0;                                                                                    \
  }
