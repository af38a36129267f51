#include "image/Image.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <limits>

#include "image/ImageRep.h"
#include "util/CheckedSize.h"

namespace quillane {
namespace {

// A representation that is not a bitmap, like a picture: it has its own pixel size.
class FakePictureRep final : public ImageRep {
 public:
  FakePictureRep(Size size, int wide, int high) : size_(size), wide_(wide), high_(high) {}
  bool isBitmap() const override { return false; }
  Size size() const override { return size_; }
  int pixelsWide() const override { return wide_; }
  int pixelsHigh() const override { return high_; }
  std::shared_ptr<const Bitmap> render() const override { return nullptr; }

 private:
  Size size_;
  int wide_;
  int high_;
};

std::shared_ptr<const BitmapImageRep> bitmapRep(int width, int height, float dpi = 72.0f) {
  return std::make_shared<const BitmapImageRep>(*Bitmap::allocate(width, height), dpi, dpi);
}

TEST(Image, PixelsSizeIsTheFirstBitmapsPixelSizeWhateverThePointSize) {
  const auto image = Image::withRepresentation(bitmapRep(600, 400, 300.0f));
  EXPECT_EQ(image.size(), (Size{144, 96}));
  EXPECT_EQ(image.pixelsSize(), (Size{600, 400}));

  Image twoBitmaps(Size{10, 10});
  twoBitmaps.addRepresentation(bitmapRep(30, 20));
  twoBitmaps.addRepresentation(bitmapRep(300, 200));
  EXPECT_EQ(twoBitmaps.pixelsSize(), (Size{30, 20}));

  // A picture first: pixelsSize skips it for the bitmap, getRealSize takes it.
  Image pictureThenBitmap(Size{50, 40});
  pictureThenBitmap.addRepresentation(std::make_shared<FakePictureRep>(Size{50, 40}, 100, 80));
  pictureThenBitmap.addRepresentation(bitmapRep(7, 5));
  EXPECT_EQ(pictureThenBitmap.pixelsSize(), (Size{7, 5}));
  EXPECT_EQ(pictureThenBitmap.getRealSize(), (Size{100, 80}));
}

TEST(Image, WithoutABitmapPixelsSizeIsThePointSize) {
  Image pictureOnly(Size{50, 40});
  pictureOnly.addRepresentation(std::make_shared<FakePictureRep>(Size{25, 20}, 100, 80));
  EXPECT_EQ(pictureOnly.pixelsSize(), (Size{50, 40}));
  EXPECT_EQ(pictureOnly.getRealSize(), (Size{100, 80}));

  EXPECT_EQ(Image().pixelsSize(), (Size{0, 0}));
  EXPECT_EQ(Image(Size{3, 4}).pixelsSize(), (Size{3, 4}));
  EXPECT_EQ(Image(Size{3, 4}).getRealSize(), (Size{0, 0}));
  EXPECT_EQ(Image().renderBitmap(), nullptr);
}

TEST(Image, RenderBitmapHandsOutTheFirstRepresentationsPixels) {
  auto bitmap = *Bitmap::allocate(2, 1);
  bitmap.pixels = {1, 2, 3, 4, 5, 6, 7, 8};
  const auto image = Image::withRepresentation(std::make_shared<const BitmapImageRep>(bitmap));
  const auto rendered = image.renderBitmap();
  ASSERT_NE(rendered, nullptr);
  EXPECT_EQ(rendered->pixels, bitmap.pixels);
  // Copies share the representation rather than the pixels being copied.
  const Image copy = image;
  EXPECT_EQ(copy.renderBitmap().get(), rendered.get());
}

TEST(Image, UnusableResolutionsReadAsSeventyTwoDpi) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  for (const float dpi : {0.0f, -300.0f, nan, inf}) {
    EXPECT_EQ(bitmapRep(60, 40, dpi)->size(), (Size{60, 40})) << dpi;
  }
  const BitmapImageRep anisotropic(*Bitmap::allocate(60, 40), 144.0f, 36.0f);
  EXPECT_EQ(anisotropic.size(), (Size{30, 80}));
}

TEST(Image, SaveAsImageTypeWritesNothing) {
  const auto path = std::filesystem::path(::testing::TempDir()) / "quillane-never-written.tiff";
  std::filesystem::remove(path);
  Image::withRepresentation(bitmapRep(4, 4)).saveAsImageType(0, 300.0f, path.string());
  Image().saveAsImageType(7, -1.0f, path.string());
  EXPECT_FALSE(std::filesystem::exists(path));
}

TEST(Bitmap, AllocateRefusesSidesOutsideThePsdRange) {
  EXPECT_FALSE(Bitmap::allocate(-1, 10));
  EXPECT_FALSE(Bitmap::allocate(10, -1));
  EXPECT_FALSE(Bitmap::allocate(kMaxPsdSide + 1, 1));
  EXPECT_FALSE(Bitmap::allocate(1, kMaxPsdSide + 1));
  const auto edge = Bitmap::allocate(kMaxPsdSide, 1);
  ASSERT_TRUE(edge);
  EXPECT_EQ(edge->pixels.size(), std::size_t{kMaxPsdSide} * 4);
  const auto bitmap = Bitmap::allocate(3, 2);
  ASSERT_TRUE(bitmap);
  EXPECT_EQ(bitmap->rowBytes(), 12u);
  EXPECT_EQ(bitmap->row(1) - bitmap->row(0), 12);
  EXPECT_EQ(bitmap->pixels, RasterBytes(24, 0));
}

}  // namespace
}  // namespace quillane
