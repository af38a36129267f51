#include "psd/LayerPlacement.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "image/Premultiply.h"

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

void copyPremultiplied(const Bitmap& image, Rect source, std::uint8_t* out) {
  const int w = static_cast<int>(source.width);
  const int h = static_cast<int>(source.height);
  const int sx = static_cast<int>(source.x);
  const int sy = static_cast<int>(source.y);
  const std::size_t rowBytes = std::size_t(w) * 4;
  const int rows = std::max(0, std::min(h, image.height - sy));
  const int columns = std::max(0, std::min(w, image.width - sx));
  const std::size_t coveredBytes = std::size_t(columns) * 4;
  for (int row = 0; row < h; ++row) {
    std::uint8_t* target = out + std::size_t(row) * rowBytes;
    if (row < rows && columns > 0) {
      premultiplyPixels(image.row(sy + row) + std::size_t(sx) * 4, target, std::size_t(columns));
    }
    const std::size_t filled = row < rows ? coveredBytes : 0;
    std::memset(target + filled, 0, rowBytes - filled);
  }
}

}  // namespace quillane
