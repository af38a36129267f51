#include "image/decode/pict/PixelFormat.h"

#include <algorithm>

#include "image/decode/ByteReader.h"

namespace quillane {
namespace {

// Packing types of direct pixel maps.
constexpr int kPackDefault = 0;
constexpr int kPackNone = 1;
constexpr int kPackDropPad = 2;
constexpr int kPackWords = 3;
constexpr int kPackComponents = 4;

std::size_t indexedRowBytes(int width, int pixelSize) {
  return (static_cast<std::size_t>(width) * static_cast<std::size_t>(pixelSize) + 7) / 8;
}

RowLayout packedOrRaw(const PixMapInfo& info, bool packedOpcode, RowPacking packing,
                      std::size_t unpackedBytes) {
  if (!packedOpcode) return {RowPacking::Raw, static_cast<std::size_t>(info.rowBytes), false};
  if (info.rowBytes < kMinPackedRowBytes) {
    return {RowPacking::ShortRows, static_cast<std::size_t>(info.rowBytes), false,
            info.bounds.height(), packing};
  }
  return {packing, unpackedBytes, info.rowBytes > kMaxByteCountRowBytes};
}

std::optional<PixelLayout> indexedLayout(const PixMapInfo& info, bool packedOpcode) {
  const int size = info.pixelSize;
  if (size != 1 && size != 2 && size != 4 && size != 8) return std::nullopt;
  const std::size_t rowBytes = static_cast<std::size_t>(info.rowBytes);
  if (rowBytes < indexedRowBytes(info.bounds.width(), size)) return std::nullopt;
  return PixelLayout{packedOrRaw(info, packedOpcode, RowPacking::PackBits, rowBytes),
                     PixelEncoding::Indexed, size, 0};
}

std::optional<PixelLayout> direct16Layout(const PixMapInfo& info) {
  const std::size_t needed = 2 * static_cast<std::size_t>(info.bounds.width());
  if (static_cast<std::size_t>(info.rowBytes) < needed) return std::nullopt;
  if (info.packType != kPackDefault && info.packType != kPackNone && info.packType != kPackWords) {
    return std::nullopt;
  }
  const bool packed = info.packType != kPackNone;
  return PixelLayout{packedOrRaw(info, packed, RowPacking::PackBitsWords, info.rowBytes),
                     PixelEncoding::Rgb555, 16, 0};
}

std::optional<PixelLayout> direct32Layout(const PixMapInfo& info) {
  const std::size_t width = static_cast<std::size_t>(info.bounds.width());
  const std::size_t rowBytes = static_cast<std::size_t>(info.rowBytes);
  if (info.rowBytes < kMinPackedRowBytes || info.packType == kPackNone) {
    if (rowBytes < 4 * width) return std::nullopt;
    return PixelLayout{{RowPacking::Raw, rowBytes, false}, PixelEncoding::Xrgb, 32, 0};
  }
  if (info.packType == kPackDropPad) {
    return PixelLayout{{RowPacking::Raw, 3 * width, false}, PixelEncoding::Rgb, 32, 0};
  }
  if (info.packType != kPackDefault && info.packType != kPackComponents) return std::nullopt;
  const int planes = info.cmpCount == 4 ? 4 : 3;
  if (info.cmpCount != 3 && info.cmpCount != 4) return std::nullopt;
  return PixelLayout{{RowPacking::PackBits, static_cast<std::size_t>(planes) * width,
                      info.rowBytes > kMaxByteCountRowBytes},
                     PixelEncoding::Planar,
                     32,
                     planes};
}

std::uint8_t expand5(unsigned value) { return static_cast<std::uint8_t>(value << 3 | value >> 2); }

bool convertIndexed(const PixelLayout& layout, const Palette& palette,
                    std::span<const std::uint8_t> row, int width, std::uint8_t* rgba) {
  const unsigned bits = static_cast<unsigned>(layout.pixelSize);
  const unsigned mask = (1u << bits) - 1;
  for (int x = 0; x < width; ++x) {
    const std::size_t bit = static_cast<std::size_t>(x) * bits;
    const unsigned shift = 8 - bits - static_cast<unsigned>(bit % 8);
    const auto& colour = palette[(row[bit / 8] >> shift) & mask];
    if (colour[3] == 0) return false;
    std::copy(colour.begin(), colour.end(), rgba + 4 * x);
  }
  return true;
}

}  // namespace

std::optional<PixelLayout> pixelLayoutFor(const PixMapInfo& info, bool packedOpcode) {
  if (!info.isPixMap) {
    PixMapInfo bitmap = info;
    bitmap.pixelSize = 1;
    return indexedLayout(bitmap, packedOpcode);
  }
  if (info.pixelSize == 16) return direct16Layout(info);
  if (info.pixelSize == 32) return direct32Layout(info);
  return indexedLayout(info, packedOpcode);
}

bool convertRow(const PixelLayout& layout, const Palette& palette,
                std::span<const std::uint8_t> row, int width, std::uint8_t* rgba) {
  const std::size_t w = static_cast<std::size_t>(width);
  for (std::size_t x = 0; x < w; ++x) {
    std::uint8_t* out = rgba + 4 * x;
    switch (layout.encoding) {
      case PixelEncoding::Indexed:
        return convertIndexed(layout, palette, row, width, rgba);
      case PixelEncoding::Rgb555: {
        const std::uint32_t word = loadBigEndian(&row[2 * x], 2);
        out[0] = expand5(word >> 10 & 0x1F);
        out[1] = expand5(word >> 5 & 0x1F);
        out[2] = expand5(word & 0x1F);
        break;
      }
      case PixelEncoding::Xrgb:
        out[0] = row[4 * x + 1];
        out[1] = row[4 * x + 2];
        out[2] = row[4 * x + 3];
        break;
      case PixelEncoding::Rgb:
        out[0] = row[3 * x];
        out[1] = row[3 * x + 1];
        out[2] = row[3 * x + 2];
        break;
      case PixelEncoding::Planar: {
        const std::size_t red = static_cast<std::size_t>(layout.planes - 3) * w;
        out[0] = row[red + x];
        out[1] = row[red + w + x];
        out[2] = row[red + 2 * w + x];
        break;
      }
    }
    out[3] = 255;
  }
  return true;
}

}  // namespace quillane
