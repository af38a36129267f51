#include "image/Bitmap.h"

#include <gtest/gtest.h>

#include <limits>

#include "image/decode/Resolution.h"
#include "image/decode/SizeCheck.h"

namespace quillane {
namespace {

TEST(Resolution, UnusableResolutionsReadAsSeventyTwoDpi) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  for (const float dpi : {0.0f, -300.0f, nan, inf}) {
    EXPECT_EQ(Resolution::declared(dpi, 300.0f), (Resolution{72.0f, 300.0f})) << dpi;
  }
  EXPECT_EQ(Resolution::fromDotsPerCentimetre(100.0f, 50.0f), (Resolution{254.0f, 127.0f}));
}

// Refusals are the size check's, tested through the decoders.
TEST(Bitmap, CreateMakesRowsOfTheWidthAndZeroesWhenAsked) {
  const auto edge = createBitmap(kMaxImageSide, 1, BitmapFill::Zeroes);
  ASSERT_TRUE(edge);
  EXPECT_EQ(edge->pixels.size(), std::size_t{kMaxImageSide} * 4);
  const auto bitmap = createBitmap(3, 2, BitmapFill::Zeroes);
  ASSERT_TRUE(bitmap);
  EXPECT_EQ(bitmap->row(1) - bitmap->row(0), 12);
  EXPECT_EQ(bitmap->pixels, RasterBytes(24, 0));
}

}  // namespace
}  // namespace quillane
