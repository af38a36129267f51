#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "image/ImageRep.h"
#include "psd/PSDWriter.h"
#include "util/Exception.h"

namespace quillane {
namespace {

using Pixel = std::array<std::uint8_t, 4>;
constexpr Pixel kWhite = {255, 255, 255, 255};
constexpr Pixel kClear = {0, 0, 0, 0};

// A straight RGBA image whose pixel (x, y) is colour(x, y).
template <typename Colour>
Bitmap makeBitmap(int width, int height, Colour colour) {
  Bitmap bitmap = *Bitmap::allocate(width, height);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const Pixel p = colour(x, y);
      std::copy(p.begin(), p.end(), bitmap.row(y) + 4 * x);
    }
  }
  return bitmap;
}

// Opaque, each pixel telling where it came from.
Bitmap positions(int width, int height) {
  return makeBitmap(width, height, [](int x, int y) {
    return Pixel{std::uint8_t(x), std::uint8_t(y), 7, 255};
  });
}

Bitmap solid(int width, int height, Pixel colour) {
  return makeBitmap(width, height, [&](int, int) { return colour; });
}

Pixel pixelAt(const std::vector<std::uint8_t>& data, int width, int x, int y) {
  const std::size_t at = (std::size_t(y) * width + x) * 4;
  return {data[at], data[at + 1], data[at + 2], data[at + 3]};
}

const PSDLayer& layer(PSDWriter& writer, std::size_t index) { return (*writer.layers())[index]; }

// The composite as it would be written.
std::vector<std::uint8_t> bytesOf(const Bitmap& bitmap) {
  return {bitmap.pixels.begin(), bitmap.pixels.end()};
}

std::vector<std::uint8_t> composite(PSDWriter& writer) {
  writer.preprocess();
  return *writer.flattenedData();
}

TEST(PSDWriter, ImageOfCanvasSizeIsTheWholeLayer) {
  PSDWriter writer(Size{4, 3});
  writer.addLayerWithCGImage(positions(4, 3), "a.png", 1.0f, Point{});
  EXPECT_EQ(layer(writer, 0).rect, (Rect{0, 0, 4, 3}));
  EXPECT_EQ(*layer(writer, 0).imageData, bytesOf(positions(4, 3)));
  EXPECT_EQ(layer(writer, 0).name, "a.png");
  EXPECT_EQ(composite(writer), bytesOf(positions(4, 3)));
}

TEST(PSDWriter, LargerImageIsCroppedToTheCanvas) {
  PSDWriter writer(Size{4, 3});
  writer.addLayerWithCGImage(positions(6, 5), "big", 1.0f, Point{});
  EXPECT_EQ(layer(writer, 0).rect, (Rect{0, 0, 4, 3}));
  EXPECT_EQ(*layer(writer, 0).imageData, bytesOf(positions(4, 3)));
  EXPECT_EQ(composite(writer), bytesOf(positions(4, 3)));
}

TEST(PSDWriter, SmallerImageSitsTopLeftOverWhite) {
  PSDWriter writer(Size{4, 3});
  writer.addLayerWithCGImage(positions(2, 2), "small", 1.0f, Point{});
  EXPECT_EQ(layer(writer, 0).rect, (Rect{0, 0, 2, 2}));
  EXPECT_EQ(layer(writer, 0).imageData->size(), 2u * 2 * 4);
  const auto merged = composite(writer);
  EXPECT_EQ(pixelAt(merged, 4, 1, 1), (Pixel{1, 1, 7, 255}));
  EXPECT_EQ(pixelAt(merged, 4, 2, 0), kWhite);
  EXPECT_EQ(pixelAt(merged, 4, 0, 2), kWhite);
}

TEST(PSDWriter, NegativeOffsetDropsTheColumnsLeftOfTheCanvas) {
  PSDWriter writer(Size{100, 2});
  writer.addLayerWithCGImage(positions(100, 2), "left", 1.0f, Point{-10, 0});
  EXPECT_EQ(layer(writer, 0).rect, (Rect{0, 0, 90, 2}));
  const auto& data = *layer(writer, 0).imageData;
  EXPECT_EQ(pixelAt(data, 90, 0, 0), (Pixel{10, 0, 7, 255}));
  EXPECT_EQ(pixelAt(data, 90, 89, 1), (Pixel{99, 1, 7, 255}));
  const auto merged = composite(writer);
  EXPECT_EQ(pixelAt(merged, 100, 0, 0), (Pixel{10, 0, 7, 255}));
  EXPECT_EQ(pixelAt(merged, 100, 89, 1), (Pixel{99, 1, 7, 255}));
  EXPECT_EQ(pixelAt(merged, 100, 90, 0), kWhite);
}

TEST(PSDWriter, HalfPixelOffsetKeepsTheLayerWholeAndShiftsTheComposite) {
  PSDWriter writer(Size{4, 1});
  writer.addLayerWithCGImage(solid(4, 1, {0, 0, 0, 255}), "half", 1.0f, Point{-0.5f, 0});
  EXPECT_EQ(layer(writer, 0).rect, (Rect{0, 0, 4, 1}));
  const auto merged = composite(writer);
  EXPECT_EQ(pixelAt(merged, 4, 0, 0), (Pixel{0, 0, 0, 255}));
  // The last column is half covered.
  EXPECT_NEAR(pixelAt(merged, 4, 3, 0)[0], 128, 2);
}

TEST(PSDWriter, OpacityAndTransparencyReachTheComposite) {
  PSDWriter writer(Size{2, 1});
  const Bitmap image = makeBitmap(2, 1, [](int x, int) {
    return x == 0 ? Pixel{255, 0, 0, 255} : Pixel{10, 20, 30, 0};
  });
  writer.addLayerWithCGImage(image, "half", 0.5f, Point{});
  EXPECT_EQ(layer(writer, 0).opacity, 0.5f);
  // The layer keeps full strength; a fully transparent pixel is 0, 0, 0, 0.
  EXPECT_EQ(pixelAt(*layer(writer, 0).imageData, 2, 0, 0), (Pixel{255, 0, 0, 255}));
  EXPECT_EQ(pixelAt(*layer(writer, 0).imageData, 2, 1, 0), kClear);
  const auto merged = composite(writer);
  const Pixel half = pixelAt(merged, 2, 0, 0);
  EXPECT_EQ(half[0], 255);
  EXPECT_NEAR(half[1], 128, 1);
  EXPECT_NEAR(half[2], 128, 1);
  EXPECT_EQ(half[3], 255);
  EXPECT_EQ(pixelAt(merged, 2, 1, 0), kWhite);
}

TEST(PSDWriter, TranslucentPixelsArePremultiplied) {
  PSDWriter writer(Size{1, 1});
  writer.addLayerWithCGImage(solid(1, 1, {200, 100, 0, 128}), "glass", 1.0f, Point{});
  EXPECT_EQ(*layer(writer, 0).imageData, (std::vector<std::uint8_t>{100, 50, 0, 128}));
  // Over white: 100 + 255 x 127/255.
  EXPECT_NEAR(composite(writer)[0], 227, 1);
}

TEST(PSDWriter, TallImageMixesOpaqueAndTranslucentRows) {
  // Drawn in strips of rows: opaque rows straight from the image, the others premultiplied.
  const Bitmap image = makeBitmap(3, 200, [](int x, int y) {
    return y < 100 ? Pixel{std::uint8_t(x), std::uint8_t(y), 0, 255} : Pixel{0, 0, 0, 0};
  });
  PSDWriter writer(Size{3, 150});
  writer.addLayerWithCGImage(image, "tall", 1.0f, Point{1, -10});
  EXPECT_EQ(layer(writer, 0).rect, (Rect{1, 0, 2, 150}));
  const auto merged = composite(writer);
  for (const int y : {0, 63, 64, 89}) {
    EXPECT_EQ(pixelAt(merged, 3, 0, y), kWhite) << y;
    EXPECT_EQ(pixelAt(merged, 3, 1, y), (Pixel{0, std::uint8_t(y + 10), 0, 255})) << y;
    EXPECT_EQ(pixelAt(merged, 3, 2, y), (Pixel{1, std::uint8_t(y + 10), 0, 255})) << y;
  }
  for (const int y : {90, 149}) EXPECT_EQ(pixelAt(merged, 3, 1, y), kWhite) << y;
}

TEST(PSDWriter, SecondLayerIsDrawnOverTheFirst) {
  PSDWriter writer(Size{2, 1});
  writer.addLayerWithCGImage(solid(2, 1, {0, 0, 255, 255}), "blue", 1.0f, Point{});
  writer.addLayerWithCGImage(solid(1, 1, {0, 255, 0, 255}), "green", 1.0f, Point{1, 0});
  ASSERT_EQ(writer.layers()->size(), 2u);
  EXPECT_EQ(layer(writer, 1).name, "green");
  EXPECT_EQ(layer(writer, 1).rect, (Rect{1, 0, 1, 1}));
  const auto merged = composite(writer);
  EXPECT_EQ(pixelAt(merged, 2, 0, 0), (Pixel{0, 0, 255, 255}));
  EXPECT_EQ(pixelAt(merged, 2, 1, 0), (Pixel{0, 255, 0, 255}));
}

TEST(PSDWriter, ZeroCanvasRaisesAfterTheLayerIsAppended) {
  PSDWriter writer(Size{0, 100});
  try {
    writer.addLayerWithCGImage(solid(1, 1, kWhite), "a", 1.0f, Point{});
    FAIL() << "no exception";
  } catch (const Exception& e) {
    EXPECT_EQ(e.name(), kGenericExceptionName);
    EXPECT_EQ(e.reason(), "You must specify a non-zero documentSize before calling addLayer:");
  }
  EXPECT_EQ(writer.layers()->size(), 1u);
  writer.preprocess();
  EXPECT_EQ(writer.flattenedData(), nullptr);  // nothing was drawn
}

TEST(PSDWriter, NegativeCanvasIsAnEmptyCanvas) {
  PSDWriter writer(Size{-1e20f, 5});
  EXPECT_THROW(writer.addLayerWithCGImage(solid(1, 1, kWhite), "a", 1.0f, Point{}), Exception);
}

TEST(PSDWriter, SuppliedFlattenedDataSkipsTheComposite) {
  PSDWriter writer(Size{0, 0});
  auto flattened = std::make_shared<std::vector<std::uint8_t>>(4, 9);
  writer.setFlattenedData(flattened);
  writer.addLayerWithCGImage(solid(1, 1, kWhite), "a", 1.0f, Point{});
  EXPECT_EQ(writer.layers()->size(), 1u);
  writer.preprocess();
  EXPECT_EQ(writer.flattenedData(), flattened);
}

TEST(PSDWriter, ImageOffTheCanvasBecomesAnEmptyLayer) {
  for (const Point offset : {Point{5, 0}, Point{0, 3}, Point{-2, 0}, Point{-1e20f, 0}}) {
    PSDWriter writer(Size{4, 3});
    writer.addLayerWithCGImage(positions(2, 2), "gone", 1.0f, offset);
    ASSERT_EQ(writer.layers()->size(), 1u);
    EXPECT_EQ(layer(writer, 0).rect, (Rect{}));
    EXPECT_EQ(composite(writer), bytesOf(solid(4, 3, kWhite)));
  }
  PSDWriter writer(Size{4, 3});
  writer.addLayerWithCGImage(positions(2, 2), "gone", 1.0f, Point{9, 9});
  EXPECT_FALSE(writer.createPSDData().empty());
}

TEST(PSDWriter, RemoveAllLayersLeavesNoList) {
  PSDWriter writer(Size{2, 2});
  writer.addLayerWithCGImage(solid(2, 2, kWhite), "a", 1.0f, Point{});
  writer.removeAllLayers();
  EXPECT_EQ(writer.layers(), nullptr);
  EXPECT_EQ(writer.flattenedData(), nullptr);
  writer.removeAllLayers();
  EXPECT_EQ(writer.layers(), nullptr);
  writer.addLayerWithCGImage(solid(2, 2, kWhite), "late", 1.0f, Point{});
  EXPECT_EQ(writer.layers(), nullptr);
  EXPECT_THROW(writer.createPSDData(), Exception);
}

TEST(PSDWriter, AddsImagesThroughTheirFirstRepresentation) {
  PSDWriter writer(Size{2, 2});
  writer.addLayerWithImage(
      Image::withRepresentation(std::make_shared<BitmapImageRep>(positions(2, 2))), "rep", 1.0f,
      Point{});
  EXPECT_EQ(*layer(writer, 0).imageData, bytesOf(positions(2, 2)));
  EXPECT_THROW(writer.addLayerWithImage(Image(Size{2, 2}), "none", 1.0f, Point{}), Exception);
  EXPECT_THROW(writer.addLayerWithUrl("/nonexistent/x.png", "x", 1.0f, Point{}), Exception);
}

TEST(PSDWriter, CanvasLargerThanThePsdLimitIsRefusedAtTheFirstAdd) {
  PSDWriter writer(Size{30001, 1});
  try {
    writer.addLayerWithCGImage(solid(1, 1, kWhite), "a", 1.0f, Point{});
    FAIL() << "no exception";
  } catch (const Exception& e) {
    EXPECT_EQ(e.name(), kDocumentTooLargeName);
  }
}

}  // namespace
}  // namespace quillane
