#include "image/decode/Decode.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>

#include "image/DecodePatterns.h"
#include "util/CheckedSize.h"

namespace quillane {
namespace {

using testing::expectedPixel;
using testing::badFileBytes;
using testing::fixtureBytes;
using testing::Pattern;

struct PatternCase {
  const char* file;
  Pattern pattern;
  int tolerance;  // largest difference allowed in a colour sample (alpha is always exact)
};

// Compares every pixel; colour under a fully clear pixel carries no meaning and is skipped.
void expectPattern(const PatternCase& c) {
  SCOPED_TRACE(c.file);
  const auto decoded = decodeImage(fixtureBytes(c.file));
  ASSERT_TRUE(decoded.has_value());
  const auto bitmap = decoded->renderBitmap();
  ASSERT_EQ(bitmap->width, testing::kPatternWidth);
  ASSERT_EQ(bitmap->height, testing::kPatternHeight);
  int mismatches = 0;
  for (int y = 0; y < bitmap->height; ++y) {
    for (int x = 0; x < bitmap->width; ++x) {
      const auto want = expectedPixel(c.pattern, x, y);
      const std::uint8_t* got = bitmap->row(y) + x * 4;
      // A raster marked opaque must be: the writer then never looks at its alpha.
      bool same = got[3] == want[3] && (!bitmap->knownOpaque || got[3] == 255);
      for (int i = 0; i < 3 && want[3] != 0; ++i) same &= std::abs(got[i] - want[i]) <= c.tolerance;
      if (!same && ++mismatches <= 3)
        ADD_FAILURE() << "pixel " << x << "," << y << ": got " << int(got[0]) << " " << int(got[1])
                      << " " << int(got[2]) << " " << int(got[3]) << ", want " << want[0] << " "
                      << want[1] << " " << want[2] << " " << want[3];
    }
  }
  EXPECT_EQ(mismatches, 0);
}

TEST(Decode, LosslessFilesOfEveryVariantMatchTheirPatternExactly) {
  const PatternCase cases[] = {
      {"png-rgb8.png", Pattern::Rgb, 0},
      {"png-rgba8.png", Pattern::Rgba, 0},
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
      {"tiff-rgb8-lzw.tif", Pattern::Rgb, 0},
      {"tiff-rgb8-deflate.tif", Pattern::Rgb, 0},
      {"tiff-rgb8-bottomleft.tif", Pattern::Rgb, 0},
      {"tiff-rgb8-bigtiff-msb.tif", Pattern::Rgb, 0},
      {"tiff-rgb16.tif", Pattern::Rgb, 0},
      {"tiff-grey8.tif", Pattern::Grey, 0},
      {"tiff-grey16.tif", Pattern::Grey, 0},
      {"tiff-palette8.tif", Pattern::Rgb, 0},
      {"tiff-1bit.tif", Pattern::Bilevel, 0},
      {"tiff-cmyk8.tif", Pattern::Rgb, 0},
      {"tiff-two-pages.tif", Pattern::Rgb, 0},
  };
  for (const auto& c : cases) expectPattern(c);
}

TEST(Decode, ApproximateVariantsMatchTheirPatternWithinTolerance) {
  const PatternCase cases[] = {
      // 5-6-5 bits keep the top bits of each sample.
      {"bmp-rgb565.bmp", Pattern::Rgb, 8},
      // libtiff premultiplies alpha; dividing it out again rounds at low alpha.
      {"tiff-rgba8-unassociated.tif", Pattern::Rgba, 2},
      {"tiff-rgba8-associated-tiled.tif", Pattern::Rgba, 2},
      {"jpeg-rgb.jpg", Pattern::Rgb, 12},
      {"jpeg-progressive.jpg", Pattern::Rgb, 12},
      {"jpeg-grey.jpg", Pattern::Grey, 12},
      {"jpeg-cmyk-adobe.jpg", Pattern::Rgb, 12},
      {"jpeg-ycck-adobe.jpg", Pattern::Rgb, 12},
  };
  for (const auto& c : cases) expectPattern(c);
}

TEST(Decode, RastersWithoutTransparencyAreMarkedOpaque) {
  const std::pair<const char*, bool> cases[] = {
      {"jpeg-rgb.jpg", true},           {"jpeg-cmyk-adobe.jpg", true},
      {"png-rgb8.png", true},           {"png-grey16.png", true},
      {"png-palette4.png", true},       {"png-rgba8.png", false},
      {"png-greyalpha8.png", false},    {"png-rgb8-trns.png", false},
      {"png-palette8-trns.png", false}, {"bmp-rgba32.bmp", false},
      {"bmp-rgb24.bmp", true},          {"tiff-rgb8.tif", true},
      {"tiff-rgba8-associated-tiled.tif", false},
  };
  for (const auto& [file, opaque] : cases) {
    const auto decoded = decodeImage(fixtureBytes(file));
    ASSERT_TRUE(decoded.has_value()) << file;
    EXPECT_EQ(decoded->renderBitmap()->knownOpaque, opaque) << file;
  }
}

TEST(Decode, DeclaredResolutionGivesThePointSize) {
  struct Case {
    const char* file;
    Size pixels;
    Size points;
  };
  const Case cases[] = {
      {"png-600x400-300dpi.png", {600, 400}, {144, 96}},
      {"jpeg-60x40-300dpi.jpg", {60, 40}, {14.4f, 9.6f}},
      {"jpeg-60x40-50dpcm.jpg", {60, 40}, {60 * 72 / 127.0f, 40 * 72 / 127.0f}},
      {"bmp-60x40-300dpi.bmp", {60, 40}, {14.4f, 9.6f}},
      {"tiff-60x40-300dpi.tif", {60, 40}, {14.4f, 9.6f}},
      {"tiff-60x40-50dpcm.tif", {60, 40}, {60 * 72 / 127.0f, 40 * 72 / 127.0f}},
      // No declared resolution: 72 dpi, points equal pixels.
      {"png-rgb8.png", {13, 11}, {13, 11}},
      {"gif-palette.gif", {13, 11}, {13, 11}},
      {"tiff-rgb8.tif", {13, 11}, {13, 11}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    const auto image = decodeImage(fixtureBytes(c.file));
    ASSERT_TRUE(image.has_value());
    EXPECT_EQ(image->pixelsSize(), c.pixels);
    EXPECT_NEAR(image->size().width, c.points.width, 0.01);
    EXPECT_NEAR(image->size().height, c.points.height, 0.01);
    ASSERT_EQ(image->representations().size(), 1u);
    EXPECT_TRUE(image->representations()[0]->isBitmap());
  }
}

TEST(Decode, FormatComesFromTheContentNotTheName) {
  EXPECT_EQ(sniffImageFormat(fixtureBytes("png-rgb8.png")), ImageFormat::Png);
  EXPECT_EQ(sniffImageFormat(fixtureBytes("jpeg-rgb.jpg")), ImageFormat::Jpeg);
  EXPECT_EQ(sniffImageFormat(fixtureBytes("gif-palette.gif")), ImageFormat::Gif);
  EXPECT_EQ(sniffImageFormat(fixtureBytes("bmp-rgb24.bmp")), ImageFormat::Bmp);
  EXPECT_EQ(sniffImageFormat(fixtureBytes("tiff-rgb8.tif")), ImageFormat::Tiff);
  EXPECT_EQ(sniffImageFormat({}), ImageFormat::Unknown);

  const auto folder = std::filesystem::path(::testing::TempDir()) / "quillane-sniff";
  std::filesystem::create_directories(folder);
  const auto png = fixtureBytes("png-rgb8.png");
  std::ofstream(folder / "picture.jpg", std::ios::binary)
      .write(reinterpret_cast<const char*>(png.data()), static_cast<std::streamsize>(png.size()));
  std::ofstream(folder / "notes.jpg") << "Not a picture, only text named like one.\n";

  const auto picture = decodeImageFile((folder / "picture.jpg").string());
  ASSERT_TRUE(picture.has_value());
  EXPECT_EQ(picture->pixelsSize(), (Size{13, 11}));
  EXPECT_FALSE(decodeImageFile((folder / "notes.jpg").string()).has_value());
  EXPECT_FALSE(decodeImageFile((folder / "missing.png").string()).has_value());
  std::filesystem::remove_all(folder);
}

const char* const kOneFilePerDecoderPath[] = {
    "png-rgba8.png",           "png-palette8-trns.png", "png-rgba8-interlaced.png",
    "jpeg-rgb.jpg",            "jpeg-progressive.jpg",  "jpeg-cmyk-adobe.jpg",
    "gif-transparent.gif",     "gif-interlaced.gif",    "gif-offset-frame-local-palette.gif",
    "bmp-rgb24.bmp",           "bmp-palette4.bmp",      "bmp-rgb565.bmp",
    "tiff-rgb8-lzw.tif",       "tiff-rgba8-associated-tiled.tif",
    "tiff-palette8.tif",       "tiff-cmyk8.tif",
};

TEST(Decode, EmptyTruncatedAndOversizedFilesAnswerNothingQuietly) {
  ::testing::internal::CaptureStderr();
  EXPECT_FALSE(decodeImage({}).has_value());
  for (const std::string file : kOneFilePerDecoderPath) {
    SCOPED_TRACE(file);
    // Its first frame ends early in the file; a cut inside the second one leaves it whole.
    if (file == "gif-offset-frame-local-palette.gif") continue;
    const auto bytes = fixtureBytes(file);
    const auto format = sniffImageFormat(bytes);
    std::span<const std::uint8_t> whole(bytes);
    EXPECT_FALSE(decodeImage(whole.first(8)).has_value());
    EXPECT_FALSE(decodeImage(whole.first(bytes.size() / 2)).has_value());
    EXPECT_FALSE(decodeImage(whole.first(bytes.size() * 3 / 4)).has_value());
    // The same decoder called directly sees the same empty input.
    const std::span<const std::uint8_t> none;
    switch (format) {
      case ImageFormat::Png: EXPECT_FALSE(decodePng(none)); break;
      case ImageFormat::Jpeg: EXPECT_FALSE(decodeJpeg(none)); break;
      case ImageFormat::Gif: EXPECT_FALSE(decodeGif(none)); break;
      case ImageFormat::Bmp: EXPECT_FALSE(decodeBmp(none)); break;
      case ImageFormat::Tiff: EXPECT_FALSE(decodeTiff(none)); break;
      case ImageFormat::Unknown: ADD_FAILURE() << "not sniffed"; break;
    }
  }
  for (const char* file : {"png-40000-wide.png", "jpeg-40000-wide.jpg",
                           "gif-65535-square-screen.gif", "bmp-40000-wide.bmp",
                           "tiff-40000-wide.tif"}) {
    EXPECT_FALSE(decodeImage(badFileBytes(file)).has_value()) << file;
  }
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
}

TEST(Decode, LibraryLimitsStopDecompressionBombs) {
  // 704 valid progressive scans: each would walk the coefficients again.
  EXPECT_FALSE(decodeImage(badFileBytes("jpeg-704-scans.jpg")).has_value());
  // A compressed text chunk inflating to 64 MiB, beyond the chunk cache.
  EXPECT_FALSE(decodeImage(badFileBytes("png-ztxt-bomb-64mib.png")).has_value());
}

// Every shorter prefix and every byte flipped, for one file of each decoder path: no crash
// and no read out of bounds (the sanitizer build checks), and a prefix that still decodes has
// the size of the whole file.
TEST(Decode, DamagedBytesNeverCrash) {
  for (const char* file : kOneFilePerDecoderPath) {
    SCOPED_TRACE(file);
    const auto bytes = fixtureBytes(file);
    const Size wholeSize = decodeImage(bytes)->pixelsSize();
    for (std::size_t length = 0; length < bytes.size(); ++length) {
      const auto image = decodeImage(std::span(bytes).first(length));
      if (image) {
        EXPECT_EQ(image->pixelsSize(), wholeSize) << "prefix of " << length;
      }
    }
    auto damaged = bytes;
    for (std::size_t i = 0; i < damaged.size(); ++i) {
      damaged[i] ^= 0xFF;
      (void)decodeImage(damaged);
      damaged[i] ^= 0xFF;
    }
  }
}

// The shipped sample folder: every picture decodes at the same size, and every format but
// PICT (read elsewhere) is there.
TEST(Decode, EverySampleDecodesAt320By240) {
  std::set<ImageFormat> formats;
  for (const auto& entry : std::filesystem::directory_iterator(QUILLANE_SOURCE_DIR "/samples")) {
    const auto extension = entry.path().extension().string();
    if (extension == ".pict" || extension == ".pct" || extension == ".pic") continue;
    SCOPED_TRACE(entry.path().string());
    const auto image = decodeImageFile(entry.path().string());
    ASSERT_TRUE(image.has_value());
    EXPECT_EQ(image->pixelsSize(), (Size{320, 240}));
    formats.insert(sniffImageFormat(readWholeFile(entry.path().string()).value()));
  }
  EXPECT_EQ(formats, (std::set<ImageFormat>{ImageFormat::Jpeg, ImageFormat::Png, ImageFormat::Gif,
                                            ImageFormat::Bmp, ImageFormat::Tiff}));
}

}  // namespace
}  // namespace quillane
