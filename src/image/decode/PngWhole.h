#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "image/Bitmap.h"

namespace quillane {

// The rows of an image whose data is inflated at once (libdeflate) rather than streamed: the
// faster way for a whole non-interlaced PNG of 8-bit RGBA samples. `bitmap` is that image's
// raster with room for one more byte a row (rowsWithFilterBytes); its first `height` rows are
// written. False when the file is not sound from its first IDAT chunk to IEND (a CRC, a cut,
// a chunk between), or its data does not inflate to exactly the image, or a row's filter is
// unknown: the streamed decoder then reads the file and gives its reason, so both ways agree.
bool decodeWholeRgba8Png(std::span<const std::uint8_t> file, Bitmap& bitmap, int height);

// Rows of `width` RGBA8 pixels that hold `height` rows and their filter bytes.
long long rowsWithFilterBytes(int width, int height);

}  // namespace quillane
