#include "psd/LayerPlacement.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "psd/LayerPixels.h"

namespace quillane {

LayerPlacement placeLayer(const Bitmap& image, Point offset, Size documentSize) {
  const float iw = static_cast<float>(image.width);
  const float ih = static_cast<float>(image.height);
  const float dw = documentSize.width;
  const float dh = documentSize.height;
  Rect source{0, 0, iw, ih};
  Rect layer{offset.x, offset.y, iw, ih};
  if (iw + offset.x > dw) source.width = layer.width = dw - offset.x;
  if (ih + offset.y > dh) source.height = layer.height = dh - offset.y;
  if (offset.x < 0) {
    const float k = std::trunc(std::fabs(offset.x));
    source.x = k;
    source.width = layer.width = source.width - k;
    layer.x = 0;
  }
  if (offset.y < 0) {
    const float k = std::trunc(std::fabs(offset.y));
    source.y = k;
    source.height = layer.height = source.height - k;
    layer.y = 0;
  }
  return {source, layer, layer.width >= 1.0f && layer.height >= 1.0f};
}

void copyLayerRow(const Bitmap& image, Rect source, int row, std::uint8_t* out,
                  bool unpremultiply) {
  const int w = static_cast<int>(source.width);
  const int sx = static_cast<int>(source.x);
  const int sy = static_cast<int>(source.y);
  const int columns = std::max(0, std::min(w, image.width - sx));
  std::size_t filled = 0;
  if (sy + row < image.height && columns > 0) {
    layerPixelsFromStraight(image.row(sy + row) + std::size_t(sx) * 4, out, std::size_t(columns),
                            unpremultiply);
    filled = std::size_t(columns) * 4;
  }
  std::memset(out + filled, 0, std::size_t(w) * 4 - filled);
}

void copyPremultiplied(const Bitmap& image, Rect source, std::uint8_t* out) {
  const std::size_t rowBytes = std::size_t(source.width) * 4;
  for (int row = 0; row < static_cast<int>(source.height); ++row) {
    copyLayerRow(image, source, row, out + std::size_t(row) * rowBytes, false);
  }
}

}  // namespace quillane
