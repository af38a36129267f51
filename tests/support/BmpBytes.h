#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace quillane::testsupport {

struct Rgb {
  std::uint8_t r, g, b;
};

// A 24-bit bottom-up BMP of width x height whose pixel (x, y) (y from the top) is
// colour(x, y): an opaque image file that every decoder build reads.
inline std::string bmpBytes(int width, int height, const std::function<Rgb(int, int)>& colour) {
  const int rowBytes = (width * 3 + 3) / 4 * 4;
  const int dataBytes = rowBytes * height;
  std::string bytes = "BM";
  auto put = [&bytes](std::uint32_t value, int count) {
    for (int i = 0; i < count; ++i) bytes += static_cast<char>((value >> (8 * i)) & 0xFF);
  };
  put(14 + 40 + dataBytes, 4);
  put(0, 4);
  put(14 + 40, 4);
  put(40, 4);
  put(width, 4);
  put(height, 4);
  put(1, 2);
  put(24, 2);
  put(0, 4);
  put(dataBytes, 4);
  put(2835, 4);  // 72 dpi
  put(2835, 4);
  put(0, 4);
  put(0, 4);
  for (int y = height - 1; y >= 0; --y) {
    for (int x = 0; x < width; ++x) {
      const Rgb c = colour(x, y);
      bytes += {static_cast<char>(c.b), static_cast<char>(c.g), static_cast<char>(c.r)};
    }
    bytes.append(static_cast<std::size_t>(rowBytes - width * 3), '\0');
  }
  return bytes;
}

inline std::string solidBmp(int width, int height, Rgb colour) {
  return bmpBytes(width, height, [colour](int, int) { return colour; });
}

}  // namespace quillane::testsupport
