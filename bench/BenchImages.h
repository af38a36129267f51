#pragma once

// The images the benchmarks work on: a photo and a user interface shot.
#include <algorithm>
#include <cstdint>
#include <random>

#include "image/Bitmap.h"
#include "image/decode/SizeCheck.h"

namespace quillane::bench {

// Smooth gradients with sensor noise, opaque: few runs, mostly literals.
inline Bitmap photoLike(int width, int height, unsigned seed) {
  Bitmap bitmap = *createBitmap(width, height, BitmapFill::Zeroes);
  std::mt19937 random(seed);
  std::uniform_int_distribution<int> noise(-6, 6);
  for (int y = 0; y < height; ++y) {
    std::uint8_t* p = bitmap.row(y);
    for (int x = 0; x < width; ++x, p += 4) {
      p[0] = std::uint8_t(std::clamp(x * 255 / width + noise(random), 0, 255));
      p[1] = std::uint8_t(std::clamp(y * 255 / height + noise(random), 0, 255));
      p[2] = std::uint8_t(std::clamp(128 + noise(random), 0, 255));
      p[3] = 255;
    }
  }
  return bitmap;
}

// White with flat panels, a transparent cut-out and a half-transparent shadow band.
inline Bitmap flatLike(int width, int height) {
  Bitmap bitmap = *createBitmap(width, height, BitmapFill::Zeroes);
  for (int y = 0; y < height; ++y) {
    std::uint8_t* p = bitmap.row(y);
    for (int x = 0; x < width; ++x, p += 4) {
      const bool panel = (x / 240 + y / 135) % 3 == 0;
      p[0] = panel ? 0x33 : 0xFF;
      p[1] = panel ? 0x66 : 0xFF;
      p[2] = panel ? 0x99 : 0xFF;
      const bool cutOut = x > width / 2 && x < width / 2 + 300 && y > 200 && y < 500;
      const bool shadow = y >= 600 && y < 640;
      p[3] = cutOut ? 0 : shadow ? 128 : 255;
    }
  }
  return bitmap;
}

}  // namespace quillane::bench
