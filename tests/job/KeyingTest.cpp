#include <gtest/gtest.h>

#include <vector>

#include "image/DecodePatterns.h"
#include "image/decode/Decode.h"
#include "job/Keying.h"

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
TEST(Keying, SixteenBitSourcesAreKeyedAtTheirOwnDepth) {
  for (const char* file : {"extremes16.png", "extremes16.tif"}) {
    SCOPED_TRACE(file);
    const auto image = decodeImage(testing::dataBytes(std::string("images/") + file));
    ASSERT_TRUE(image);
    ProgressUtility steps;
    for (const auto& [key, alphas] : {std::pair{KeyColour::White, Pixels{0, 255, 255, 255}},
                                      std::pair{KeyColour::Black, Pixels{255, 255, 0, 255}}}) {
      const auto keyed = keyOut(*image, key, 0, steps);
      ASSERT_TRUE(keyed);
      const Pixels pixels = pixelsOf(*keyed);
      EXPECT_EQ((Pixels{pixels[3], pixels[7], pixels[11], pixels[15]}), alphas) << int(key);
      for (std::size_t i = 0; i < alphas.size(); ++i) {
        if (alphas[i] != 0) continue;
        EXPECT_EQ(Pixels(&pixels[4 * i], &pixels[4 * i + 4]), Pixels(4, 0)) << "pixel " << i;
      }
      EXPECT_FALSE(keyed->bitmap.knownOpaque) << "a keyed image has transparent pixels";
    }
  }
}

// Without a tolerance exactly the key colour; with one, every sample within it.
TEST(Keying, KeysTheKeyColourWithinTheToleranceAndCopiesEveryOtherPixel) {
  const struct {
    KeyColour key;
    Pixels pixel;
    bool keyed;
    int tolerance = 0;
  } cases[] = {
      {KeyColour::White, {255, 255, 255, 255}, true},
      {KeyColour::White, {254, 255, 255, 255}, false},
      {KeyColour::White, {255, 255, 254, 255}, false},
      {KeyColour::White, {255, 255, 255, 128}, true},
      {KeyColour::White, {0, 0, 0, 255}, false},
      {KeyColour::Black, {0, 0, 0, 128}, true},
      {KeyColour::Black, {0, 0, 1, 255}, false},
      {KeyColour::Black, {10, 20, 30, 40}, false},
      {KeyColour::None, {255, 255, 255, 255}, false},
      {KeyColour::None, {0, 0, 0, 255}, false},
      {KeyColour::White, {245, 250, 255, 255}, true, 10},
      {KeyColour::White, {244, 255, 255, 255}, false, 10},
      {KeyColour::Black, {10, 0, 10, 255}, true, 10},
      {KeyColour::Black, {0, 11, 0, 255}, false, 10},
      {KeyColour::Black, {64, 64, 64, 255}, true, 64},
      {KeyColour::None, {255, 255, 255, 255}, false, 10},
  };
  for (const auto& c : cases) {
    ProgressUtility steps;
    const auto keyed = keyOut(bitmapImage(1, 1, c.pixel), c.key, c.tolerance, steps);
    ASSERT_TRUE(keyed);
    EXPECT_EQ(pixelsOf(*keyed), c.keyed ? Pixels(4, 0) : c.pixel)
        << "key " << int(c.key) << " pixel " << int(c.pixel[0]) << "," << int(c.pixel[2]) << ","
        << int(c.pixel[3]) << " tolerance " << c.tolerance;
  }
}

TEST(Keying, KeysEachPixelInPlaceAndCountsThemAsMinorSteps) {
  // 4 x 3: white at (3, 0) and (0, 1), the fourth and fifth pixels in row order.
  Pixels pixels(4 * 3 * 4);
  for (std::size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<std::uint8_t>(i);
  for (const std::size_t index : {3u, 4u}) std::fill_n(pixels.begin() + index * 4, 4, 255);
  ProgressUtility steps;
  const auto keyed = keyOut(bitmapImage(4, 3, pixels), KeyColour::White, 0, steps);
  ASSERT_TRUE(keyed);
  Pixels expected = pixels;
  for (const std::size_t index : {3u, 4u}) std::fill_n(expected.begin() + index * 4, 4, 0);
  EXPECT_EQ(pixelsOf(*keyed), expected);
  EXPECT_EQ(steps.minorStepMax(), 12.0);
  EXPECT_EQ(steps.minorStep(), 12.0);
}

TEST(Keying, OpaqueImageStaysKnownOpaqueOnlyWhenNothingWasKeyed) {
  Pixels pixels(3 * 2 * 4, 255);
  std::fill_n(pixels.begin() + 4, 3, 10);  // the second pixel is not white
  const DecodedImage image = bitmapImage(3, 2, pixels, true);
  ProgressUtility steps;
  EXPECT_TRUE(keyOut(image, KeyColour::Black, 0, steps)->bitmap.knownOpaque);
  EXPECT_FALSE(keyOut(image, KeyColour::White, 0, steps)->bitmap.knownOpaque);
}

TEST(Keying, ImageWithoutPixelsCannotBeKeyedAndLeavesTheMinorMaximum) {
  for (const DecodedImage& image : {DecodedImage{}, bitmapImage(0, 0, {})}) {
    ProgressUtility steps;
    EXPECT_FALSE(keyOut(image, KeyColour::White, 0, steps));
    EXPECT_EQ(steps.minorStepMax(), 100.0);
  }
}

}  // namespace
}  // namespace quillane
