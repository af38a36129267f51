#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "image/decode/pict/PixMap.h"
#include "image/decode/pict/PixelRows.h"

namespace quillane {

enum class PixelEncoding {
  Indexed,  // 1, 2, 4 or 8 bits a pixel, through a palette
  Rgb555,   // 16-bit words xRRRRRGGGGGBBBBB
  Xrgb,     // 4 bytes a pixel, the first unused
  Rgb,      // 3 bytes a pixel (packing type 2: the unused byte dropped)
  Planar,   // 32-bit pixels packed by component: a row of each component in turn
};

// How to read and convert the rows of one pixel map.
struct PixelLayout {
  RowLayout rows;
  PixelEncoding encoding = PixelEncoding::Indexed;
  int pixelSize = 1;
  // Planar rows: the component planes, the unused or alpha one first when there are four.
  int planes = 3;
};

// The layout of a pixel map's rows, or nothing for a pixel size or packing type QuickDraw
// does not define, or a rowBytes too small for the bounds. `packedOpcode` is false for
// BitsRect and BitsRgn, whose rows are never packed.
std::optional<PixelLayout> pixelLayoutFor(const PixMapInfo& info, bool packedOpcode);

// Converts one unpacked row of `width` pixels to straight RGBA8, all opaque. False when a
// pixel uses a value that the colour table does not define.
bool convertRow(const PixelLayout& layout, const Palette& palette,
                std::span<const std::uint8_t> row, int width, std::uint8_t* rgba);

}  // namespace quillane
