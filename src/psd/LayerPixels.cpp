#include "psd/LayerPixels.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "image/PixelAlpha.h"
#include "image/Premultiply.h"
#include "psd/ChannelEncoding.h"

namespace quillane {
namespace {

constexpr int kLevels = 256;

// quotient[alpha][colour]: every division the unpremultiply can make, computed once with
// the very expression it stands for.
using QuotientTable = std::array<std::array<std::uint8_t, kLevels>, kLevels>;

QuotientTable makeQuotients() {
  QuotientTable table{};
  for (int alphaByte = 0; alphaByte < kLevels; ++alphaByte) {
    const float alpha = static_cast<float>(alphaByte) / 255.0f;
    for (int colour = 0; colour < kLevels; ++colour) {
      const float value = alphaByte == 0 ? 255.0f : static_cast<float>(colour) / alpha;
      table[alphaByte][colour] = static_cast<std::uint8_t>(std::clamp(value, 0.0f, 255.0f));
    }
  }
  return table;
}

const QuotientTable& quotients() {
  static const QuotientTable table = makeQuotients();
  return table;
}

// The two conversions of a colour sample in one step: premultiplied[alpha][colour] and
// roundTrip[alpha][colour] (premultiplied, then divided again). Made by running the two
// conversions themselves over every value, so they cannot disagree with them.
struct StraightTables {
  QuotientTable premultiplied{};
  QuotientTable roundTrip{};
};

StraightTables makeStraightTables() {
  StraightTables tables;
  const QuotientTable& divided = quotients();
  for (int alpha = 0; alpha < kLevels; ++alpha) {
    for (int colour = 0; colour < kLevels; ++colour) {
      const std::uint8_t straight[4] = {std::uint8_t(colour), std::uint8_t(colour),
                                        std::uint8_t(colour), std::uint8_t(alpha)};
      std::uint8_t premultiplied[4];
      premultiplyPixels(straight, premultiplied, 1);
      tables.premultiplied[alpha][colour] = premultiplied[0];
      tables.roundTrip[alpha][colour] =
          alpha == 255 ? premultiplied[0] : divided[alpha][premultiplied[0]];
    }
  }
  return tables;
}

const StraightTables& straightTables() {
  static const StraightTables tables = makeStraightTables();
  return tables;
}

void convertEach(const QuotientTable& table, const std::uint8_t* straight, std::uint8_t* out,
                 std::size_t pixelCount) {
  for (std::size_t i = 0; i < pixelCount; ++i, straight += kPixelBytes, out += kPixelBytes) {
    const std::uint8_t alpha = straight[3];
    if (alpha == 255) {
      std::memcpy(out, straight, kPixelBytes);
      continue;
    }
    const auto& row = table[alpha];
    out[0] = row[straight[0]];
    out[1] = row[straight[1]];
    out[2] = row[straight[2]];
    out[3] = alpha;
  }
}

}  // namespace

void layerPixelsFromStraight(const std::uint8_t* straight, std::uint8_t* out,
                             std::size_t pixelCount, bool unpremultiply) {
  const StraightTables& tables = straightTables();
  const QuotientTable& table = unpremultiply ? tables.roundTrip : tables.premultiplied;
  // A fully transparent pixel converts to the same bytes whatever its colour: the table
  // row of alpha 0 holds one value.
  const std::uint8_t clear = table[0][0];
  const std::uint8_t clearQuad[kQuadBytes] = {clear, clear, clear, 0, clear, clear, clear, 0,
                                              clear, clear, clear, 0, clear, clear, clear, 0};
  std::size_t i = 0;
  for (; i + 4 <= pixelCount; i += 4, straight += kQuadBytes, out += kQuadBytes) {
    const QuadAlpha alpha = quadAlpha(straight);
    if (alpha == QuadAlpha::Opaque) {
      std::memcpy(out, straight, kQuadBytes);
    } else if (alpha == QuadAlpha::Clear) {
      std::memcpy(out, clearQuad, kQuadBytes);
    } else {
      convertEach(table, straight, out, 4);
    }
  }
  convertEach(table, straight, out, pixelCount - i);
}

void unpremultiplyPixels(std::uint8_t* pixels, std::size_t pixelCount) {
  const QuotientTable& table = quotients();
  for (std::size_t i = 0; i < pixelCount; ++i, pixels += kPixelBytes) {
    const std::uint8_t alpha = pixels[3];
    if (alpha == 255) continue;
    const auto& row = table[alpha];
    pixels[0] = row[pixels[0]];
    pixels[1] = row[pixels[1]];
    pixels[2] = row[pixels[2]];
  }
}

void flipRows(std::uint8_t* pixels, std::size_t width, std::size_t height) {
  const std::size_t rowBytes = width * kPixelBytes;
  if (height < 2) return;
  for (std::size_t top = 0, bottom = height - 1; top < bottom; ++top, --bottom) {
    std::swap_ranges(pixels + top * rowBytes, pixels + (top + 1) * rowBytes,
                     pixels + bottom * rowBytes);
  }
}

}  // namespace quillane
