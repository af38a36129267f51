#include <gtest/gtest.h>

#include <string>

#include "image/Bitmap.h"
#include "image/PictFile.h"
#include "image/decode/Decode.h"
#include "util/CheckedSize.h"
#include "util/MemoryBudget.h"

namespace quillane {
namespace {

// Restores the default budget however the test ends.
struct BudgetOverride {
  explicit BudgetOverride(std::size_t bytes) { setImageByteBudget(bytes); }
  ~BudgetOverride() { setImageByteBudget(0); }
};

TEST(ImageBudget, EveryFormatRefusesAnImageAboveTheBudgetAndTakesOneAtIt) {
  const std::string images = std::string(QUILLANE_TEST_DATA_DIR) + "/images/";
  constexpr std::size_t k13x11Bytes = 13 * 11 * 4;
  for (const char* name : {"png-rgb8.png", "jpeg-rgb.jpg", "jpeg-progressive.jpg",
                           "gif-palette.gif", "bmp-rgb24.bmp", "tiff-rgb8.tif"}) {
    SCOPED_TRACE(name);
    {
      BudgetOverride budget(k13x11Bytes - 1);
      EXPECT_FALSE(decodeImageFile(images + name));
    }
    BudgetOverride budget(k13x11Bytes);
    EXPECT_TRUE(decodeImageFile(images + name));
  }
  const std::string pict = std::string(QUILLANE_TEST_DATA_DIR) + "/pict/im-direct.pict";
  BudgetOverride budget(24 * 16 * 4 - 1);
  EXPECT_FALSE(createPictImage(pict));
}

TEST(ImageBudget, DefaultIsAShareOfPhysicalMemoryAndHoldsAnOrdinaryPhoto) {
  EXPECT_GE(imageByteBudget(), std::size_t{6000} * 4000 * 4);
  EXPECT_TRUE(fitsImageByteBudget(6000, 4000));
  EXPECT_FALSE(fitsImageByteBudget(-1, 4));
  EXPECT_FALSE(Bitmap::allocate(kMaxPsdSide + 1, 1));
}

}  // namespace
}  // namespace quillane
