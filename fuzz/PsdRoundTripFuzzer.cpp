// Builds a layered document from fuzzed sizes, offsets and pixels with the writer, as the
// job does (straight colour in the layers), streams the same layers through the streaming
// writer the job uses (the bytes must be the same), and reads the file back with
// PsdReader.h: every layer must hold its image's pixels where it lies on the canvas and
// nothing elsewhere.
#include <cstddef>
#include <cstdint>
#include <algorithm>
#include <cstdlib>
#include <span>
#include <string>
#include <vector>

#include "PsdReader.h"
#include "image/Bitmap.h"
#include "psd/PSDStreamWriter.h"
#include "psd/PSDWriter.h"

namespace {

constexpr int kMaxSide = 48;
constexpr int kMaxLayers = 3;
constexpr int kOffsetRange = 64;  // offsets from -16 to 47
constexpr int kOffsetBias = 16;

struct Input {
  const std::uint8_t* data;
  std::size_t size;
  std::size_t at = 0;
  std::uint8_t next() { return at < size ? data[at++] : 0; }
};

// The streamed file in memory; a rewrite must fall on bytes already written.
class MemorySink : public quillane::PSDSink {
 public:
  void write(std::span<const std::uint8_t> bytes) override {
    bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
  }
  void writeAt(std::uint64_t offset, std::span<const std::uint8_t> bytes) override {
    if (offset > bytes_.size() || bytes_.size() - offset < bytes.size()) std::abort();
    std::copy(bytes.begin(), bytes.end(), bytes_.begin() + static_cast<std::ptrdiff_t>(offset));
  }
  const std::vector<std::uint8_t>& bytes() const { return bytes_; }

 private:
  std::vector<std::uint8_t> bytes_;
};

struct Placed {
  quillane::Bitmap image;
  int x = 0;
  int y = 0;
};

// Straight colour goes through premultiplied drawing and back: exact at full alpha, within
// the rounding of a division by alpha below it; the colour of a clear pixel is not kept.
bool sameColour(int expected, int actual, int alpha) {
  if (alpha == 0) return true;
  if (alpha == 255) return expected == actual;
  return std::abs(expected - actual) <= 255 / alpha + 1;
}

void checkLayer(const quillane::fuzz::PsdLayer& layer, const Placed& placed) {
  const quillane::fuzz::PsdChannel* channels[4] = {};
  for (const auto& channel : layer.channels) {
    const int slot = channel.id == -1 ? 3 : channel.id;
    if (slot < 0 || slot > 3 || channels[slot]) std::abort();
    channels[slot] = &channel;
  }
  if (layer.width() == 0 || layer.height() == 0) return;
  for (const auto* channel : channels)
    if (!channel) std::abort();
  for (int py = 0; py < layer.height(); ++py) {
    for (int px = 0; px < layer.width(); ++px) {
      const int ix = layer.left + px - placed.x;
      const int iy = layer.top + py - placed.y;
      const bool inside = ix >= 0 && iy >= 0 && ix < placed.image.width && iy < placed.image.height;
      const std::size_t at = static_cast<std::size_t>(py) * layer.width() + px;
      const int alpha = channels[3]->samples[at];
      if (!inside) {
        if (alpha != 0) std::abort();
        continue;
      }
      const std::uint8_t* pixel = placed.image.row(iy) + static_cast<std::size_t>(ix) * 4;
      if (alpha != pixel[3]) std::abort();
      for (int c = 0; c < 3; ++c)
        if (!sameColour(pixel[c], channels[c]->samples[at], alpha)) std::abort();
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Input in{data, size};
  const int width = in.next() % kMaxSide + 1;
  const int height = in.next() % kMaxSide + 1;
  const int layerCount = in.next() % kMaxLayers + 1;
  std::vector<Placed> placed;
  for (int i = 0; i < layerCount; ++i) {
    const int w = in.next() % kMaxSide + 1;
    const int h = in.next() % kMaxSide + 1;
    auto bitmap = quillane::Bitmap::allocate(w, h);
    if (!bitmap) std::abort();
    const int x = in.next() % kOffsetRange - kOffsetBias;
    const int y = in.next() % kOffsetRange - kOffsetBias;
    placed.push_back({std::move(*bitmap), x, y});
  }
  for (Placed& p : placed)
    for (std::uint8_t& byte : p.image.pixels) byte = in.next();

  const quillane::Size canvas{static_cast<float>(width), static_cast<float>(height)};
  std::vector<std::string> names;
  for (std::size_t i = 0; i < placed.size(); ++i) names.push_back("layer " + std::to_string(i));
  const auto offsetOf = [](const Placed& p) {
    return quillane::Point{static_cast<float>(p.x), static_cast<float>(p.y)};
  };

  quillane::PSDWriter writer(canvas);
  writer.setShouldUnpremultiplyLayerData(true);
  for (std::size_t i = 0; i < placed.size(); ++i)
    writer.addLayerWithCGImage(placed[i].image, names[i], 1.0f, offsetOf(placed[i]));
  const quillane::ByteBuffer file = writer.createPSDData();

  MemorySink sink;
  quillane::PSDStreamOptions options;
  options.unpremultiplyLayerData = true;
  quillane::PSDStreamWriter streamed(sink, canvas, names, options);
  for (const Placed& p : placed) streamed.addLayerWithCGImage(p.image, 1.0f, offsetOf(p));
  streamed.finish();
  if (sink.bytes() != file) std::abort();

  quillane::fuzz::PsdDocument doc;
  try {
    doc = quillane::fuzz::readPsd(file);
  } catch (const quillane::fuzz::BadPsd&) {
    std::abort();
  }
  if (doc.width != width || doc.height != height || doc.layers.size() != placed.size())
    std::abort();
  for (std::size_t i = 0; i < placed.size(); ++i) checkLayer(doc.layers[i], placed[i]);
  return 0;
}
