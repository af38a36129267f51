#pragma once

// Colour profiles made with Little CMS, and a BMP that embeds one.
#include <lcms2.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "support/BmpBytes.h"

namespace quillane::testsupport {

using Bytes = std::vector<std::uint8_t>;

inline Bytes saved(cmsHPROFILE profile) {
  cmsUInt32Number size = 0;
  cmsSaveProfileToMem(profile, nullptr, &size);
  Bytes bytes(size);
  cmsSaveProfileToMem(profile, bytes.data(), &size);
  cmsCloseProfile(profile);
  return bytes;
}

// An RGB profile of Adobe RGB (1998)'s primaries under the given description.
inline Bytes wideProfile(const char* description) {
  const cmsCIExyY white = {0.3127, 0.3290, 1.0};
  const cmsCIExyYTRIPLE primaries = {{0.64, 0.33, 1.0}, {0.21, 0.71, 1.0}, {0.15, 0.06, 1.0}};
  cmsToneCurve* gamma = cmsBuildGamma(nullptr, 2.2);
  cmsToneCurve* curves[3] = {gamma, gamma, gamma};
  cmsHPROFILE profile = cmsCreateRGBProfile(&white, &primaries, curves);
  cmsFreeToneCurve(gamma);
  cmsMLU* text = cmsMLUalloc(nullptr, 1);
  cmsMLUsetASCII(text, "en", "US", description);
  cmsWriteTag(profile, cmsSigProfileDescriptionTag, text);
  cmsMLUfree(text);
  return saved(profile);
}

// A 24-bit bottom-up BMP with a version-5 header that embeds the profile after the pixels;
// pixel (x, y) is colour(x, y) as red, green, blue (by default a 2 x 1 image of two greys).
inline std::string bmpWithProfile(
    const Bytes& profile, int width = 2, int height = 1,
    const std::function<Rgb(int, int)>& colour = [](int x, int) {
      return x == 0 ? Rgb{0x30, 0x20, 0x10} : Rgb{0x60, 0x50, 0x40};
    }) {
  std::string b = "BM";
  const auto put = [&b](std::uint32_t value, int count) {
    for (int i = 0; i < count; ++i) b += static_cast<char>((value >> (8 * i)) & 0xFF);
  };
  constexpr std::uint32_t kPixels = 14 + 124;
  const auto rowBytes = std::uint32_t(width * 3 + 3) / 4 * 4;
  const std::uint32_t dataBytes = rowBytes * std::uint32_t(height);
  put(kPixels + dataBytes + std::uint32_t(profile.size()), 4);
  put(0, 4);
  put(kPixels, 4);
  for (const std::uint32_t v : {124u, std::uint32_t(width), std::uint32_t(height)}) put(v, 4);
  put(1, 2);
  put(24, 2);
  for (const std::uint32_t v : {0u, dataBytes, 2835u, 2835u, 0u, 0u, 0u, 0u, 0u, 0u}) put(v, 4);
  put(0x4D424544, 4);           // 'MBED': the profile is embedded
  b.append(36 + 12 + 4, '\0');  // endpoints, gamma, intent
  put(124 + dataBytes, 4);      // the profile's offset from the info header
  put(std::uint32_t(profile.size()), 4);
  put(0, 4);
  for (int y = height - 1; y >= 0; --y) {
    for (int x = 0; x < width; ++x) {
      const Rgb c = colour(x, y);
      b += {static_cast<char>(c.b), static_cast<char>(c.g), static_cast<char>(c.r)};
    }
    b.append(rowBytes - std::uint32_t(width) * 3, '\0');
  }
  b.append(profile.begin(), profile.end());
  return b;
}

}  // namespace quillane::testsupport
