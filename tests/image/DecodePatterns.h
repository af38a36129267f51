#pragma once

// The pixel patterns scripts/make-test-images paints into tests/data/images/ (keep the two
// in step), and helpers to load the fixtures of tests/data/.

#include <array>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "image/decode/FileRead.h"

namespace quillane::testing {

inline constexpr int kPatternWidth = 13;
inline constexpr int kPatternHeight = 11;

using Colour = std::array<int, 4>;

inline Colour rgbPattern(int x, int y) { return {x * 19, y * 23, x * y + 100, 255}; }
inline int greyPattern(int x, int y) { return (x * 17 + y * 5) % 256; }
inline int alphaPattern(int x, int y) {
  constexpr int kAlphas[] = {0, 64, 128, 200, 255};
  return kAlphas[(x + 2 * y) % 5];
}
inline Colour pal16Colour(int k) { return {k * 16, 255 - k * 16, k * 37 % 256, 255}; }

enum class Pattern {
  Rgb,             // rgbPattern, opaque
  Rgba,            // rgbPattern with alphaPattern
  Grey,            // greyPattern, opaque
  GreyAlpha,       // greyPattern with alphaPattern
  Pal16,           // pal16Colour((x + y) % 16)
  Bilevel,         // white where (x + y) % 3 == 0, else black
  RgbKeyed,        // rgbPattern; clear where it equals the key colour rgbPattern(2, 1)
  GreyKeyed,       // greyPattern; clear where it equals greyPattern(2, 1)
  GifTransparent,  // rgbPattern; clear where (x + y) % 4 == 0
  GifOffsetFrame,  // clear, but rgbPattern(x - 4, y - 3) inside the 6x5 frame at (4, 3)
};

inline Colour expectedPixel(Pattern pattern, int x, int y) {
  const Colour rgb = rgbPattern(x, y);
  const int g = greyPattern(x, y);
  switch (pattern) {
    case Pattern::Rgb:
      return rgb;
    case Pattern::Rgba:
      return {rgb[0], rgb[1], rgb[2], alphaPattern(x, y)};
    case Pattern::Grey:
      return {g, g, g, 255};
    case Pattern::GreyAlpha:
      return {g, g, g, alphaPattern(x, y)};
    case Pattern::Pal16:
      return pal16Colour((x + y) % 16);
    case Pattern::Bilevel: {
      const int v = (x + y) % 3 == 0 ? 255 : 0;
      return {v, v, v, 255};
    }
    case Pattern::RgbKeyed:
      return {rgb[0], rgb[1], rgb[2], rgb == rgbPattern(2, 1) ? 0 : 255};
    case Pattern::GreyKeyed:
      return {g, g, g, g == greyPattern(2, 1) ? 0 : 255};
    case Pattern::GifTransparent:
      return (x + y) % 4 == 0 ? Colour{0, 0, 0, 0} : rgb;
    case Pattern::GifOffsetFrame:
      if (x >= 4 && x < 10 && y >= 3 && y < 8) return rgbPattern(x - 4, y - 3);
      return {0, 0, 0, 0};
  }
  std::abort();
}

// A file of tests/data/ ("images/png-rgb8.png", "bad/png-40000-wide.png", "pict/...").
inline std::string dataPath(const std::string& name) {
  return std::string(QUILLANE_TEST_DATA_DIR) + "/" + name;
}

inline std::vector<std::uint8_t> dataBytes(const std::string& name) {
  auto bytes = readWholeFile(dataPath(name));
  if (!bytes) std::abort();  // a missing fixture is a broken checkout, not a test result
  return *bytes;
}

}  // namespace quillane::testing
