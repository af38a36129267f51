#pragma once

#include <cstddef>
#include <cstdint>

namespace quillane {

// Straight RGBA8 pixels to premultiplied ones (colour x alpha / 255, rounded); in and out
// may be the same buffer.
void premultiplyPixels(const std::uint8_t* straight, std::uint8_t* premultiplied,
                       std::size_t pixelCount);

// Premultiplied RGBA8 pixels back to straight ones in place, each colour divided by alpha and
// rounded to the nearest, at most 255; a clear pixel becomes all 0.
void unpremultiplyPixelsRounded(std::uint8_t* pixels, std::size_t pixelCount);

}  // namespace quillane
