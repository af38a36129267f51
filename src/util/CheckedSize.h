#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

namespace quillane {

// PSD (version 1) holds at most 30000 pixels a side; readers refuse more, and past about
// 65000 the 16-bit row byte counts overflow. Every image we accept keeps to it too.
inline constexpr int kMaxPsdSide = 30000;
// Its large-document form PSB (version 2) holds at most 300000 pixels a side.
inline constexpr int kMaxPsbSide = 300000;

// The product of the factors, or nothing when it does not fit in std::size_t.
// Every buffer size computed from image dimensions goes through here.
template <typename... Factors>
std::optional<std::size_t> checkedProduct(Factors... factors) {
  std::size_t product = 1;
  for (const std::uint64_t factor : {static_cast<std::uint64_t>(factors)...}) {
    if (__builtin_mul_overflow(product, factor, &product)) return std::nullopt;
  }
  return product;
}

// Bytes of an RGBA8 raster of width x height, or nothing when the dimensions are negative
// or the product overflows.
inline std::optional<std::size_t> rgbaByteCount(long long width, long long height) {
  if (width < 0 || height < 0) return std::nullopt;
  return checkedProduct(width, height, 4);
}

}  // namespace quillane
