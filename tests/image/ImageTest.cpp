#include "image/Image.h"

#include <gtest/gtest.h>

#include <limits>

#include "image/ImageRep.h"
#include "image/decode/SizeCheck.h"

namespace quillane {
namespace {

// A representation that is not a bitmap, like a picture: it has its own pixel size.
class FakePictureRep final : public ImageRep {
 public:
  bool isBitmap() const override { return false; }
  Size size() const override { return {25, 20}; }
  int pixelsWide() const override { return 100; }
  int pixelsHigh() const override { return 80; }
  std::shared_ptr<const Bitmap> render() const override { return nullptr; }
};

std::shared_ptr<const BitmapImageRep> bitmapRep(int width, int height, float dpi = 72.0f) {
  return std::make_shared<const BitmapImageRep>(*Bitmap::create(width, height, Bitmap::Fill::Zeroes), dpi, dpi);
}

TEST(Image, PixelsSizeIsTheFirstBitmapsPixelSizeElseThePointSize) {
  const auto image = Image::withRepresentation(bitmapRep(600, 400, 300.0f));
  EXPECT_EQ(image.size(), (Size{144, 96}));
  EXPECT_EQ(image.pixelsSize(), (Size{600, 400}));

  Image pictureThenBitmaps(Size{50, 40});
  pictureThenBitmaps.addRepresentation(std::make_shared<FakePictureRep>());
  EXPECT_EQ(pictureThenBitmaps.pixelsSize(), (Size{50, 40}));
  pictureThenBitmaps.addRepresentation(bitmapRep(7, 5));
  pictureThenBitmaps.addRepresentation(bitmapRep(300, 200));
  EXPECT_EQ(pictureThenBitmaps.pixelsSize(), (Size{7, 5}));
  EXPECT_EQ(Image().pixelsSize(), (Size{0, 0}));
  EXPECT_EQ(Image().renderBitmap(), nullptr);
}

TEST(Image, CopiesShareTheRenderedPixels) {
  auto bitmap = *Bitmap::create(2, 1, Bitmap::Fill::Zeroes);
  bitmap.pixels = {1, 2, 3, 4, 5, 6, 7, 8};
  const auto image = Image::withRepresentation(std::make_shared<const BitmapImageRep>(bitmap));
  const auto rendered = image.renderBitmap();
  ASSERT_NE(rendered, nullptr);
  EXPECT_EQ(rendered->pixels, bitmap.pixels);
  const Image copy = image;
  EXPECT_EQ(copy.renderBitmap().get(), rendered.get());
}

TEST(Image, UnusableResolutionsReadAsSeventyTwoDpi) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  for (const float dpi : {0.0f, -300.0f, nan, inf}) {
    EXPECT_EQ(bitmapRep(60, 40, dpi)->size(), (Size{60, 40})) << dpi;
  }
  const BitmapImageRep anisotropic(*Bitmap::create(60, 40, Bitmap::Fill::Zeroes), 144.0f, 36.0f);
  EXPECT_EQ(anisotropic.size(), (Size{30, 80}));
}

TEST(Bitmap, CreateRefusesSizesThroughTheSizeCheck) {
  EXPECT_EQ(Bitmap::create(-1, 10, Bitmap::Fill::Zeroes).error().kind, DecodeFailure::Unreadable);
  const auto wide = Bitmap::create(kMaxImageSide + 1, 2, Bitmap::Fill::Nothing);
  ASSERT_FALSE(wide);
  EXPECT_EQ(wide.error().kind, DecodeFailure::TooLarge);
  EXPECT_EQ(wide.error().width, kMaxImageSide + 1);
  EXPECT_FALSE(Bitmap::create(1, kMaxImageSide + 1, Bitmap::Fill::Zeroes));
  const auto edge = Bitmap::create(kMaxImageSide, 1, Bitmap::Fill::Zeroes);
  ASSERT_TRUE(edge);
  EXPECT_EQ(edge->pixels.size(), std::size_t{kMaxImageSide} * 4);
  const auto bitmap = Bitmap::create(3, 2, Bitmap::Fill::Zeroes);
  ASSERT_TRUE(bitmap);
  EXPECT_EQ(bitmap->row(1) - bitmap->row(0), 12);
  EXPECT_EQ(bitmap->pixels, RasterBytes(24, 0));
}

}  // namespace
}  // namespace quillane
