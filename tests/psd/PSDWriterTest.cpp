#include <gtest/gtest.h>

#include <array>
#include <fstream>
#include <functional>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "image/decode/SizeCheck.h"
#include "psd/PSDWriter.h"
#include "support/JobSupport.h"
#include "support/TempFolder.h"
#include "util/Error.h"

namespace quillane {
namespace {

// A bitmap whose pixel (x, y) is rgba(x, y) as 0xRRGGBBAA.
Bitmap pixels(int width, int height, const std::function<std::uint32_t(int, int)>& rgba) {
  Bitmap bitmap = *createBitmap(width, height, BitmapFill::Zeroes);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const std::uint32_t pixel = rgba(x, y);
      for (int c = 0; c < 4; ++c) bitmap.row(y)[4 * x + c] = std::uint8_t(pixel >> (24 - 8 * c));
    }
  }
  return bitmap;
}

// The kind of error the action raises; none when it raises nothing.
std::optional<ErrorKind> failureKind(const std::function<void()>& action) {
  try {
    action();
  } catch (const Error& e) {
    return e.kind;
  }
  return std::nullopt;
}

void writeBytes(const std::string& path, const ByteBuffer& bytes) {
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

// A layer's rows handed out in bands of the given heights in turn, each band a copy.
class BandsOf final : public LayerBands {
 public:
  BandsOf(const Bitmap& image, std::vector<int> heights) : image_(image), heights_(heights) {}
  const Bitmap* next() override {
    if (top_ >= image_.height) return nullptr;
    const int rows = std::min(heights_[turn_++ % heights_.size()], image_.height - top_);
    Bitmap& band = bands_[turn_ % 2];
    band = *createBitmap(image_.width, rows, BitmapFill::Nothing);
    std::copy_n(image_.row(top_), band.pixels.size(), band.pixels.data());
    band.knownOpaque = image_.knownOpaque;
    top_ += rows;
    return &band;
  }

 private:
  const Bitmap& image_;
  std::vector<int> heights_;
  std::array<Bitmap, 2> bands_;
  std::size_t turn_ = 0;
  int top_ = 0;
};

std::string jsonString(const std::string& text) {
  std::string quoted = "\"";
  for (const char c : text) quoted += c == '"' || c == '\\' ? std::string{'\\', c} : std::string{c};
  return quoted + "\"";
}

// Canvas 2 x 1, one opaque red pixel named "A": every byte of the file, worked out by hand.
TEST(PSDWriter, RedPixelDocumentIsExact) {
  // clang-format off
  const ByteBuffer expected = {
      0x38, 0x42, 0x50, 0x53, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x04, 0x00, 0x00,
      0x00, 0x01, 0x00, 0x00, 0x00, 0x02, 0x00, 0x08, 0x00, 0x03, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
      0x00, 0x2a, 0x38, 0x42, 0x49, 0x4d, 0x03, 0xed, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x48,
      0x00, 0x00, 0x00, 0x01, 0x00, 0x01, 0x00, 0x48, 0x00, 0x00, 0x00, 0x01, 0x00, 0x01, 0x38, 0x42,
      0x49, 0x4d, 0x04, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00, 0x8e,
      0x00, 0x00, 0x00, 0x8a, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
      0x00, 0x01, 0x00, 0x00, 0x00, 0x02, 0x00, 0x04, 0x00, 0x00, 0x00, 0x00, 0x00, 0x08, 0x00, 0x01,
      0x00, 0x00, 0x00, 0x08, 0x00, 0x02, 0x00, 0x00, 0x00, 0x08, 0xff, 0xff, 0x00, 0x00, 0x00, 0x08,
      0x38, 0x42, 0x49, 0x4d, 0x6e, 0x6f, 0x72, 0x6d, 0xff, 0x00, 0x08, 0x00, 0x00, 0x00, 0x00, 0x2e,
      0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01, 0x41, 0x00, 0x00, 0x38, 0x42, 0x49, 0x4d,
      0x6c, 0x75, 0x6e, 0x69, 0x00, 0x00, 0x00, 0x06, 0x00, 0x00, 0x00, 0x01, 0x00, 0x41, 0x38, 0x42,
      0x49, 0x4d, 0x6c, 0x73, 0x70, 0x66, 0x00, 0x00, 0x00, 0x04, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01,
      0x00, 0x04, 0x00, 0xff, 0x00, 0x00, 0x00, 0x01, 0x00, 0x04, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01,
      0x00, 0x04, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x04, 0x00, 0xff, 0x00, 0x00, 0x00, 0x01,
      0x00, 0x03, 0x00, 0x03, 0x00, 0x03, 0x00, 0x03, 0x01, 0xff, 0xff, 0x01, 0x00, 0xff, 0x01, 0x00,
      0xff, 0x01, 0xff, 0xff};
  // clang-format on
  const std::vector<PSDLayer> layers = {{"A", pixels(1, 1, [](int, int) { return 0xFF0000FFu; })}};
  EXPECT_EQ(createPSDData(Size{2, 1}, layers), expected);
}

// The same document as a PSB: version 2, the section lengths and the channel lengths in 8
// bytes, every row's byte count in 4; the rest as in the PSD.
TEST(PSDWriter, RedPixelLargeDocumentIsExact) {
  // clang-format off
  const ByteBuffer expected = {
      0x38, 0x42, 0x50, 0x53, 0x00, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x04, 0x00, 0x00,
      0x00, 0x01, 0x00, 0x00, 0x00, 0x02, 0x00, 0x08, 0x00, 0x03, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
      0x00, 0x2a, 0x38, 0x42, 0x49, 0x4d, 0x03, 0xed, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x48,
      0x00, 0x00, 0x00, 0x01, 0x00, 0x01, 0x00, 0x48, 0x00, 0x00, 0x00, 0x01, 0x00, 0x01, 0x38, 0x42,
      0x49, 0x4d, 0x04, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
      0x00, 0x00, 0x00, 0xaa, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xa2, 0x00, 0x01, 0x00, 0x00,
      0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x02, 0x00, 0x04,
      0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x0a, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00,
      0x00, 0x00, 0x00, 0x0a, 0x00, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x0a, 0xff, 0xff,
      0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x0a, 0x38, 0x42, 0x49, 0x4d, 0x6e, 0x6f, 0x72, 0x6d,
      0xff, 0x00, 0x08, 0x00, 0x00, 0x00, 0x00, 0x2e, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
      0x01, 0x41, 0x00, 0x00, 0x38, 0x42, 0x49, 0x4d, 0x6c, 0x75, 0x6e, 0x69, 0x00, 0x00, 0x00, 0x06,
      0x00, 0x00, 0x00, 0x01, 0x00, 0x41, 0x38, 0x42, 0x49, 0x4d, 0x6c, 0x73, 0x70, 0x66, 0x00, 0x00,
      0x00, 0x04, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x04, 0x00, 0xff, 0x00, 0x00,
      0x00, 0x01, 0x00, 0x00, 0x00, 0x04, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x04,
      0x00, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x04, 0x00, 0xff, 0x00, 0x00, 0x00, 0x01,
      0x00, 0x00, 0x00, 0x03, 0x00, 0x00, 0x00, 0x03, 0x00, 0x00, 0x00, 0x03, 0x00, 0x00, 0x00, 0x03,
      0x01, 0xff, 0xff, 0x01, 0x00, 0xff, 0x01, 0x00, 0xff, 0x01, 0xff, 0xff};
  // clang-format on
  const std::vector<PSDLayer> layers = {{"A", pixels(1, 1, [](int, int) { return 0xFF0000FFu; })}};
  EXPECT_EQ(createPSDData(Size{2, 1}, layers, {.format = PSDFormat::Psb}), expected);
}

TEST(PSDWriter, RefusesWhatItCannotWrite) {
  const Bitmap one = *createBitmap(1, 1, BitmapFill::Zeroes);
  const auto document = [&](Size size, std::size_t count, PSDOptions options = {}) {
    return [=, &one] { createPSDData(size, std::vector<PSDLayer>(count, {"x", one}), options); };
  };
  EXPECT_EQ(failureKind(document({30001, 1}, 1)), ErrorKind::PsdSideLimit);
  EXPECT_EQ(failureKind(document({1, 30001}, 1)), ErrorKind::PsdSideLimit);
  EXPECT_EQ(failureKind(document({30000, 1}, 1)), std::nullopt);
  const PSDOptions psb{.format = PSDFormat::Psb};
  EXPECT_EQ(failureKind(document({40000, 1}, 1, psb)), std::nullopt);
  EXPECT_EQ(failureKind(document({1, 300001}, 1, psb)), ErrorKind::PsdSideLimit);
  EXPECT_EQ(failureKind(document({0, 5}, 1)), ErrorKind::Internal);
  EXPECT_EQ(failureKind(document({1, 1}, 0)), ErrorKind::Internal);
  EXPECT_EQ(failureKind(document({1, 1}, 32767)), std::nullopt);  // a signed 16-bit count
  EXPECT_EQ(failureKind(document({1, 1}, 32768)), ErrorKind::TooManyFiles);
  // The limit holds to the last byte, the merged image's included.
  const std::uint64_t whole = createPSDData({8, 8}, std::vector<PSDLayer>(3, {"x", one})).size();
  EXPECT_EQ(failureKind(document({8, 8}, 3, {.maxFileBytes = whole - 1})), ErrorKind::PsdByteLimit);
  EXPECT_EQ(failureKind(document({8, 8}, 3, {.maxFileBytes = whole})), std::nullopt);

  for (const auto& [format, limit] : {std::pair{PSDFormat::Psd, 30000}, {PSDFormat::Psb, 300000}}) {
    try {
      createPSDData({limit + 1, 2}, {{"x", one}}, {.format = format});
      ADD_FAILURE() << "a side above " << limit << " was written";
    } catch (const Error& e) {
      EXPECT_EQ((std::array{e.width, e.height, e.limit}),
                (std::array<long long, 3>{limit + 1, 2, limit}));
    }
  }

  struct : PSDSink {
    void write(std::span<const std::uint8_t>) override {}
    void writeAt(std::uint64_t, std::span<const std::uint8_t>) override {}
  } sink;
  PSDWriter writer(sink, {1, 1}, {"a"});
  EXPECT_EQ(failureKind([&] { writer.finish(); }), ErrorKind::Internal);
  writer.addLayer(one);
  EXPECT_EQ(failureKind([&] { writer.addLayer(one); }), ErrorKind::Internal);
}

// Writes the document and, beside it, its layers' sources for psdcheck.py; answers what
// psd-tools finds wrong with it.
std::string faultsOfDocument(const std::string& stem, Size canvas,
                             const std::vector<PSDLayer>& layers, PSDFormat format) {
  writeBytes(stem + ".psd", createPSDData(canvas, layers, {.format = format}));
  std::string manifest = "{\"canvas\": [" + std::to_string(int(canvas.width)) + ", " +
                         std::to_string(int(canvas.height)) + "], \"layers\": [";
  for (std::size_t i = 0; i < layers.size(); ++i) {
    const Bitmap& image = layers[i].image;
    const std::string raw = stem + "-" + std::to_string(i) + ".raw";
    writeBytes(raw, ByteBuffer(image.pixels.begin(), image.pixels.end()));
    manifest += std::string(i ? ", " : "") + "{\"name\": " + jsonString(layers[i].name) +
                ", \"raw\": " + jsonString(raw) + ", \"width\": " + std::to_string(image.width) +
                ", \"height\": " + std::to_string(image.height) + "}";
  }
  std::ofstream(stem + ".json") << manifest << "]}";
  return testsupport::psdFaults({stem + ".psd", "--manifest", stem + ".json"});
}

// Documents with layers smaller and larger than the canvas (an empty one among them),
// translucent and clear pixels, Japanese names, read back by psd-tools: every layer exactly
// its source, straight colour included, and the merged image the layers over white. The
// largest canvas is packed on two threads. Every other document is a PSB.
TEST(PSDWriter, IndependentReaderSeesEveryLayerExactly) {
  std::mt19937 random(7);
  const auto pick = [&](int low, int high) {
    return std::uniform_int_distribution(low, high)(random);
  };
  const auto someAlpha = [&] {
    const int kind = pick(0, 3);
    return std::uint32_t(kind == 0 ? 0 : kind == 1 ? 255 : pick(1, 254));
  };
  testsupport::TempFolder folder;
  int document = 0;
  for (const Size canvas : {Size{1, 1}, Size{17, 5}, Size{40, 33}, Size{33, 40}, Size{700, 600}}) {
    const int w = int(canvas.width), h = int(canvas.height);
    std::vector<PSDLayer> layers;
    for (int i = 0; i < 4; ++i) {
      const int lw = i == 0 ? w : i == 3 ? 0 : pick(1, w + 9);
      const int lh = i == 0 ? h : pick(1, h + 9);
      const auto base = static_cast<std::uint32_t>(random());
      layers.push_back({"層 " + std::to_string(i) + (i == 2 ? "~\\.png" : ".png"),
                        pixels(lw, lh, [&](int x, int y) {
                          return ((base + std::uint32_t(x / 3 * 77 + y * 1031)) & ~0xFFu) |
                                 someAlpha();
                        })});
    }
    const std::string stem = folder.file("d" + std::to_string(document++));
    const PSDFormat format = document % 2 ? PSDFormat::Psb : PSDFormat::Psd;
    EXPECT_EQ(faultsOfDocument(stem, canvas, layers, format), "") << stem;

    // The same layers in bands give the same bytes, blended either way.
    for (const Blend blend : {Blend::Normal, Blend::Multiply}) {
      const PSDOptions options{.format = format, .blend = blend};
      ByteBuffer banded;
      MemorySink sink(banded);
      std::vector<std::string> names;
      for (const PSDLayer& layer : layers) names.push_back(layer.name);
      PSDWriter writer(sink, canvas, names, options);
      for (const PSDLayer& layer : layers) {
        BandsOf bands(layer.image, {1, 7, pick(1, 90)});
        writer.addLayer({layer.image.width, layer.image.height}, bands);
      }
      writer.finish();
      EXPECT_EQ(banded, createPSDData(canvas, layers, options)) << stem;
    }
  }
}

}  // namespace
}  // namespace quillane
