#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>

#include "image/decode/pict/RowPlacer.h"

namespace quillane {

// Given the JPEG's width and height, where its rows go; nothing to give up on it.
using JpegPlacement = std::function<std::optional<RowPlacer>(int width, int height)>;

// Decodes a JPEG and hands each row, top to bottom, to the placer that `placement` makes;
// only the rows and columns the placer draws from are decoded. False when the JPEG cannot be
// decoded (corrupt, truncated, refused by checkImageSize) or `placement` refuses it.
bool drawJpeg(std::span<const std::uint8_t> data, const JpegPlacement& placement);

}  // namespace quillane
