// Builds a layered document (PSD or PSB) from fuzzed sizes and pixels with the writer, and
// reads the file back with PsdReader.h: every layer must hold its image's straight pixels
// where it covers the canvas (white under full transparency) and be transparent elsewhere,
// and the merged image must be opaque.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "PsdReader.h"
#include "image/decode/SizeCheck.h"
#include "psd/PSDWriter.h"

namespace {

constexpr int kMaxSide = 48;
constexpr int kMaxLayers = 3;

struct Input {
  const std::uint8_t* data;
  std::size_t size;
  std::size_t at = 0;
  std::uint8_t next() { return at < size ? data[at++] : 0; }
};

void checkLayer(const quillane::fuzz::PsdLayer& layer, const quillane::Bitmap& image, int width,
                int height) {
  if (layer.top != 0 || layer.left != 0 || layer.width() != width || layer.height() != height ||
      layer.channels.size() != 4 || layer.opacity != 255)
    std::abort();
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const std::size_t at = std::size_t(y) * std::size_t(width) + std::size_t(x);
      const bool inside = x < image.width && y < image.height;
      const std::uint8_t* pixel = inside ? image.row(y) + 4 * x : nullptr;
      for (const auto& channel : layer.channels) {
        const int sample = channel.id == -1 ? 3 : channel.id;
        // A fully transparent pixel's colour is written white.
        const bool white = inside && sample < 3 && pixel[3] == 0;
        const int expected = !inside ? 0 : white ? 255 : pixel[sample];
        if (channel.samples[at] != expected) std::abort();
      }
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Input in{data, size};
  const int width = in.next() % kMaxSide + 1;
  const int height = in.next() % kMaxSide + 1;
  const int layerCount = in.next() % kMaxLayers + 1;
  const auto format = in.next() % 2 ? quillane::PSDFormat::Psb : quillane::PSDFormat::Psd;
  std::vector<quillane::PSDLayer> layers;
  for (int i = 0; i < layerCount; ++i) {
    auto bitmap = quillane::createBitmap(in.next() % kMaxSide, in.next() % kMaxSide,
                                         quillane::BitmapFill::Zeroes);
    if (!bitmap) std::abort();
    layers.push_back({"layer " + std::to_string(i), std::move(*bitmap)});
  }
  for (auto& layer : layers)
    for (std::uint8_t& byte : layer.image.pixels) byte = in.next();

  const quillane::ByteBuffer file =
      quillane::createPSDData(quillane::Size{width, height}, layers, {.format = format});
  quillane::fuzz::PsdDocument doc;
  try {
    doc = quillane::fuzz::readPsd(file);
  } catch (const quillane::fuzz::BadPsd&) {
    std::abort();
  }
  if (doc.width != width || doc.height != height || doc.layers.size() != layers.size() ||
      doc.merged.size() != 4)
    std::abort();
  for (std::size_t i = 0; i < layers.size(); ++i)
    checkLayer(doc.layers[i], layers[i].image, width, height);
  for (const std::uint8_t alpha : doc.merged[3])
    if (alpha != 255) std::abort();
  return 0;
}
