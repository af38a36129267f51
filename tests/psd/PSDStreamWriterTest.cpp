// The streaming writer against the in-memory one: the same layers and options give the same
// file, byte for byte, on random documents; failures are the same exceptions.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "psd/PSDStreamWriter.h"
#include "psd/PSDWriter.h"
#include "util/CheckedSize.h"
#include "util/Exception.h"

namespace quillane {
namespace {

using Bytes = std::vector<std::uint8_t>;

// A file in memory, rewritable in place.
class MemorySink : public PSDSink {
 public:
  void write(std::span<const std::uint8_t> bytes) override {
    bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
  }
  void writeAt(std::uint64_t offset, std::span<const std::uint8_t> bytes) override {
    ASSERT_LE(offset + bytes.size(), bytes_.size());
    std::copy(bytes.begin(), bytes.end(), bytes_.begin() + std::ptrdiff_t(offset));
  }
  const Bytes& bytes() const { return bytes_; }

 private:
  Bytes bytes_;
};

struct LayerInput {
  Bitmap image;
  std::string name;
  float opacity = 1.0f;
  Point offset;
};

struct Document {
  Size size;
  int channels = 4;
  bool flip = false;
  bool unpremultiply = false;
  std::vector<LayerInput> layers;
};

// Flat areas, noise and every kind of alpha: opaque, clear and half-transparent pixels.
Bitmap randomBitmap(std::mt19937& random, int width, int height) {
  Bitmap bitmap = *Bitmap::allocate(width, height);
  const int style = std::uniform_int_distribution<int>(0, 3)(random);
  std::uniform_int_distribution<int> byte(0, 255);
  const std::uint8_t flat[4] = {std::uint8_t(byte(random)), std::uint8_t(byte(random)),
                                std::uint8_t(byte(random)), 255};
  for (std::size_t i = 0; i < bitmap.pixels.size(); i += 4) {
    const bool noisy = style == 0 || (style == 1 && byte(random) < 40);
    for (int c = 0; c < 3; ++c) bitmap.pixels[i + c] = noisy ? std::uint8_t(byte(random)) : flat[c];
    const int alphaPick = byte(random);
    bitmap.pixels[i + 3] = style == 2        ? 255
                           : alphaPick < 128 ? 255
                           : alphaPick < 192 ? 0
                                             : std::uint8_t(byte(random));
  }
  return bitmap;
}

const char* const kNames[] = {"photo.jpg",
                              "スクリーン.png",
                              "a",
                              "Layer 1.tif",
                              "\xff\xfe.bmp",
                              "long-name-long-name-long-name-long-name-long-name-long-name-"
                              "long-name-long-name-long-name-long-name-long-name-long-name-"
                              "long-name-long-name-long-name-long-name-long-name-long-name-"
                              "long-name-long-name-long-name-long-name-long-name-long-name.png"};

// Sides from minSide to maxSide: a large canvas makes the writer share its work with its
// helper thread.
Document randomDocument(std::mt19937& random, int minSide = 1, int maxSide = 180) {
  std::uniform_int_distribution<int> side(minSide, maxSide);
  std::uniform_int_distribution<int> count(1, 5);
  std::uniform_int_distribution<int> coin(0, 1);
  std::uniform_int_distribution<int> shift(-40, 60);
  Document document;
  document.size = Size{float(side(random)), float(side(random))};
  document.channels = coin(random) ? 4 : 3;
  document.flip = coin(random) && coin(random);
  document.unpremultiply = coin(random) || coin(random);
  const int layers = count(random);
  for (int i = 0; i < layers; ++i) {
    LayerInput layer;
    // Mostly the canvas size at the origin, as the job adds them; otherwise anywhere.
    const bool likeTheJob = coin(random);
    const int w = likeTheJob ? int(document.size.width) : side(random);
    const int h = likeTheJob ? int(document.size.height) : side(random);
    layer.image = randomBitmap(random, w, h);
    layer.name =
        kNames[std::uniform_int_distribution<std::size_t>(0, std::size(kNames) - 1)(random)];
    layer.opacity = likeTheJob ? 1.0f : std::uniform_real_distribution<float>(0.0f, 1.0f)(random);
    if (!likeTheJob) layer.offset = Point{float(shift(random)), float(shift(random))};
    document.layers.push_back(std::move(layer));
  }
  return document;
}

Bytes inMemory(const Document& document, std::uint64_t maxBytes) {
  PSDWriter writer(document.size);
  writer.setLayerChannelCount(document.channels);
  writer.setShouldFlipLayerData(document.flip);
  writer.setShouldUnpremultiplyLayerData(document.unpremultiply);
  for (const LayerInput& layer : document.layers)
    writer.addLayerWithCGImage(layer.image, layer.name, layer.opacity, layer.offset);
  return writer.createPSDData(maxBytes);
}

Bytes streamed(const Document& document, std::uint64_t maxBytes) {
  MemorySink sink;
  std::vector<std::string> names;
  for (const LayerInput& layer : document.layers) names.push_back(layer.name);
  PSDStreamOptions options;
  options.layerChannelCount = document.channels;
  options.flipLayerData = document.flip;
  options.unpremultiplyLayerData = document.unpremultiply;
  options.maxFileBytes = maxBytes;
  PSDStreamWriter writer(sink, document.size, names, options);
  for (const LayerInput& layer : document.layers)
    writer.addLayerWithCGImage(layer.image, layer.opacity, layer.offset);
  writer.finish();
  EXPECT_EQ(writer.bytesWritten(), sink.bytes().size());
  return sink.bytes();
}

// The file, or the name of the exception raised instead.
std::string outcome(const std::function<Bytes()>& write, Bytes& file) {
  try {
    file = write();
  } catch (const Exception& e) {
    return e.name();
  }
  return "";
}

TEST(PSDStreamWriter, RandomDocumentsMatchTheInMemoryFileByteForByte) {
  std::mt19937 random(61);
  int written = 0;
  for (int i = 0; i < 120; ++i) {
    const Document document = i < 6 ? randomDocument(random, 520, 700) : randomDocument(random);
    Bytes expected;
    Bytes actual;
    const std::string expectedError =
        outcome([&] { return inMemory(document, kMaxPsdFileBytes); }, expected);
    const std::string actualError =
        outcome([&] { return streamed(document, kMaxPsdFileBytes); }, actual);
    ASSERT_EQ(actualError, expectedError) << "document " << i;
    ASSERT_EQ(actual.size(), expected.size()) << "document " << i;
    ASSERT_TRUE(actual == expected) << "document " << i;
    written += expectedError.empty();
  }
  EXPECT_GT(written, 100);
}

TEST(PSDStreamWriter, RefusesWhatTheInMemoryWriterRefuses) {
  std::mt19937 random(3);
  Document document = randomDocument(random);
  const std::size_t size = inMemory(document, kMaxPsdFileBytes).size();
  // A limit just below the file, and one below the header and records alone.
  for (const std::uint64_t limit : {std::uint64_t(size - 1), std::uint64_t(100)}) {
    Bytes ignored;
    EXPECT_EQ(outcome([&] { return streamed(document, limit); }, ignored), kDocumentTooLargeName);
    EXPECT_EQ(outcome([&] { return inMemory(document, limit); }, ignored), kDocumentTooLargeName);
  }
  Bytes exact;
  EXPECT_EQ(outcome([&] { return streamed(document, size); }, exact), "");

  Document tooWide = document;
  tooWide.size.width = kMaxPsdSide + 1;
  Bytes ignored;
  EXPECT_EQ(outcome([&] { return streamed(tooWide, kMaxPsdFileBytes); }, ignored),
            kDocumentTooLargeName);
  Document twoChannels = document;
  twoChannels.channels = 2;
  EXPECT_EQ(outcome([&] { return streamed(twoChannels, kMaxPsdFileBytes); }, ignored),
            kGenericExceptionName);
}

TEST(PSDStreamWriter, EveryNamedLayerMustBeAddedOnce) {
  MemorySink sink;
  PSDStreamWriter writer(sink, Size{2, 2}, {"a", "b"});
  const Bitmap image = *Bitmap::allocate(2, 2);
  writer.addLayerWithCGImage(image, 1.0f, Point{});
  EXPECT_THROW(writer.finish(), Exception);
  writer.addLayerWithCGImage(image, 1.0f, Point{});
  EXPECT_THROW(writer.addLayerWithCGImage(image, 1.0f, Point{}), Exception);
  writer.finish();
}

}  // namespace
}  // namespace quillane
