#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "job/JobRecord.h"
#include "job/JobTestSupport.h"
#include "support/LogCapture.h"
#include "util/Log.h"

namespace quillane {
namespace {

using jobtest::bitmapImage;

using testsupport::LogCapture;

std::vector<std::uint8_t> pixelsOf(const Image& image) {
  const RasterBytes& pixels = image.renderBitmap()->pixels;
  return {pixels.begin(), pixels.end()};
}

// A representation that is not a bitmap, like a picture, drawn at a size of its own.
class PictureLikeRep final : public ImageRep {
 public:
  PictureLikeRep(Size points, int renderWidth, int renderHeight, std::uint8_t grey)
      : points_(points), width_(renderWidth), height_(renderHeight), grey_(grey) {}
  bool isBitmap() const override { return false; }
  Size size() const override { return points_; }
  int pixelsWide() const override { return width_; }
  int pixelsHigh() const override { return height_; }
  std::shared_ptr<const Bitmap> render() const override {
    if (width_ == 0 || height_ == 0) return nullptr;
    auto bitmap = Bitmap::allocate(width_, height_);
    for (std::size_t i = 0; i < bitmap->pixels.size(); i += 4) {
      bitmap->pixels[i] = bitmap->pixels[i + 1] = bitmap->pixels[i + 2] = grey_;
      bitmap->pixels[i + 3] = 255;
    }
    return std::make_shared<const Bitmap>(std::move(*bitmap));
  }

 private:
  Size points_;
  int width_, height_;
  std::uint8_t grey_;
};

Image pictureLikeImage(Size points, int renderWidth, int renderHeight, std::uint8_t grey) {
  return Image::withRepresentation(
      std::make_shared<PictureLikeRep>(points, renderWidth, renderHeight, grey));
}

TEST(Transparent, KeysExactlyTheKeyColourAndCopiesEveryOtherPixel) {
  struct Case {
    float key;
    std::vector<std::uint8_t> pixel;
    bool keyed;
  };
  const Case cases[] = {
      {1.0f, {255, 255, 255, 255}, true},  {1.0f, {254, 255, 255, 255}, false},
      {1.0f, {255, 255, 254, 255}, false}, {1.0f, {255, 255, 255, 128}, true},
      {1.0f, {0, 0, 0, 255}, false},       {0.0f, {0, 0, 0, 128}, true},
      {0.0f, {0, 0, 1, 255}, false},       {0.0f, {0, 0, 0, 0}, true},
      {0.0f, {10, 20, 30, 40}, false},     {0.5f, {128, 128, 128, 255}, false},
      {0.5f, {127, 127, 127, 255}, false},
  };
  for (const Case& c : cases) {
    JobRecord record;
    const auto keyed = record.setTransparentColorToImage(bitmapImage(1, 1, c.pixel), c.key,
                                                         c.key, c.key);
    ASSERT_TRUE(keyed);
    const std::vector<std::uint8_t> expected =
        c.keyed ? std::vector<std::uint8_t>{0, 0, 0, 0} : c.pixel;
    EXPECT_EQ(pixelsOf(*keyed), expected) << "key " << c.key << " pixel " << int(c.pixel[0])
                                          << "," << int(c.pixel[1]) << "," << int(c.pixel[2])
                                          << "," << int(c.pixel[3]);
  }
}

TEST(Transparent, KeysEachPixelInPlaceAndCountsThemAsMinorSteps) {
  // 4 x 3: white at (3, 0) and (0, 1), the fourth and fifth pixels in row order.
  std::vector<std::uint8_t> pixels(4 * 3 * 4);
  for (std::size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<std::uint8_t>(i);
  for (const std::size_t index : {3u, 4u}) std::fill_n(pixels.begin() + index * 4, 4, 255);

  JobRecord record;
  const auto keyed = record.setTransparentColorToImage(bitmapImage(4, 3, pixels), 1, 1, 1);
  ASSERT_TRUE(keyed);
  std::vector<std::uint8_t> expected = pixels;
  for (const std::size_t index : {3u, 4u}) std::fill_n(expected.begin() + index * 4, 4, 0);
  EXPECT_EQ(pixelsOf(*keyed), expected);
  EXPECT_EQ(record.progressUtil.load()->minorStepMax(), 12.0);
  EXPECT_EQ(record.progressUtil.load()->minorStep(), 12.0);
}

TEST(Transparent, AnOpaqueImageStaysKnownOpaqueOnlyWhenNothingWasKeyed) {
  Bitmap opaque{3, 2, RasterBytes(3 * 2 * 4, 255)};
  opaque.knownOpaque = true;
  for (std::size_t i = 0; i < 3; ++i) opaque.pixels[4 + i] = 10;  // the second pixel is not white
  const Image image = Image::withRepresentation(std::make_shared<BitmapImageRep>(opaque));
  JobRecord record;
  const auto black = record.setTransparentColorToImage(image, 0, 0, 0);
  ASSERT_TRUE(black);
  EXPECT_TRUE(black->renderBitmap()->knownOpaque);
  const auto white = record.setTransparentColorToImage(image, 1, 1, 1);
  ASSERT_TRUE(white);
  EXPECT_FALSE(white->renderBitmap()->knownOpaque);
  EXPECT_EQ(white->renderBitmap()->pixels[3], 0);
}

TEST(Transparent, HighResolutionBitmapKeepsItsPixelSizeWithoutRescale) {
  JobRecord record;
  LogCapture log;
  const Image source = bitmapImage(600, 400, std::vector<std::uint8_t>(600 * 400 * 4, 7), 300.0f);
  ASSERT_EQ(source.size(), (Size{144.0f, 96.0f}));
  const auto keyed = record.setTransparentColorToImage(source, 1, 1, 1);
  ASSERT_TRUE(keyed);
  EXPECT_EQ(keyed->pixelsSize(), (Size{600.0f, 400.0f}));
  EXPECT_EQ(log.lines(), (std::vector<std::string>{
                           "pixelsSize:(600 , 400) , size:(144.0 ,  96.0) ", "inBitImage: 600 , 400"}));
}

TEST(Transparent, ImageWithoutBitmapIsRescaledToItsTruncatedPointSize) {
  JobRecord record;
  LogCapture log;
  // Renders at 201 x 100, measures 100.6 x 50.2 points: keyed at 100 x 50.
  const auto keyed = record.setTransparentColorToImage(
      pictureLikeImage({100.6f, 50.2f}, 201, 100, 255), 1, 1, 1);
  ASSERT_TRUE(keyed);
  EXPECT_EQ(keyed->pixelsSize(), (Size{100.0f, 50.0f}));
  EXPECT_EQ(pixelsOf(*keyed), std::vector<std::uint8_t>(100 * 50 * 4, 0)) << "all white, all keyed";
  ASSERT_EQ(log.lines().size(), 4u);
  EXPECT_EQ(log.lines()[1], "inBitImage: 201 , 100");
  EXPECT_EQ(log.lines()[2], "resized: W:100 , H: 50");
  EXPECT_EQ(log.lines()[3], "inBitImage: 100 , 50");
  EXPECT_EQ(record.progressUtil.load()->minorStepMax(), 5000.0);

  // Enlarging works the same way; a solid grey stays that grey.
  const auto enlarged = record.setTransparentColorToImage(
      pictureLikeImage({30.0f, 20.0f}, 3, 2, 90), 1, 1, 1);
  ASSERT_TRUE(enlarged);
  EXPECT_EQ(enlarged->pixelsSize(), (Size{30.0f, 20.0f}));
  for (std::size_t i = 0; i < 30 * 20 * 4; i += 4)
    ASSERT_EQ(pixelsOf(*enlarged)[i], 90) << i;
}

TEST(Transparent, ImageThatCannotBeKeyedAnswersNothingAndLeavesTheMinorMaximum) {
  const Image cases[] = {
      Image(),                                        // no representation, 0 x 0
      Image(Size{0.5f, 10.0f}),                       // truncates to 0 wide
      pictureLikeImage({10.0f, 10.0f}, 0, 0, 255),    // renders nothing
      pictureLikeImage({40000.0f, 10.0f}, 4, 4, 255), // beyond a document's side
      bitmapImage(0, 0, {}),
  };
  for (const Image& image : cases) {
    JobRecord record;
    EXPECT_FALSE(record.setTransparentColorToImage(image, 1, 1, 1));
    EXPECT_EQ(record.progressUtil.load()->minorStepMax(), 100.0);
  }
}

TEST(Transparent, ResizeImageScalesTheRenderedPixelSize) {
  JobRecord record;
  const auto resized = record.resizeImage(bitmapImage(4, 2, std::vector<std::uint8_t>(32, 200)),
                                          Size{2.5f, 1.5f});
  ASSERT_TRUE(resized);
  EXPECT_EQ(resized->size(), (Size{10.0f, 3.0f}));
  EXPECT_EQ(resized->pixelsSize(), (Size{10.0f, 3.0f}));
  EXPECT_EQ(pixelsOf(*resized), std::vector<std::uint8_t>(10 * 3 * 4, 200));
  EXPECT_FALSE(record.resizeImage(bitmapImage(4, 2, std::vector<std::uint8_t>(32)), Size{0, 1}));
  EXPECT_FALSE(record.resizeImage(Image(), Size{1, 1}));
}

}  // namespace
}  // namespace quillane
