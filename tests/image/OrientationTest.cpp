#include "image/decode/Orientation.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "image/DecodePatterns.h"

namespace quillane {
namespace {

// orient-N holds the pattern stored turned so that orientation N shows it upright (Pillow's
// transpositions, the tag in EXIF or the TIFF directory). Upright, every one is the pattern,
// and a part kept of it is its top-left corner; as stored, only orientation 1 is, and the
// stored pixels turned are the upright ones.
TEST(Orientation, EveryOrientationTurnsToTheUprightPicture) {
  for (int orientation = 1; orientation <= 8; ++orientation) {
    for (const char* ext : {"jpg", "tif"}) {
      const std::string path =
          testing::dataPath("images/orient-" + std::to_string(orientation) + "." + ext);
      SCOPED_TRACE(path);
      const int tolerance = std::string_view(ext) == "jpg" ? 12 : 0;
      const auto upright = decodeSourceFile(path, {.keepWidth = 9, .upright = true});
      const auto stored = decodeSourceFile(path);
      ASSERT_TRUE(upright && stored);
      const Bitmap& got = upright->bitmap;
      ASSERT_EQ(got.width, 9);
      ASSERT_EQ(got.height, testing::kPatternHeight);
      for (int y = 0; y < got.height; ++y) {
        for (int x = 0; x < got.width; ++x) {
          const auto want = testing::rgbPattern(x, y);
          for (int c = 0; c < 3; ++c)
            ASSERT_LE(std::abs(got.row(y)[4 * x + c] - want[c]), tolerance) << x << "," << y;
        }
      }
      auto turned = turnedUpright(stored->bitmap, orientation);
      ASSERT_TRUE(turned);
      turned->keepTopLeft(9, testing::kPatternHeight);
      EXPECT_TRUE(turned->pixels == got.pixels);
      EXPECT_EQ(stored->bitmap.width, orientation >= 5 ? 11 : 13);
    }
  }
}

}  // namespace
}  // namespace quillane
