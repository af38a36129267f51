#include "image/decode/Orientation.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>

#include "image/DecodePatterns.h"

namespace quillane {
namespace {

// orient-N holds the pattern stored turned so that orientation N shows it upright (Pillow's
// transpositions, the tag in EXIF or the TIFF directory). Upright, every one is the pattern,
// and a part kept of it is its top-left corner, whatever stored rectangle it comes from; as
// stored, only orientation 1 is, and the stored pixels turned are the upright ones.
TEST(Orientation, EveryOrientationTurnsToTheUprightPicture) {
  const Size kept[] = {{9, testing::kPatternHeight}, {5, 4}, {1, 1}, {100, 100}};
  for (int orientation = 1; orientation <= 8; ++orientation) {
    for (const char* ext : {"jpg", "tif"}) {
      const std::string path =
          testing::dataPath("images/orient-" + std::to_string(orientation) + "." + ext);
      const int tolerance = std::string_view(ext) == "jpg" ? 12 : 0;
      const auto stored = decodeSourceFile(path);
      ASSERT_TRUE(stored) << path;
      EXPECT_EQ(stored->bitmap.width, orientation >= 5 ? 11 : 13) << path;
      auto turned = turnedUpright(stored->bitmap, orientation);
      ASSERT_TRUE(turned) << path;
      for (const Size& size : kept) {
        SCOPED_TRACE(path + " kept " + std::to_string(size.width) + " x " +
                     std::to_string(size.height));
        const auto upright = decodeSourceFile(
            path, {.keepWidth = size.width, .keepHeight = size.height, .upright = true});
        ASSERT_TRUE(upright);
        const Bitmap& got = upright->bitmap;
        ASSERT_EQ(got.width, std::min(size.width, testing::kPatternWidth));
        ASSERT_EQ(got.height, std::min(size.height, testing::kPatternHeight));
        for (int y = 0; y < got.height; ++y) {
          for (int x = 0; x < got.width; ++x) {
            const auto want = testing::rgbPattern(x, y);
            for (int c = 0; c < 3; ++c)
              ASSERT_LE(std::abs(got.row(y)[4 * x + c] - want[c]), tolerance) << x << "," << y;
          }
        }
        Bitmap cut = *turned;
        cut.keepTopLeft(size.width, size.height);
        EXPECT_TRUE(cut.pixels == got.pixels);
      }
    }
  }
}

}  // namespace
}  // namespace quillane
