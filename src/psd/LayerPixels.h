#pragma once

#include <cstddef>
#include <cstdint>

namespace quillane {

// Premultiplied RGBA8 pixels to straight ones in place: colour divided by alpha in single
// precision, clamped to 0..255 and truncated. Alpha 0 has no finite quotient: its colour
// becomes 255. Opaque pixels are left as they are.
void unpremultiplyPixels(std::uint8_t* pixels, std::size_t pixelCount);

// Straight RGBA8 pixels as a layer holds them: premultiplied as premultiplyPixels does,
// then, when unpremultiply is set, divided again as unpremultiplyPixels does; one table
// look-up per colour sample, opaque pixels copied. in and out may be the same buffer.
void layerPixelsFromStraight(const std::uint8_t* straight, std::uint8_t* out,
                             std::size_t pixelCount, bool unpremultiply);

// Mirrors the rows of a width x height RGBA8 buffer top to bottom; a middle row stays.
void flipRows(std::uint8_t* pixels, std::size_t width, std::size_t height);

}  // namespace quillane
