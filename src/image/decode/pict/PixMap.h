#pragma once

#include <cstdint>
#include <optional>

#include "image/Palette.h"
#include "image/decode/ByteReader.h"
#include "image/decode/pict/PictRect.h"

namespace quillane {

// How a bitmap or pixel map lays out its pixels, as a bits opcode describes it.
struct PixMapInfo {
  bool isPixMap = false;
  int rowBytes = 0;
  PictRect bounds;
  int packType = 0;
  int pixelSize = 1;
  int cmpCount = 1;
};

// Reads rowBytes and bounds, and the pixel map fields when rowBytes has its pixel-map flag
// (always for direct pixels). Nothing when the data runs out.
std::optional<PixMapInfo> readPixMapInfo(ByteReader& bytes, bool direct);

// Reads a colour table into a palette; pixel values it does not list stay undefined (alpha
// 0), and a pixel using one makes the picture corrupt.
std::optional<Palette> readColourTable(ByteReader& bytes);

// The palette of a one-bit bitmap: 0 white, 1 black.
Palette bitmapPalette();

// Skips the pixel map, colour table and pixels of a colour pattern opcode.
bool skipPatternPixMap(ByteReader& bytes);

}  // namespace quillane
