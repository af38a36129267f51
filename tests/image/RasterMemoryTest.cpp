#include "image/RasterMemory.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "image/Bitmap.h"
#include "image/decode/SizeCheck.h"

namespace quillane {
namespace {

constexpr int kSide = 1024;  // 4 MiB of RGBA: a pooled raster

TEST(RasterMemory, FreedRastersAreReusedAndAllocateStillZeroFills) {
  releaseRasterMemory();
  const std::uint8_t* first = nullptr;
  {
    auto raster = createBitmap(kSide, kSide, BitmapFill::Nothing);
    ASSERT_TRUE(raster);
    std::fill(raster->pixels.begin(), raster->pixels.end(), std::uint8_t{0xAB});
    first = raster->pixels.data();
  }
  EXPECT_GE(keptRasterBytes(), std::size_t{kSide} * kSide * 4);
  {
    // The same memory, and allocate() clears what the last raster left in it.
    auto raster = createBitmap(kSide, kSide, BitmapFill::Zeroes);
    ASSERT_TRUE(raster);
    EXPECT_EQ(raster->pixels.data(), first);
    EXPECT_TRUE(std::all_of(raster->pixels.begin(), raster->pixels.end(),
                            [](std::uint8_t byte) { return byte == 0; }));
  }
  {
    // A much smaller raster does not take a block twice its size.
    auto small = createBitmap(kSide, kSide / 4, BitmapFill::Zeroes);
    EXPECT_NE(small->pixels.data(), first);
  }

  // Many freed at once: only a few blocks are kept, and none after a release.
  std::vector<Bitmap> many;
  for (int i = 0; i < 10; ++i) many.push_back(*createBitmap(kSide, kSide, BitmapFill::Zeroes));
  many.clear();
  EXPECT_LE(keptRasterBytes(), std::size_t{4} * (kSide * kSide * 4 + (2u << 20)));
  releaseRasterMemory();
  EXPECT_EQ(keptRasterBytes(), 0u);

  // Small rasters come from the ordinary heap and are copied like any vector; freed, they
  // are not kept.
  {
    auto tiny = createBitmap(3, 2, BitmapFill::Zeroes);
    const Bitmap copy = *tiny;
    EXPECT_EQ(copy.pixels, tiny->pixels);
  }
  EXPECT_EQ(keptRasterBytes(), 0u);
}

}  // namespace
}  // namespace quillane
