// Pictures written by ImageMagick and netpbm, decoded and compared with the same tools' PPM
// of the same image.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "image/FileRead.h"
#include "image/PictFile.h"
#include "image/pict/PictDecoder.h"

namespace quillane {
namespace {

std::string fixture(const std::string& name) {
  return std::string(QUILLANE_TEST_DATA_DIR) + "/pict/" + name;
}

struct Ppm {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> rgb;
};

// A binary PPM (P6, maxval 255) as netpbm and ImageMagick write it.
Ppm readPpm(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::string magic;
  int maxval = 0;
  Ppm ppm;
  in >> magic >> ppm.width >> ppm.height >> maxval;
  in.get();
  EXPECT_EQ(magic, "P6");
  EXPECT_EQ(maxval, 255);
  ppm.rgb.assign(std::istreambuf_iterator<char>(in), {});
  EXPECT_EQ(ppm.rgb.size(), static_cast<std::size_t>(ppm.width) * ppm.height * 3);
  return ppm;
}

// Largest difference of any colour sample; every pixel must also be opaque.
int maxDifference(const Bitmap& bitmap, const Ppm& expected) {
  int worst = 0;
  for (std::size_t i = 0; i < static_cast<std::size_t>(expected.width) * expected.height; ++i) {
    for (int c = 0; c < 3; ++c) {
      worst = std::max(worst, std::abs(bitmap.pixels[4 * i + c] - expected.rgb[3 * i + c]));
    }
    if (bitmap.pixels[4 * i + 3] != 255) return 256;
  }
  return worst;
}

TEST(PictFixture, ToolWrittenPicturesDecodeToTheToolsPixels) {
  struct Case {
    const char* pict;
    const char* ppm;
    int tolerance;
  };
  const Case cases[] = {
      {"im-indexed.pict", "im-indexed.ppm", 0},            // 8-bit PackBitsRect
      {"im-wide-indexed.pict", "im-wide-indexed.ppm", 0},  // word byte counts
      {"im-direct.pict", "im-direct.ppm", 0},              // 32-bit DirectBitsRect, 3 planes
      {"im-wide.pict", "im-wide.ppm", 0},
      {"im-alpha.pict", "im-alpha.ppm", 0},                // 4 planes, alpha first
      {"netpbm-indexed.pict", "netpbm-indexed.ppm", 0},    // version -1 header
      {"netpbm-wide.pict", "netpbm-wide.ppm", 0},
      {"im-jpeg.pict", "im-jpeg.ppm", 8},                 // QuickTime JPEG, lossy
      {"im-jpeg-progressive.pict", "im-jpeg.ppm", 8},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.pict);
    const auto image = createPictImage(fixture(c.pict));
    ASSERT_TRUE(image.has_value());
    const Ppm expected = readPpm(fixture(c.ppm));
    EXPECT_EQ(image->size(), (Size{static_cast<float>(expected.width),
                                   static_cast<float>(expected.height)}));
    ASSERT_EQ(image->representations().size(), 1u);
    EXPECT_FALSE(image->representations()[0]->isBitmap());
    EXPECT_EQ(image->pixelsSize(), image->size());
    const auto bitmap = image->renderBitmap();
    ASSERT_TRUE(bitmap);
    ASSERT_EQ(bitmap->width, expected.width);
    ASSERT_EQ(bitmap->height, expected.height);
    EXPECT_LE(maxDifference(*bitmap, expected), c.tolerance);
  }
}

TEST(PictFixture, ToolWrittenPicturesMeasureTheirSize) {
  for (const std::string name : {"im-indexed", "netpbm-indexed", "im-wide"}) {
    SCOPED_TRACE(name);
    const auto bytes = readWholeFile(fixture(name + ".pict"));
    ASSERT_TRUE(bytes);
    const Ppm expected = readPpm(fixture(name + ".ppm"));
    EXPECT_EQ(pictSize(*bytes), (Size{static_cast<float>(expected.width),
                                      static_cast<float>(expected.height)}));
  }
}

// Every prefix of a real picture is a picture cut short: it answers nothing, never reading
// past its bytes (the sanitizers watch); the whole file decodes.
TEST(PictFixture, EveryTruncationDecodesSafely) {
  for (const char* name : {"im-indexed.pict", "im-direct.pict", "im-jpeg.pict",
                           "netpbm-wide.pict"}) {
    SCOPED_TRACE(name);
    const auto bytes = readWholeFile(fixture(name));
    ASSERT_TRUE(bytes);
    for (std::size_t length = 0; length <= bytes->size(); ++length) {
      const std::vector<std::uint8_t> prefix(bytes->begin(), bytes->begin() + length);
      const auto rep = decodePict(prefix);
      EXPECT_EQ(rep != nullptr, length == bytes->size()) << length;
    }
  }
}

}  // namespace
}  // namespace quillane
