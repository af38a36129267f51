#include <gtest/gtest.h>

#include <cstdlib>

#include "image/DecodePatterns.h"
#include "image/decode/Decode.h"
#include "image/decode/Orientation.h"
#include "support/TempFolder.h"

// Files made by each format's own encoder, decoded here and by the format's own decoder to a
// PNG (read back by the PNG decoder, which reduces 16 bits by the same rule).
namespace quillane {
namespace {

// The command with IN, OUT and REF replaced by paths in the folder.
void run(std::string command, const testsupport::TempFolder& folder, const std::string& in) {
  for (const auto& [token, path] :
       {std::pair{"IN", in}, {"OUT", folder.file("out")}, {"REF", folder.file("ref.png")}})
    for (auto at = command.find(token); at != std::string::npos; at = command.find(token))
      command.replace(at, std::string(token).size(), path);
  ASSERT_EQ(std::system((command + " >/dev/null 2>&1").c_str()), 0) << command;
}

Decoded<DecodedImage> decodeModern(const std::string& path, DecodeRequest request = {}) {
  request.modernFormats = true;
  return decodeSourceFile(path, request);
}

class ModernFormats : public ::testing::Test {
 protected:
  // The fixtures five times as large (lossy codecs work on blocks of 8 to 64 pixels), as
  // RGBA with an ICC profile, and RGB of 16 bits with no colour chunk at all (a gamma chunk
  // would make the JPEG XL encoder store other colours; djxl cannot write 16-bit colour with
  // alpha of fewer bits).
  void SetUp() override {
    const std::string png = " -scale 500% ";
    run("convert " + testing::dataPath("images/png-rgba8.png") + png +
            "-define png:color-type=6 -profile /usr/share/color/icc/colord/AppleRGB.icc IN",
        folder, folder.file("rgba8.png"));
    run("convert " + testing::dataPath("images/png-rgba16.png") + png +
            "-alpha off -define png:color-type=2 -define png:bit-depth=16 "
            "-define png:exclude-chunks=all IN",
        folder, folder.file("rgb16.png"));
  }
  testsupport::TempFolder folder;
};

// The same pixels whole, and a part the whole cut to it; none for an sRGB source, else the
// profile the reference decoder writes (or the source's, where it writes none); nothing
// without the option.
TEST_F(ModernFormats, EachDecodesAsItsOwnDecoderDoes) {
  struct Case {
    const char* source;
    const char* encode;
    const char* decode;
    int tolerance = 0;  // heif-convert widens 10 bits by a shift (1023 to 65472)
  };
  const Case cases[] = {
      {"rgba8.png", "cwebp -lossless -exact -metadata icc IN -o OUT", "dwebp OUT -o REF"},
      {"rgba8.png", "cwebp -q 60 -metadata icc IN -o OUT", "dwebp OUT -o REF"},
      {"rgba8.png", "heif-enc -q 50 IN -o OUT", "heif-convert OUT REF"},
      {"rgba8.png", "avifenc -l IN -o OUT", "heif-convert OUT REF"},
      {"rgb16.png", "avifenc -d 10 IN -o OUT", "heif-convert OUT REF", 1},
      {"rgba8.png", "cjxl -d 0 IN OUT", "djxl OUT REF"},
      {"rgba8.png", "cjxl -d 2 IN OUT", "djxl OUT REF"},
      {"rgb16.png", "cjxl -d 0 IN OUT", "djxl OUT REF"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.encode);
    const std::string source = folder.file(c.source);
    run(c.encode, folder, source);
    run(c.decode, folder, source);
    const auto got = decodeModern(folder.file("out"));
    const auto want = decodeSourceFile(folder.file("ref.png"));
    const auto original = decodeSourceFile(source);
    ASSERT_TRUE(got && want && original);
    ASSERT_EQ(got->bitmap.pixels.size(), want->bitmap.pixels.size());
    EXPECT_EQ(got->bitmap.width, want->bitmap.width);
    for (std::size_t i = 0; i < got->bitmap.pixels.size(); ++i)
      ASSERT_LE(std::abs(got->bitmap.pixels[i] - want->bitmap.pixels[i]), c.tolerance) << i;
    const bool ownProfile = !original->iccProfile.empty() && !want->iccProfile.empty();
    const auto& profile = ownProfile ? want->iccProfile : original->iccProfile;
    EXPECT_EQ(got->iccProfile, profile);
    const auto part = decodeModern(folder.file("out"), {.keepWidth = 17, .keepHeight = 9});
    Bitmap cut = got->bitmap;
    cut.keepTopLeft(17, 9);
    ASSERT_TRUE(part);
    EXPECT_TRUE(part->bitmap.pixels == cut.pixels);
    // Without the option the same bytes are no image.
    EXPECT_EQ(decodeSourceFile(folder.file("out")).error().kind, DecodeFailure::Unreadable);
  }
}

// An AVIF turned by its irot and imir boxes, and a JPEG XL made from a JPEG whose EXIF tag
// turns it: upright as their own decoders show them, as stored without the orientation
// option, and turned once only.
TEST_F(ModernFormats, OrientationIsAppliedOnceOrNotAtAll) {
  const std::string orient6 = testing::dataPath("images/orient-6.jpg");
  struct Case {
    std::string source;
    const char* encode;
    const char* decode;
    int orientation;  // the EXIF value of the stored turn
  };
  const Case cases[] = {
      {folder.file("rgba8.png"), "avifenc -l --irot 1 --imir 1 IN -o OUT", "heif-convert OUT REF",
       7},
      {orient6, "cjxl -d 0 --lossless_jpeg=0 IN OUT", "djxl OUT REF", 6},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.encode);
    run(c.encode, folder, c.source);
    run(c.decode, folder, c.source);
    const auto upright = decodeModern(folder.file("out"), {.upright = true});
    const auto stored = decodeModern(folder.file("out"));
    const auto want = decodeSourceFile(folder.file("ref.png"));
    ASSERT_TRUE(upright && stored && want);
    EXPECT_TRUE(upright->bitmap.pixels == want->bitmap.pixels);
    const auto turned = turnedUpright(stored->bitmap, c.orientation);
    ASSERT_TRUE(turned);
    EXPECT_EQ(turned->width, upright->bitmap.width);
    EXPECT_TRUE(turned->pixels == upright->bitmap.pixels);
  }
}

}  // namespace
}  // namespace quillane
