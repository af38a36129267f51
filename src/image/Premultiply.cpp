#include "image/Premultiply.h"

#include <algorithm>
#include <cstring>

#include "image/PixelAlpha.h"

namespace quillane {
namespace {

void premultiplyEach(const std::uint8_t* straight, std::uint8_t* premultiplied,
                     std::size_t pixelCount) {
  for (std::size_t i = 0; i < pixelCount; ++i) {
    const std::uint8_t* in = straight + 4 * i;
    std::uint8_t* out = premultiplied + 4 * i;
    const unsigned alpha = in[3];
    if (alpha == 255) {  // most pixels of most images: nothing to scale
      std::memcpy(out, in, 4);
      continue;
    }
    for (int c = 0; c < 3; ++c) out[c] = static_cast<std::uint8_t>((in[c] * alpha + 127) / 255);
    out[3] = static_cast<std::uint8_t>(alpha);
  }
}

}  // namespace

void premultiplyPixels(const std::uint8_t* straight, std::uint8_t* premultiplied,
                       std::size_t pixelCount) {
  std::size_t i = 0;
  for (; i + 4 <= pixelCount; i += 4) {
    const std::uint8_t* in = straight + 4 * i;
    std::uint8_t* out = premultiplied + 4 * i;
    const QuadAlpha alpha = quadAlpha(in);
    if (alpha == QuadAlpha::Opaque) {
      std::memmove(out, in, kQuadBytes);
    } else if (alpha == QuadAlpha::Clear) {
      std::memset(out, 0, kQuadBytes);
    } else {
      premultiplyEach(in, out, 4);
    }
  }
  premultiplyEach(straight + 4 * i, premultiplied + 4 * i, pixelCount - i);
}

void unpremultiplyPixelsRounded(std::uint8_t* pixels, std::size_t pixelCount) {
  for (std::size_t i = 0; i < pixelCount; ++i, pixels += 4) {
    const unsigned alpha = pixels[3];
    if (alpha == 255) continue;
    for (int c = 0; c < 3; ++c) {
      const unsigned value = alpha == 0 ? 0 : (pixels[c] * 255u + alpha / 2) / alpha;
      pixels[c] = static_cast<std::uint8_t>(std::min(value, 255u));
    }
  }
}

}  // namespace quillane
