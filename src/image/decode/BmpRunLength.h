#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "image/decode/Decoded.h"

namespace quillane {

struct RunLengthImage {
  long long height = 0;
  unsigned bitsPerIndex = 8;  // 8 (RLE8) or 4 (RLE4)
  std::size_t paletteSize = 0;
};

// The palette indices of an RLE8 or RLE4 image's top-left keepWidth x keepHeight pixels, in
// `indices` (that many, row by row from the top), which starts as all 0: the index of the
// pixels that the data skips or leaves out, as other readers give them. The data runs from
// the bottom row up; runs past a row's end are cut. Cut short when the data ends before
// its end-of-bitmap code and before its last row; unreadable when it uses an index past the
// palette anywhere.

std::optional<DecodeFailure> decodeRunLength(std::span<const std::uint8_t> data,
                                             const RunLengthImage& image, int keepWidth,
                                             int keepHeight, std::span<std::uint8_t> indices);

}  // namespace quillane
