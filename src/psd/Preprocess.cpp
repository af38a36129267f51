#include <algorithm>
#include <cmath>
#include <utility>

#include "psd/PSDWriter.h"
#include "util/CheckedSize.h"

namespace quillane {
namespace {

constexpr int kPixelBytes = 4;

// Colour divided by alpha in single precision, clamped to 0..255 and truncated. Alpha 0
// has no finite quotient: its colour becomes 255.
void unpremultiply(std::vector<std::uint8_t>& pixels) {
  for (std::size_t i = 0; i + kPixelBytes <= pixels.size(); i += kPixelBytes) {
    const std::uint8_t alphaByte = pixels[i + 3];
    if (alphaByte == 255) continue;
    const float alpha = alphaByte / 255.0f;
    for (int c = 0; c < 3; ++c) {
      const float value = alphaByte == 0 ? 255.0f : pixels[i + c] / alpha;
      pixels[i + c] = static_cast<std::uint8_t>(std::clamp(value, 0.0f, 255.0f));
    }
  }
}

// Mirrors the rows of a width x height buffer top to bottom; a middle row stays.
void flipRows(std::vector<std::uint8_t>& pixels, std::size_t width, std::size_t height) {
  const std::size_t rowBytes = width * kPixelBytes;
  for (std::size_t top = 0, bottom = height - 1; top < bottom; ++top, --bottom) {
    std::swap_ranges(pixels.begin() + top * rowBytes, pixels.begin() + (top + 1) * rowBytes,
                     pixels.begin() + bottom * rowBytes);
  }
}

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
    if (shouldUnpremultiplyLayerData_) unpremultiply(*layer.imageData);
    // Each layer is mirrored within its own buffer, so a layer smaller than the canvas keeps
    // its place and only its rows trade places. A buffer that does not match its rect is
    // left alone here; the encoder refuses it.
    if (shouldFlipLayerData_) {
      if (const auto size = bufferSize(layer))
        flipRows(*layer.imageData, size->first, size->second);
    }
  }
}

}  // namespace quillane
