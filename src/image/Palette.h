#pragma once

#include <array>
#include <cstdint>

namespace quillane {

// The colours of an indexed image by pixel value, straight RGBA8: a GIF frame's colour map,
// a QuickDraw pixel map's colour table.
using Palette = std::array<std::array<std::uint8_t, 4>, 256>;

}  // namespace quillane
