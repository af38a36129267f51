#include <cmath>
#include <optional>
#include <utility>

#include "psd/ChannelEncoding.h"
#include "psd/LayerPixels.h"
#include "psd/PSDWriter.h"
#include "util/CheckedSize.h"

namespace quillane {
namespace {


// The layer's pixel size when its buffer holds exactly that many pixels.
std::optional<std::pair<std::size_t, std::size_t>> bufferSize(const PSDLayer& layer) {
  const float width = std::floor(layer.rect.width);
  const float height = std::floor(layer.rect.height);
  if (!layer.imageData ||
      !(width >= 1 && height >= 1 && width <= kMaxPsdSide && height <= kMaxPsdSide)) {
    return std::nullopt;
  }
  const auto w = static_cast<std::size_t>(width);
  const auto h = static_cast<std::size_t>(height);
  if (layer.imageData->size() != w * h * kPixelBytes) return std::nullopt;
  return std::pair{w, h};
}

}  // namespace

void PSDWriter::preprocess() {
  if (!flattenedData_ && flattenedContext_) {
    flattenedData_ =
        std::make_shared<std::vector<std::uint8_t>>(std::move(*flattenedContext_).takePixels());
  }
  flattenedContext_.reset();
  if (!shouldFlipLayerData_ && !shouldUnpremultiplyLayerData_) return;
  if (!layers_) return;
  for (PSDLayer& layer : *layers_) {
    if (!layer.imageData || layer.imageData->empty()) continue;
    if (shouldUnpremultiplyLayerData_) unpremultiplyPixels(layer.imageData->data(), layer.imageData->size() / kPixelBytes);
    // Each layer is mirrored within its own buffer, so a layer smaller than the canvas keeps
    // its place and only its rows trade places. A buffer that does not match its rect is
    // left alone here; the encoder refuses it.
    if (shouldFlipLayerData_) {
      if (const auto size = bufferSize(layer))
        flipRows(layer.imageData->data(), size->first, size->second);
    }
  }
}

}  // namespace quillane
