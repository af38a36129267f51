#include "image/decode/Decode.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>

#include "image/DecodePatterns.h"
#include "image/decode/Decoders.h"
#include "support/TempFolder.h"
#include "util/MemoryBudget.h"

namespace quillane {
namespace {

using testing::dataBytes;
using testing::Pattern;

// Restores the default budget however the test ends.
struct BudgetOverride {
  explicit BudgetOverride(std::size_t bytes) { setImageByteBudget(bytes); }
  ~BudgetOverride() { setImageByteBudget(0); }
};

Decoded<DecodedImage> decodeFixture(const std::string& file) {
  return decodeImage(dataBytes("images/" + file));
}

// Compares every pixel; colour under a fully clear pixel carries no meaning and is skipped.
// A raster marked opaque must be, and one of an opaque pattern is, but for GIF, which does
// not say: the writer then never looks at its alpha.
void expectPattern(const char* file, Pattern pattern, int tolerance) {
  SCOPED_TRACE(file);
  const auto image = decodeFixture(file);
  ASSERT_TRUE(image);
  const Bitmap* bitmap = &image->bitmap;
  ASSERT_EQ(bitmap->width, testing::kPatternWidth);
  ASSERT_EQ(bitmap->height, testing::kPatternHeight);
  int mismatches = 0;
  for (int y = 0; y < bitmap->height; ++y) {
    for (int x = 0; x < bitmap->width; ++x) {
      const auto want = testing::expectedPixel(pattern, x, y);
      const std::uint8_t* got = bitmap->row(y) + x * 4;
      bool same = got[3] == want[3] && (!bitmap->knownOpaque || got[3] == 255);
      for (int i = 0; i < 3 && want[3] != 0; ++i) same &= std::abs(got[i] - want[i]) <= tolerance;
      if (!same && ++mismatches <= 3) ADD_FAILURE() << "pixel " << x << "," << y;
    }
  }
  EXPECT_EQ(mismatches, 0);
  const bool opaque = pattern == Pattern::Rgb || pattern == Pattern::Grey ||
                      pattern == Pattern::Pal16 || pattern == Pattern::Bilevel;
  if (opaque && !std::string_view(file).starts_with("gif")) {
    EXPECT_TRUE(bitmap->knownOpaque);
  }
}

TEST(Decode, EveryVariantMatchesItsPattern) {
  struct Case {
    const char* file;
    Pattern pattern;
    int tolerance;  // largest difference allowed in a colour sample
  };
  const Case cases[] = {
      {"png-rgb8.png", Pattern::Rgb, 0},
      {"png-rgba8.png", Pattern::Rgba, 0},
      {"png-rgba8-filters.png", Pattern::Rgba, 0},
      {"png-rgba8-interlaced.png", Pattern::Rgba, 0},
      {"png-rgba16.png", Pattern::Rgba, 0},
      {"png-grey8.png", Pattern::Grey, 0},
      {"png-grey16.png", Pattern::Grey, 0},
      {"png-greyalpha8.png", Pattern::GreyAlpha, 0},
      {"png-grey1.png", Pattern::Bilevel, 0},
      {"png-palette4.png", Pattern::Pal16, 0},
      {"png-palette8-trns.png", Pattern::Rgba, 0},
      {"png-rgb8-trns.png", Pattern::RgbKeyed, 0},
      {"png-grey8-trns.png", Pattern::GreyKeyed, 0},
      {"gif-palette.gif", Pattern::Rgb, 0},
      {"gif-interlaced.gif", Pattern::Rgb, 0},
      {"gif-transparent.gif", Pattern::GifTransparent, 0},
      {"gif-offset-frame-local-palette.gif", Pattern::GifOffsetFrame, 0},
      {"bmp-rgb24.bmp", Pattern::Rgb, 0},
      {"bmp-rgb24-topdown.bmp", Pattern::Rgb, 0},
      {"bmp-rgba32.bmp", Pattern::Rgba, 0},
      {"bmp-palette8.bmp", Pattern::Rgb, 0},
      {"bmp-palette4.bmp", Pattern::Pal16, 0},
      {"bmp-grey8.bmp", Pattern::Grey, 0},
      {"bmp-1bit.bmp", Pattern::Bilevel, 0},
      {"tiff-rgb8.tif", Pattern::Rgb, 0},
      {"bmp-rle8.bmp", Pattern::Rgb, 0},
      {"bmp-rle4.bmp", Pattern::Pal16, 0},
      {"bmp-os2-palette8.bmp", Pattern::Rgb, 0},
      {"bmp-os2-palette4.bmp", Pattern::Pal16, 0},
      {"bmp-os2-1bit.bmp", Pattern::Bilevel, 0},
      {"tiff-rgb8-lzw.tif", Pattern::Rgb, 0},
      {"tiff-rgb8-deflate.tif", Pattern::Rgb, 0},
      {"tiff-rgb8-bigtiff-msb.tif", Pattern::Rgb, 0},
      {"tiff-rgb16.tif", Pattern::Rgb, 0},
      {"tiff-grey8.tif", Pattern::Grey, 0},
      {"tiff-grey16.tif", Pattern::Grey, 0},
      {"tiff-palette8.tif", Pattern::Rgb, 0},
      {"tiff-1bit.tif", Pattern::Bilevel, 0},
      {"tiff-cmyk8.tif", Pattern::Rgb, 0},
      {"tiff-two-pages.tif", Pattern::Rgb, 0},
      {"bmp-rgb565.bmp", Pattern::Rgb, 8},  // 5-6-5 bits keep the top bits of each sample
      // libtiff premultiplies alpha; dividing it out again rounds at low alpha.
      {"tiff-rgba8-unassociated.tif", Pattern::Rgba, 2},
      {"tiff-rgba8-associated-tiled.tif", Pattern::Rgba, 2},
      {"jpeg-rgb.jpg", Pattern::Rgb, 12},
      {"jpeg-progressive.jpg", Pattern::Rgb, 12},
      {"jpeg-grey.jpg", Pattern::Grey, 12},
      {"jpeg-cmyk-adobe.jpg", Pattern::Rgb, 12},
      {"jpeg-ycck-adobe.jpg", Pattern::Rgb, 12},
  };
  for (const auto& c : cases) expectPattern(c.file, c.pattern, c.tolerance);
}

// A 2 x 1 GIF whose colour map has two entries (red, green) and whose pixels are indices 0
// and 3: an index beyond the map reads as opaque black.
TEST(Decode, AGifIndexBeyondItsColourMapIsOpaqueBlack) {
  const std::vector<std::uint8_t> gif = {
      'G',  'I', 'F',  '8',  '9',  'a', 2, 0, 1, 0, 0x80, 0, 0,  // screen, a 2-entry map
      0xFF, 0,   0,    0,    0xFF, 0,                            // red, green
      0x2C, 0,   0,    0,    0,    2,   0, 1, 0, 0,              // the frame
      2,    2,   0xC4, 0x0A, 0,    0x3B};  // 3-bit codes clear, 0, 3, end; the trailer
  const auto image = decodeImage(gif);
  ASSERT_TRUE(image);
  const Bitmap* bitmap = &image->bitmap;
  const std::vector<std::uint8_t> redThenBlack = {0xFF, 0, 0, 0xFF, 0, 0, 0, 0xFF};
  EXPECT_TRUE(std::equal(bitmap->pixels.begin(), bitmap->pixels.end(), redThenBlack.begin(),
                         redThenBlack.end()));
}

// A 32-bit bottom-up BMP of one row with an info header, the given compression and, for
// bit fields, the three colour masks after it (and the alpha mask the compression implies).
std::vector<std::uint8_t> bmp32(std::uint32_t compression, std::vector<std::uint32_t> masks,
                                const std::vector<std::uint32_t>& pixels) {
  std::vector<std::uint8_t> b = {'B', 'M'};
  const auto put = [&b](std::uint32_t value, int count) {
    for (int i = 0; i < count; ++i) b.push_back(std::uint8_t(value >> (8 * i)));
  };
  const auto offset = static_cast<std::uint32_t>(14 + 40 + 4 * masks.size());
  for (const std::uint32_t v : {offset + std::uint32_t(4 * pixels.size()), 0u, offset, 40u})
    put(v, 4);
  put(std::uint32_t(pixels.size()), 4);
  put(1, 4);
  put(1, 2);
  put(32, 2);
  for (const std::uint32_t v :
       {compression, std::uint32_t(4 * pixels.size()), 2835u, 2835u, 0u, 0u})
    put(v, 4);
  for (const std::uint32_t m : masks) put(m, 4);
  for (const std::uint32_t p : pixels) put(p, 4);
  return b;
}

// Bit fields wider than 8 bits keep their top 8; an alpha field set in the last pixel only
// is alpha; compressions that embed another format are not supported.
TEST(Decode, BmpBitFieldsAndEmbeddedFormats) {
  constexpr std::uint32_t kBitfields = 3, kAlphaBitfields = 6;
  const auto tenBits = decodeImage(bmp32(kBitfields, {0x3FF00000, 0x000FFC00, 0x000003FF},
                                         {0x3FF00000 | (0x200 << 10) | 0x0FF}));
  ASSERT_TRUE(tenBits);
  EXPECT_EQ(
      (std::vector<std::uint8_t>(tenBits->bitmap.pixels.begin(), tenBits->bitmap.pixels.end())),
      (std::vector<std::uint8_t>{255, 128, 63, 255}));

  const auto alpha = decodeImage(
      bmp32(kAlphaBitfields, {0xFF0000, 0xFF00, 0xFF, 0xFF000000}, {0x00FFFFFF, 0x80FFFFFF}));
  ASSERT_TRUE(alpha);
  EXPECT_EQ(alpha->bitmap.row(0)[3], 0);
  EXPECT_EQ(alpha->bitmap.row(0)[7], 0x80);

  for (const std::uint32_t embedded : {4u, 5u}) {  // JPEG, PNG
    const auto image = decodeImage(bmp32(embedded, {}, {0}));
    ASSERT_FALSE(image) << embedded;
    EXPECT_EQ(image.error().kind, DecodeFailure::Unsupported) << embedded;
  }
}

// tiff-matrix/KIND-ALPHA-LAYOUT.tif: alpha taken as declared, unspecified extra samples
// ignored, in every layout; associated alpha rounds where it is low.
TEST(Decode, EveryTiffLayoutAndAlphaKindMatchesItsPattern) {
  const std::map<std::string, Pattern> kinds{{"grey", Pattern::Grey},
                                             {"greyalpha", Pattern::GreyAlpha},
                                             {"rgb", Pattern::Rgb},
                                             {"palette", Pattern::Rgb},
                                             {"rgba", Pattern::Rgba}};
  int files = 0;
  const auto folder = testing::dataPath("images/tiff-matrix");
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    const std::string name = entry.path().filename();
    const std::string kind = name.substr(0, name.find('-'));
    const bool unspecified = name.find("-unspecified-") != std::string::npos;
    Pattern pattern = kinds.at(kind);
    if (unspecified) pattern = kind == "rgba" ? Pattern::Rgb : Pattern::Grey;
    const bool associated = name.find("-associated-") != std::string::npos;
    expectPattern(("tiff-matrix/" + name).c_str(), pattern, associated ? 2 : 0);
    ++files;
  }
  EXPECT_EQ(files, 42);
}

TEST(Decode, TheDeclaredResolutionIsKept) {
  struct Case {
    const char* file;
    Size pixels;
    float dpi;
  };
  const Case cases[] = {
      {"png-600x400-300dpi.png", {600, 400}, 300},
      {"jpeg-60x40-300dpi.jpg", {60, 40}, 300},
      {"jpeg-60x40-50dpcm.jpg", {60, 40}, 127},
      {"bmp-60x40-300dpi.bmp", {60, 40}, 300},
      {"tiff-60x40-300dpi.tif", {60, 40}, 300},
      {"tiff-60x40-50dpcm.tif", {60, 40}, 127},
      // No declared resolution: 72 dpi.
      {"png-rgb8.png", {13, 11}, 72},
      {"gif-palette.gif", {13, 11}, 72},
      {"tiff-rgb8.tif", {13, 11}, 72},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    const auto image = decodeFixture(c.file);
    ASSERT_TRUE(image);
    EXPECT_EQ((Size{image->bitmap.width, image->bitmap.height}), c.pixels);
    EXPECT_NEAR(image->resolution.x, c.dpi, 0.01);
    EXPECT_NEAR(image->resolution.y, c.dpi, 0.01);
  }
}

// Every 16-bit source goes to 8 bits by one rule, the nearest value: v x 255 / 65535 rounded.
TEST(Decode, SixteenBitSamplesRoundToTheNearestEightBitValue) {
  const std::uint8_t nearest[] = {2, 1, 0, 254};  // of 0x01FF, 0x0081, 0x0080, 0xFF00
  for (const char* file : {"rounding16.png", "rounding16.tif"}) {
    SCOPED_TRACE(file);
    const auto image = decodeFixture(file);
    ASSERT_TRUE(image);
    ASSERT_EQ(image->bitmap.width, 4);
    for (int x = 0; x < 4; ++x) EXPECT_EQ(image->bitmap.pixels[4 * x], nearest[x]) << x;
  }
}

TEST(Decode, SourceFilesAreReadByContentAndPicturesByExtension) {
  const testsupport::TempFolder folder;
  const auto png = dataBytes("images/png-rgb8.png");
  const auto pict = dataBytes("pict/im-indexed.pict");
  const std::string pictText(pict.begin(), pict.end());
  const auto picture = decodeSourceFile(folder.write("picture.jpg", {png.begin(), png.end()}));
  ASSERT_TRUE(picture);
  EXPECT_EQ((Size{picture->bitmap.width, picture->bitmap.height}), (Size{13, 11}));
  EXPECT_TRUE(decodeSourceFile(folder.write("picture.pct", pictText)));
  for (const std::string& path :
       {folder.write("picture.png", pictText), folder.write("notes.jpg", "Only text.\n")}) {
    const auto image = decodeSourceFile(path);
    ASSERT_FALSE(image) << path;
    EXPECT_EQ(image.error().kind, DecodeFailure::Unreadable) << path;
  }
}

// Each decoder hands the size its file declares to the one size check, before any limit of
// its library can call the file invalid.
TEST(Decode, DeclaredSidesAboveTheLimitAreTooLargeWithTheirSize) {
  struct Case {
    const char* file;
    long long width;
    long long height;
  };
  // JPEG and GIF sides are 16-bit: never above the limit.
  for (const Case& c : {Case{"png-2147483647-wide.png", 2147483647, 1},
                        Case{"bmp-negative-height-min.bmp", 13, 2147483648},
                        Case{"tiff-4294967295-wide.tif", 4294967295, 11}}) {
    const auto image = decodeImage(dataBytes(std::string("bad/") + c.file));
    ASSERT_FALSE(image) << c.file;
    EXPECT_EQ(image.error().kind, DecodeFailure::TooLarge) << c.file;
    EXPECT_EQ(image.error().width, c.width) << c.file;
    EXPECT_EQ(image.error().height, c.height) << c.file;
  }
}

TEST(Decode, ARasterAboveTheBudgetIsOutOfMemoryAndOneAtItDecodes) {
  struct Case {
    const char* file;
    int width;
    int height;
  };
  for (const Case& c :
       {Case{"images/png-rgb8.png", 13, 11}, Case{"images/jpeg-rgb.jpg", 13, 11},
        Case{"images/jpeg-progressive.jpg", 13, 11}, Case{"images/gif-palette.gif", 13, 11},
        Case{"images/bmp-rgb24.bmp", 13, 11}, Case{"images/tiff-rgb8.tif", 13, 11},
        Case{"pict/im-direct.pict", 24, 16}}) {
    SCOPED_TRACE(c.file);
    auto bytes = dataBytes(c.file);
    const bool pict = std::string_view(c.file).starts_with("pict/");
    const auto decode = [&] { return pict ? decodePict(bytes) : decodeImage(bytes); };
    const std::size_t rasterBytes = std::size_t(c.width) * c.height * 4;
    {
      const BudgetOverride budget(rasterBytes - 1);
      const auto refused = decode();
      ASSERT_FALSE(refused);
      EXPECT_EQ(refused.error().kind, DecodeFailure::OutOfMemory);
      EXPECT_EQ(refused.error().width, c.width);
      EXPECT_EQ(refused.error().height, c.height);
    }
    const BudgetOverride budget(rasterBytes);
    EXPECT_TRUE(decode());
  }
  EXPECT_GE(imageByteBudget(), std::size_t{6000} * 4000 * 4);  // an ordinary photo by default
}

// Every shorter prefix and every byte flipped, for one file of each decoder path: no crash,
// no read out of bounds (the sanitizer build checks) and no library message on stderr, and a
// prefix that still decodes has the size of the whole file.
TEST(Decode, DamagedBytesNeverCrashAndStayQuiet) {
  ::testing::internal::CaptureStderr();
  for (const char* file :
       {"png-rgba8.png", "png-palette8-trns.png", "png-rgba8-interlaced.png", "jpeg-rgb.jpg",
        "jpeg-progressive.jpg", "jpeg-cmyk-adobe.jpg", "gif-transparent.gif", "gif-interlaced.gif",
        "bmp-rgb24.bmp", "bmp-palette4.bmp", "bmp-rgb565.bmp", "tiff-rgb8-lzw.tif",
        "tiff-rgba8-associated-tiled.tif", "tiff-palette8.tif", "tiff-cmyk8.tif"}) {
    SCOPED_TRACE(file);
    const auto bytes = dataBytes(std::string("images/") + file);
    for (std::size_t length = 0; length < bytes.size(); ++length) {
      const auto image = decodeImage(std::span(bytes).first(length));
      if (image) {
        EXPECT_EQ((Size{image->bitmap.width, image->bitmap.height}), (Size{13, 11}))
            << "prefix of " << length;
      }
    }
    auto damaged = bytes;
    for (std::size_t i = 0; i < damaged.size(); ++i) {
      damaged[i] ^= 0xFF;
      (void)decodeImage(damaged);
      damaged[i] ^= 0xFF;
    }
  }
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
}

}  // namespace
}  // namespace quillane
