#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "psd/PSDWriter.h"
#include "util/Exception.h"
#include "util/Log.h"

namespace quillane {
namespace {

using Bytes = std::vector<std::uint8_t>;

std::shared_ptr<Bytes> pixels(Bytes bytes) { return std::make_shared<Bytes>(std::move(bytes)); }

PSDLayer makeLayer(std::string name, Rect rect, Bytes data, float opacity = 1.0f) {
  PSDLayer layer;
  layer.name = std::move(name);
  layer.rect = rect;
  layer.imageData = pixels(std::move(data));
  layer.opacity = opacity;
  return layer;
}

std::uint32_t be32(const Bytes& b, std::size_t at) {
  return std::uint32_t(b[at]) << 24 | std::uint32_t(b[at + 1]) << 16 |
         std::uint32_t(b[at + 2]) << 8 | b[at + 3];
}

std::unique_ptr<PSDWriter> document(Size size, std::vector<PSDLayer> layers, Bytes flattened) {
  auto writer = std::make_unique<PSDWriter>(size);
  writer->setLayers(std::move(layers));
  writer->setFlattenedData(pixels(std::move(flattened)));
  return writer;
}

std::vector<PSDLayer> oneLayer(PSDLayer layer) {
  std::vector<PSDLayer> layers;
  layers.push_back(std::move(layer));
  return layers;
}

// Canvas 2 x 1, one opaque red pixel at (0, 0) named "A"; the composite is red then white.
std::unique_ptr<PSDWriter> redPixelDocument() {
  return document(Size{2, 1}, oneLayer(makeLayer("A", Rect{0, 0, 1, 1}, {0xFF, 0, 0, 0xFF})),
                  {0xFF, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF});
}

// Where the channel data of the first layer starts, in a document of one layer.
std::size_t firstChannelData(const Bytes& file, int channels) {
  const std::size_t record = 86;
  const std::size_t extraLength = record + 18 + 6 * channels + 12;
  return extraLength + 4 + be32(file, extraLength);
}

std::string exceptionName(const std::function<void()>& action, std::string* reason = nullptr) {
  try {
    action();
  } catch (const Exception& e) {
    if (reason) *reason = e.reason();
    return e.name();
  }
  return "";
}

TEST(PSDAssembly, RedPixelDocumentIsExact) {
  // clang-format off
  const Bytes expected = {
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
  auto writer = redPixelDocument();
  EXPECT_EQ(writer->createPSDData(), expected);
  ASSERT_NE(writer->layers(), nullptr);
  EXPECT_TRUE(writer->layers()->empty());
  // The layers are consumed: a second call has nothing to write.
  std::string reason;
  EXPECT_EQ(exceptionName([&] { writer->createPSDData(); }, &reason), kGenericExceptionName);
  EXPECT_EQ(reason,
            "Please provide layer data, flattened data and set layer channel count to at least 3.");
}

TEST(PSDAssembly, ThreeChannelsDropTransparency) {
  auto writer = redPixelDocument();
  writer->setLayerChannelCount(3);
  const Bytes file = writer->createPSDData();
  EXPECT_EQ(file[13], 3);
  // Channel list: ids 0, 1, 2 with 8 bytes each, then the blend mode signature.
  const Bytes list = {0, 0, 0, 0, 0, 8, 0, 1, 0, 0, 0, 8, 0, 2, 0, 0, 0, 8, '8', 'B', 'I', 'M'};
  EXPECT_EQ(Bytes(file.begin() + 104, file.begin() + 126), list);
  // Three channel blocks of 8 bytes, then a merged image of three channels.
  const std::size_t data = firstChannelData(file, 3);
  const Bytes merged = {0, 1, 0, 3, 0, 3, 0, 3, 1, 0xff, 0xff, 1, 0, 0xff, 1, 0, 0xff};
  EXPECT_EQ(file.size(), data + 3 * 8 + merged.size());
  EXPECT_EQ(Bytes(file.end() - std::ptrdiff_t(merged.size()), file.end()), merged);
}

TEST(PSDAssembly, RefusesDocumentsItCannotWrite) {
  const std::string provide =
      "Please provide layer data, flattened data and set layer channel count to at least 3.";
  std::string reason;

  auto twoChannels = redPixelDocument();
  twoChannels->setLayerChannelCount(2);
  EXPECT_EQ(exceptionName([&] { twoChannels->createPSDData(); }, &reason), kGenericExceptionName);
  EXPECT_EQ(reason, provide);
  EXPECT_EQ(twoChannels->layers()->size(), 1u);  // nothing was consumed

  auto removed = redPixelDocument();
  removed->removeAllLayers();
  removed->removeAllLayers();
  EXPECT_EQ(removed->layers(), nullptr);
  EXPECT_EQ(exceptionName([&] { removed->createPSDData(); }, &reason), kGenericExceptionName);
  EXPECT_EQ(reason, provide);

  auto noFlattened = redPixelDocument();
  noFlattened->setFlattenedData(nullptr);
  EXPECT_EQ(exceptionName([&] { noFlattened->createPSDData(); }), kGenericExceptionName);

  auto emptyCanvas = redPixelDocument();
  emptyCanvas->setDocumentSize(Size{-1e20f, 1});
  EXPECT_EQ(exceptionName([&] { emptyCanvas->createPSDData(); }), kGenericExceptionName);

  auto fiveChannels = redPixelDocument();
  fiveChannels->setLayerChannelCount(5);
  EXPECT_EQ(exceptionName([&] { fiveChannels->createPSDData(); }), kGenericExceptionName);

  auto wrongSize = document(Size{2, 1}, oneLayer(makeLayer("A", Rect{0, 0, 2, 1}, {1, 2, 3, 4})),
                            Bytes(8, 0xFF));
  EXPECT_EQ(exceptionName([&] { wrongSize->createPSDData(); }), kInvalidLayerDataName);
}

TEST(PSDAssembly, LayerOutOfBoundsNamesTheLayer) {
  struct Case {
    Rect rect;
    std::string reason;
  } cases[] = {
      {Rect{-1, 0, 1, 1}, "Layer 1's x or y origin is negative, which is unsupported"},
      {Rect{0, -0.5f, 1, 1}, "Layer 1's x or y origin is negative, which is unsupported"},
      {Rect{1, 0, 2, 1},
       "Layer 1's bottom-right corner is beyond the edge of the canvas, which is unsupported"},
      {Rect{0, 0, 1, 2},
       "Layer 1's bottom-right corner is beyond the edge of the canvas, which is unsupported"},
  };
  for (const Case& c : cases) {
    std::vector<PSDLayer> layers;
    layers.push_back(makeLayer("ok", Rect{0, 0, 1, 1}, {1, 2, 3, 4}));
    layers.push_back(
        makeLayer("bad", c.rect, Bytes(std::size_t(c.rect.width * c.rect.height * 4), 9)));
    auto writer = document(Size{2, 1}, std::move(layers), Bytes(8, 0xFF));
    std::string reason;
    EXPECT_EQ(exceptionName([&] { writer->createPSDData(); }, &reason), kLayerOutOfBoundsName);
    EXPECT_EQ(reason, c.reason);
    // The layer before the failing one has been consumed.
    ASSERT_EQ(writer->layers()->size(), 1u);
    EXPECT_EQ(writer->layers()->front().name, "bad");
  }
}

TEST(PSDAssembly, SmallLayerGetsBlankRowsAndMargins) {
  auto writer =
      document(Size{3, 3}, oneLayer(makeLayer("A", Rect{1, 1, 1, 1}, {0x11, 0x22, 0x33, 0x44})),
               Bytes(36, 0xFF));
  const Bytes file = writer->createPSDData();
  std::size_t at = firstChannelData(file, 4);
  const std::uint8_t samples[] = {0x11, 0x22, 0x33, 0x44};
  for (const std::uint8_t sample : samples) {
    const Bytes block = {0, 1, 0, 2, 0, 6, 0, 2, 0xFE, 0, 0, 0, 0, sample, 0, 0, 0xFE, 0};
    EXPECT_EQ(
        Bytes(file.begin() + std::ptrdiff_t(at), file.begin() + std::ptrdiff_t(at + block.size())),
        block);
    at += block.size();
  }
}

TEST(PSDAssembly, OpacityByteIsCeiledAndClamped) {
  const std::pair<float, std::uint8_t> cases[] = {{1.0f, 255}, {0.5f, 128}, {0.0f, 0},
                                                  {0.1f, 26},  {1.5f, 255}, {-1.0f, 0}};
  for (const auto& [opacity, expected] : cases) {
    auto writer =
        document(Size{1, 1}, oneLayer(makeLayer("A", Rect{0, 0, 1, 1}, {0, 0, 0, 0}, opacity)),
                 Bytes(4, 0xFF));
    const Bytes file = writer->createPSDData();
    EXPECT_EQ(file[86 + 18 + 24 + 8], expected) << opacity;
  }
}

TEST(PSDAssembly, OddLayerInformationIsPadded) {
  // Three channels of one literal row of 3 bytes each make the layer information odd.
  auto writer =
      document(Size{2, 1}, oneLayer(makeLayer("A", Rect{0, 0, 2, 1}, {1, 2, 3, 4, 5, 6, 7, 8})),
               Bytes(8, 0xFF));
  writer->setLayerChannelCount(3);
  const Bytes file = writer->createPSDData();
  const std::uint32_t length = be32(file, 80);
  EXPECT_EQ(length % 2, 0u);
  EXPECT_EQ(be32(file, 76), length + 4);
  const std::size_t data = firstChannelData(file, 3);
  EXPECT_EQ(84 + length, data + 3 * 7 + 1);
  EXPECT_EQ(file[84 + length - 1], 0);
}

TEST(PSDAssembly, UnpremultipliesLayerColours) {
  auto writer = document(Size{3, 1},
                         oneLayer(makeLayer("A", Rect{0, 0, 3, 1},
                                            {0x40, 0x20, 0x00, 0x80, 0, 0, 0, 0, 9, 8, 7, 0xFF})),
                         Bytes(12, 0xFF));
  writer->setShouldUnpremultiplyLayerData(true);
  writer->preprocess();
  EXPECT_EQ(*writer->layers()->front().imageData,
            Bytes({0x7F, 0x3F, 0x00, 0x80, 0xFF, 0xFF, 0xFF, 0x00, 9, 8, 7, 0xFF}));
}

TEST(PSDAssembly, FlipMirrorsEachLayerWithinItsOwnRows) {
  std::vector<PSDLayer> layers;
  // Canvas size: the first and last rows trade places.
  layers.push_back(makeLayer("full", Rect{0, 0, 1, 3}, {1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3}));
  // Smaller than the canvas: mirrored inside its own 1 x 2 buffer; it keeps its place.
  layers.push_back(makeLayer("small", Rect{0, 1, 1, 2}, {4, 4, 4, 4, 5, 5, 5, 5}));
  const Bytes flattened = {7, 7, 7, 255, 8, 8, 8, 255, 9, 9, 9, 255};
  auto writer = document(Size{1, 3}, std::move(layers), flattened);
  writer->setShouldFlipLayerData(true);
  writer->preprocess();
  EXPECT_EQ(*(*writer->layers())[0].imageData, Bytes({3, 3, 3, 3, 2, 2, 2, 2, 1, 1, 1, 1}));
  EXPECT_EQ(*(*writer->layers())[1].imageData, Bytes({5, 5, 5, 5, 4, 4, 4, 4}));
  EXPECT_EQ((*writer->layers())[1].rect, (Rect{0, 1, 1, 2}));
  EXPECT_EQ(*writer->flattenedData(), flattened);
}

TEST(PSDAssembly, LayerWithoutPixelsIsWrittenTransparent) {
  PSDLayer empty = makeLayer("none", Rect{0, 0, 2, 1}, {});
  empty.imageData = nullptr;
  auto writer = document(Size{2, 1}, oneLayer(std::move(empty)), Bytes(8, 0xFF));
  const Bytes file = writer->createPSDData();
  const std::size_t data = firstChannelData(file, 4);
  for (int channel = 0; channel < 4; ++channel) {
    // Compression, one row count of 3, the blank row 01 00 00.
    const Bytes block = {0, 1, 0, 3, 1, 0, 0};
    const auto at = std::ptrdiff_t(data + 7 * std::size_t(channel));
    EXPECT_EQ(Bytes(file.begin() + at, file.begin() + at + 7), block);
  }
}

TEST(PSDAssembly, RefusesCanvasSidesAboveThePsdLimit) {
  for (const Size size : {Size{30001, 10}, Size{10, 30001}, Size{1e9f, 1e9f}}) {
    // Refused before anything else, even with nothing to write.
    PSDWriter writer(size);
    writer.setLayerChannelCount(2);
    std::string reason;
    EXPECT_EQ(exceptionName([&] { writer.createPSDData(); }, &reason), kDocumentTooLargeName);
    EXPECT_NE(reason.find("30000"), std::string::npos) << reason;
  }
  // 30000 itself passes the size test (and fails later for want of layers).
  PSDWriter atLimit(Size{30000, 1});
  EXPECT_EQ(exceptionName([&] { atLimit.createPSDData(); }), kGenericExceptionName);
}

TEST(PSDAssembly, RefusesMoreLayersThanTheCountFieldHolds) {
  auto writer = document(Size{1, 1}, std::vector<PSDLayer>(32768), Bytes(4, 0xFF));
  EXPECT_EQ(exceptionName([&] { writer->createPSDData(); }), kDocumentTooLargeName);
}

TEST(PSDAssembly, RefusesFilesAboveTheByteLimit) {
  EXPECT_EQ(kMaxPsdFileBytes, 2147483647u);
  EXPECT_EQ(redPixelDocument()->createPSDData(244).size(), 244u);
  for (const std::uint64_t limit : {243u, 150u, 0u}) {
    std::string reason;
    auto writer = redPixelDocument();
    EXPECT_EQ(exceptionName([&] { writer->createPSDData(limit); }, &reason), kDocumentTooLargeName);
    EXPECT_NE(reason.find(std::to_string(limit)), std::string::npos) << reason;
  }
}

TEST(PSDAssembly, DumpLogsBytesAsHex) {
  std::vector<std::string> lines;
  const LogSink previous = setLogSink([&](std::string_view line) { lines.emplace_back(line); });
  const std::uint8_t bytes[] = {0x0a, 0xff, 0x38};
  PSDWriter::dump(bytes, sizeof bytes);
  setLogSink(previous);
  EXPECT_EQ(lines, std::vector<std::string>{"0a ff 38 "});
}

}  // namespace
}  // namespace quillane
