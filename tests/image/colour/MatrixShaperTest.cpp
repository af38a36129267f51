// The fast conversion between matrix-shaper profiles against Little CMS's own 8-bit transform,
// on every one of the 2^24 colours.
#include "image/colour/MatrixShaper.h"

#include <gtest/gtest.h>
#include <lcms2.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "image/colour/DeepConversion.h"
#include "image/decode/DeepSamples.h"
#include "image/decode/SizeCheck.h"
#include "support/ProfileBytes.h"

namespace quillane {
namespace {

using Bytes = std::vector<std::uint8_t>;
using testsupport::saved;

Bytes fileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

ColourProfile fromFile(const std::string& path) {
  return ColourProfile::read(fileBytes(path)).value();
}

// Display P3: the primaries of DCI-P3 under D65 white, sRGB's curve.
ColourProfile displayP3() {
  const cmsCIExyY white = {0.3127, 0.3290, 1.0};
  const cmsCIExyYTRIPLE primaries = {{0.680, 0.320, 1.0}, {0.265, 0.690, 1.0}, {0.150, 0.060, 1.0}};
  const double srgbCurve[] = {2.4, 1 / 1.055, 0.055 / 1.055, 1 / 12.92, 0.04045};
  cmsToneCurve* curve = cmsBuildParametricToneCurve(nullptr, 4, srgbCurve);
  cmsToneCurve* curves[3] = {curve, curve, curve};
  cmsHPROFILE profile = cmsCreateRGBProfile(&white, &primaries, curves);
  cmsFreeToneCurve(curve);
  return ColourProfile::read(saved(profile)).value();
}

// Every colour once, opaque; then a few transparent pixels.
Bitmap everyColour() {
  Bitmap bitmap = *createBitmap(4096, 4097, BitmapFill::Zeroes);
  for (std::uint32_t colour = 0; colour < (1u << 24); ++colour) {
    std::uint8_t* p = bitmap.pixels.data() + 4 * std::size_t(colour);
    p[0] = std::uint8_t(colour >> 16);
    p[1] = std::uint8_t(colour >> 8);
    p[2] = std::uint8_t(colour);
    p[3] = 255;
  }
  std::uint8_t* lastRow = bitmap.row(4096);
  for (int x = 0; x < 4096; ++x) std::fill_n(lastRow + 4 * x, 3, std::uint8_t(x));
  return bitmap;
}

TEST(MatrixShaper, AgreesWithLittleCmsOnEveryColourWithinOneStep) {
  constexpr const char* kColord = "/usr/share/color/icc/colord/";
  if (!std::ifstream(std::string(kColord) + "AdobeRGB1998.icc")) GTEST_SKIP() << "no colord-data";
  const ColourProfile srgb = ColourProfile::srgb(), p3 = displayP3();
  const ColourProfile adobe = fromFile(std::string(kColord) + "AdobeRGB1998.icc");
  const ColourProfile prophoto = fromFile(std::string(kColord) + "ProPhotoRGB.icc");
  const struct {
    const char* name;
    const ColourProfile& from;
    const ColourProfile& into;
  } cases[] = {
      {"Adobe RGB into sRGB", adobe, srgb},
      {"sRGB into Adobe RGB", srgb, adobe},
      {"Display P3 into sRGB", p3, srgb},
      {"sRGB into ProPhoto", srgb, prophoto},
  };
  const Bitmap source = everyColour();
  for (const auto& c : cases) {
    const auto shaper = MatrixShaper::between(c.from, c.into);
    ASSERT_TRUE(shaper) << c.name;
    Bitmap fast = source, reference = source;
    shaper->convert(fast);
    cmsHTRANSFORM transform = cmsCreateTransform(
        c.from.handle(), TYPE_RGBA_8, c.into.handle(), TYPE_RGBA_8, INTENT_RELATIVE_COLORIMETRIC,
        cmsFLAGS_BLACKPOINTCOMPENSATION | cmsFLAGS_COPY_ALPHA);
    cmsDoTransform(transform, reference.pixels.data(), reference.pixels.data(), 1u << 24);
    cmsDeleteTransform(transform);

    int worst = 0;
    for (std::size_t i = 0; i < (std::size_t(4) << 24); ++i)
      worst = std::max(worst, std::abs(fast.pixels[i] - reference.pixels[i]));
    EXPECT_LE(worst, 1) << c.name;
    const std::uint8_t* lastRow = fast.row(4096);
    EXPECT_TRUE(std::all_of(lastRow, lastRow + fast.rowBytes(), [](auto v) { return v == 0; }))
        << c.name << ": a transparent pixel becomes all zeros";
  }
}

// 16 bits: a grid of 2^18 colours, uneven steps so that every low bit varies, and a dense
// ramp next to black, where a pure power curve is steepest; within one step once reduced to
// 8 bits, the rule every 16-bit source goes through. The reference is Little CMS's pipeline
// evaluated exactly: its optimised 16-bit transform interpolates a table, and is off by up to
// 24 steps for colours out of the document's gamut and next to black. The vector loop gives
// the scalar one's samples exactly; a last few transparent pixels, not a whole group of
// eight, become all zeros.
TEST(MatrixShaper, SixteenBitsAgreeWithLittleCmsWithinOneEightBitStep) {
  constexpr const char* kColord = "/usr/share/color/icc/colord/";
  if (!std::ifstream(std::string(kColord) + "AdobeRGB1998.icc")) GTEST_SKIP() << "no colord-data";
  const ColourProfile srgb = ColourProfile::srgb();
  const ColourProfile adobe = fromFile(std::string(kColord) + "AdobeRGB1998.icc");
  const ColourProfile prophoto = fromFile(std::string(kColord) + "ProPhotoRGB.icc");
  std::vector<std::uint16_t> source;
  for (int r = 0; r < 64; ++r) {
    for (int g = 0; g < 64; ++g) {
      for (int b = 0; b < 64; ++b) {
        for (const int v : {r, g, b}) source.push_back(std::uint16_t(v * 1040 + v * v % 97));
        source.push_back(65535);
      }
    }
  }
  for (int v = 0; v < 4096; ++v)
    source.insert(source.end(), {std::uint16_t(v), 0, std::uint16_t(v / 2), 65535});
  const std::size_t opaque = source.size();
  for (int v = 1; v <= 5; ++v) source.insert(source.end(), {std::uint16_t(v * 9000), 7, 7, 0});
  const struct {
    const char* name;
    const ColourProfile& from;
    const ColourProfile& into;
  } cases[] = {{"ProPhoto into sRGB", prophoto, srgb},
               {"sRGB into Adobe RGB", srgb, adobe},
               {"Adobe RGB into ProPhoto", adobe, prophoto}};
  for (const auto& c : cases) {
    const auto shaper = DeepMatrixShaper::between(c.from, c.into);
    ASSERT_TRUE(shaper) << c.name;
    std::vector<std::uint16_t> fast = source, scalar = source, reference = source;
    shaper->convert(fast.data(), int(fast.size() / 4));
    shaper->convertScalar(scalar.data(), int(scalar.size() / 4));
    EXPECT_EQ(fast, scalar) << c.name;
    cmsHTRANSFORM transform = cmsCreateTransform(
        c.from.handle(), TYPE_RGBA_16, c.into.handle(), TYPE_RGBA_16, INTENT_RELATIVE_COLORIMETRIC,
        cmsFLAGS_BLACKPOINTCOMPENSATION | cmsFLAGS_COPY_ALPHA | cmsFLAGS_NOOPTIMIZE);
    cmsDoTransform(transform, reference.data(), reference.data(),
                   cmsUInt32Number(source.size() / 4));
    cmsDeleteTransform(transform);
    int worst = 0;
    for (std::size_t i = 0; i < opaque; ++i)
      worst = std::max(worst, std::abs(eightBitsOf(scalar[i]) - eightBitsOf(reference[i])));
    EXPECT_LE(worst, 1) << c.name;
    EXPECT_TRUE(std::all_of(scalar.begin() + std::ptrdiff_t(opaque), scalar.end(),
                            [](auto v) { return v == 0; }))
        << c.name << ": a transparent pixel becomes all zeros";
  }
}

// Tables kept from one decode serve the next only with the same pair of profiles.
TEST(MatrixShaper, SixteenBitConversionsKeepTablesPerPairOfProfiles) {
  constexpr const char* kColord = "/usr/share/color/icc/colord/";
  if (!std::ifstream(std::string(kColord) + "AdobeRGB1998.icc")) GTEST_SKIP() << "no colord-data";
  const Bytes adobe = fileBytes(std::string(kColord) + "AdobeRGB1998.icc");
  const Bytes prophoto = fileBytes(std::string(kColord) + "ProPhotoRGB.icc");
  const auto converted = [&prophoto](const Bytes& document) {
    std::vector<std::uint16_t> pixel = {30000, 20000, 10000, 65535};
    DeepConversion::into(document, prophoto, false)->convert(pixel.data(), 1);
    return pixel;
  };
  const auto intoSrgb = converted({}), intoAdobe = converted(adobe);
  EXPECT_NE(intoSrgb, intoAdobe);
  EXPECT_EQ(converted({}), intoSrgb);
  std::vector<std::uint16_t> fresh = {30000, 20000, 10000, 65535};
  DeepMatrixShaper::between(fromFile(std::string(kColord) + "ProPhotoRGB.icc"),
                            ColourProfile::read(adobe).value())
      ->convert(fresh.data(), 1);
  EXPECT_EQ(intoAdobe, fresh);
}

TEST(MatrixShaper, LeavesProfilesWithTablesToLittleCms) {
  const ColourProfile srgb = ColourProfile::srgb();
  // A profile of sRGB's colours that converts through a table as well as its matrix.
  cmsHPROFILE tabled = cmsCreate_sRGBProfile();
  const cmsUInt16Number corners[] = {0, 0,     0,     0,     0,     65535, 0,     65535,
                                     0, 0,     65535, 65535, 65535, 0,     0,     65535,
                                     0, 65535, 65535, 65535, 0,     65535, 65535, 65535};
  cmsPipeline* identity = cmsPipelineAlloc(nullptr, 3, 3);
  cmsPipelineInsertStage(identity, cmsAT_END, cmsStageAllocToneCurves(nullptr, 3, nullptr));
  cmsPipelineInsertStage(identity, cmsAT_END, cmsStageAllocCLut16bit(nullptr, 2, 3, 3, corners));
  cmsPipelineInsertStage(identity, cmsAT_END, cmsStageAllocToneCurves(nullptr, 3, nullptr));
  cmsWriteTag(tabled, cmsSigAToB0Tag, identity);
  cmsPipelineFree(identity);
  const auto withTable = ColourProfile::read(saved(tabled));
  ASSERT_TRUE(withTable);
  EXPECT_FALSE(MatrixShaper::between(*withTable, srgb));
  EXPECT_FALSE(MatrixShaper::between(srgb, *withTable));
  EXPECT_FALSE(DeepMatrixShaper::between(*withTable, srgb));
}

}  // namespace
}  // namespace quillane
