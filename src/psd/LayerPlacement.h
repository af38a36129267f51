#pragma once

#include <cstdint>

#include "image/Bitmap.h"
#include "util/Geometry.h"

namespace quillane {

// Where an image added at an offset lands on the canvas: the part of the image kept
// (source) and the layer's rect. A layer that does not overlap the canvas is not kept.
struct LayerPlacement {
  Rect source;
  Rect layer;
  bool kept = false;
};

LayerPlacement placeLayer(const Bitmap& image, Point offset, Size documentSize);

// Writes the whole-pixel part `source` of the straight image as premultiplied RGBA8 bytes
// to out (source.width x source.height pixels, truncated): out pixel (0, 0) is image pixel
// (source.x, source.y); pixels the image does not cover are 0, 0, 0, 0.
void copyPremultiplied(const Bitmap& image, Rect source, std::uint8_t* out);

// Row `row` of the same part, source.width pixels, to out; unpremultiplied in the same step
// when asked (as unpremultiplyPixels would do after copyPremultiplied).
void copyLayerRow(const Bitmap& image, Rect source, int row, std::uint8_t* out,
                  bool unpremultiply);

}  // namespace quillane
