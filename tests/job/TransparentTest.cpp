#include <gtest/gtest.h>

#include <vector>

#include "image/DecodePatterns.h"
#include "image/decode/Decode.h"
#include "job/JobRecord.h"

namespace quillane {
namespace {

using Pixels = std::vector<std::uint8_t>;

DecodedImage bitmapImage(int width, int height, const Pixels& rgba, bool knownOpaque = false) {
  Bitmap bitmap{width, height, {rgba.begin(), rgba.end()}};
  bitmap.knownOpaque = knownOpaque;
  return DecodedImage{std::move(bitmap), {}};
}

Pixels pixelsOf(const DecodedImage& image) {
  const RasterBytes& pixels = image.bitmap.pixels;
  return {pixels.begin(), pixels.end()};
}

// extremes16 holds white, white but one sample 65534, black, black but one sample 1: in 8
// bits all read as 255 or 0, but only the largest value and 0 match at the source's depth.
TEST(Transparent, SixteenBitSourcesAreKeyedAtTheirOwnDepth) {
  for (const char* file : {"extremes16.png", "extremes16.tif"}) {
    SCOPED_TRACE(file);
    const auto image = decodeImage(testing::dataBytes(std::string("images/") + file));
    ASSERT_TRUE(image);
    JobRecord record;
    for (const auto& [key, alphas] : {std::pair{1.0f, Pixels{0, 255, 255, 255}},
                                      std::pair{0.0f, Pixels{255, 255, 0, 255}}}) {
      const auto keyed = record.setTransparentColorToImage(*image, key, key, key);
      ASSERT_TRUE(keyed);
      const Pixels pixels = pixelsOf(*keyed);
      EXPECT_EQ((Pixels{pixels[3], pixels[7], pixels[11], pixels[15]}), alphas) << key;
    }
  }
}

TEST(Transparent, KeysExactlyTheKeyColourAndCopiesEveryOtherPixel) {
  const struct {
    float key;
    Pixels pixel;
    bool keyed;
  } cases[] = {
      {1.0f, {255, 255, 255, 255}, true},  {1.0f, {254, 255, 255, 255}, false},
      {1.0f, {255, 255, 254, 255}, false}, {1.0f, {255, 255, 255, 128}, true},
      {1.0f, {0, 0, 0, 255}, false},       {0.0f, {0, 0, 0, 128}, true},
      {0.0f, {0, 0, 1, 255}, false},       {0.0f, {10, 20, 30, 40}, false},
      {0.5f, {128, 128, 128, 255}, false}, {0.5f, {127, 127, 127, 255}, false},
  };
  for (const auto& c : cases) {
    JobRecord record;
    const auto keyed = record.setTransparentColorToImage(bitmapImage(1, 1, c.pixel), c.key,
                                                         c.key, c.key);
    ASSERT_TRUE(keyed);
    EXPECT_EQ(pixelsOf(*keyed), c.keyed ? Pixels(4, 0) : c.pixel)
        << "key " << c.key << " pixel " << int(c.pixel[0]) << "," << int(c.pixel[2]) << ","
        << int(c.pixel[3]);
  }
}

TEST(Transparent, KeysEachPixelInPlaceAndCountsThemAsMinorSteps) {
  // 4 x 3: white at (3, 0) and (0, 1), the fourth and fifth pixels in row order.
  Pixels pixels(4 * 3 * 4);
  for (std::size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<std::uint8_t>(i);
  for (const std::size_t index : {3u, 4u}) std::fill_n(pixels.begin() + index * 4, 4, 255);
  JobRecord record;
  const auto keyed = record.setTransparentColorToImage(bitmapImage(4, 3, pixels), 1, 1, 1);
  ASSERT_TRUE(keyed);
  Pixels expected = pixels;
  for (const std::size_t index : {3u, 4u}) std::fill_n(expected.begin() + index * 4, 4, 0);
  EXPECT_EQ(pixelsOf(*keyed), expected);
  EXPECT_EQ(record.progressUtil.load()->minorStepMax(), 12.0);
  EXPECT_EQ(record.progressUtil.load()->minorStep(), 12.0);
}

TEST(Transparent, OpaqueImageStaysKnownOpaqueOnlyWhenNothingWasKeyed) {
  Pixels pixels(3 * 2 * 4, 255);
  std::fill_n(pixels.begin() + 4, 3, 10);  // the second pixel is not white
  const DecodedImage image = bitmapImage(3, 2, pixels, true);
  JobRecord record;
  EXPECT_TRUE(record.setTransparentColorToImage(image, 0, 0, 0)->bitmap.knownOpaque);
  EXPECT_FALSE(record.setTransparentColorToImage(image, 1, 1, 1)->bitmap.knownOpaque);
}

TEST(Transparent, ImageWithoutPixelsCannotBeKeyedAndLeavesTheMinorMaximum) {
  for (const DecodedImage& image : {DecodedImage{}, bitmapImage(0, 0, {})}) {
    JobRecord record;
    EXPECT_FALSE(record.setTransparentColorToImage(image, 1, 1, 1));
    EXPECT_EQ(record.progressUtil.load()->minorStepMax(), 100.0);
  }
}

}  // namespace
}  // namespace quillane
