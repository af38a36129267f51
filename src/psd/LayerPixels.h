#pragma once

#include <cstddef>
#include <cstdint>

namespace quillane {

// Premultiplied RGBA8 pixels to straight ones in place: colour divided by alpha in single
// precision, clamped to 0..255 and truncated. Alpha 0 has no finite quotient: its colour
// becomes 255. Opaque pixels are left as they are.
void unpremultiplyPixels(std::uint8_t* pixels, std::size_t pixelCount);

// Mirrors the rows of a width x height RGBA8 buffer top to bottom; a middle row stays.
void flipRows(std::uint8_t* pixels, std::size_t width, std::size_t height);

}  // namespace quillane
