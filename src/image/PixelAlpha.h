#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

namespace quillane {

// Whether four RGBA8 pixels are all opaque, all fully transparent, or neither: images are
// mostly long stretches of one or the other, which the pixel conversions copy or fill four
// pixels at a time instead of pixel by pixel.
enum class QuadAlpha { Opaque, Clear, Mixed };

inline constexpr std::size_t kQuadBytes = 16;

inline QuadAlpha quadAlpha(const std::uint8_t* pixels) {
  constexpr std::uint32_t kAlphaMask =
      std::endian::native == std::endian::little ? 0xFF000000u : 0x000000FFu;
  std::uint32_t words[4];
  std::memcpy(words, pixels, kQuadBytes);
  if ((words[0] & words[1] & words[2] & words[3] & kAlphaMask) == kAlphaMask) {
    return QuadAlpha::Opaque;
  }
  if (((words[0] | words[1] | words[2] | words[3]) & kAlphaMask) == 0) return QuadAlpha::Clear;
  return QuadAlpha::Mixed;
}

}  // namespace quillane
