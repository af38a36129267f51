// Converting one 12-megapixel layer (4000 x 3000) between colour profiles, as the job
// converts a later file into the first file's colours: matrix-shaper RGB profiles (Adobe RGB
// from the colord-data package into sRGB), the common case of photos. Beside it, Little CMS's
// own 8-bit transform of the same pixels, which profiles with tables still go through. And a
// 16-bit source (ProPhoto, as raw converters write) converted row by row while it is decoded.
#include <benchmark/benchmark.h>
#include <lcms2.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "BenchImages.h"
#include "image/colour/ColourConversion.h"
#include "image/colour/ColourProfile.h"
#include "image/colour/DeepConversion.h"
#include "image/colour/MatrixShaper.h"

namespace quillane {
namespace {

std::vector<std::uint8_t> colordProfile(const char* name) {
  std::ifstream in(std::string("/usr/share/color/icc/colord/") + name, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::optional<ColourProfile> adobeRgb(benchmark::State& state) {
  auto profile = ColourProfile::read(colordProfile("AdobeRGB1998.icc"));
  if (!profile) state.SkipWithError("colord-data's AdobeRGB1998.icc is missing");
  return profile;
}

// One 16-bit RGBA row of a photo: smooth tones with sensor noise.
std::vector<std::uint16_t> deepPhotoRow(int width, int y, std::mt19937& random) {
  std::normal_distribution<float> noise(0.0f, 300.0f);
  std::vector<std::uint16_t> row(4 * std::size_t(width));
  for (int x = 0; x < width; ++x) {
    const float tones[] = {65535.0f * float(x) / float(width), 65535.0f * float(y) / 3000.0f,
                           20000.0f};
    for (int c = 0; c < 3; ++c)
      row[4 * x + c] = std::uint16_t(std::clamp(tones[c] + noise(random), 0.0f, 65535.0f));
    row[4 * x + 3] = 65535;
  }
  return row;
}

void BM_ConvertAdobeRgbToSrgb12MP(benchmark::State& state) {
  const auto adobe = adobeRgb(state);
  if (!adobe) return;
  const auto conversion = ColourConversion::between(*adobe, ColourProfile::srgb());
  Bitmap image = bench::photoLike(4000, 3000, 1);
  for (auto _ : state) {
    conversion->convert(image);
    benchmark::DoNotOptimize(image.pixels.data());
  }
  state.SetItemsProcessed(state.iterations() * 4000 * 3000);
}

void BM_LittleCmsAdobeRgbToSrgb12MP(benchmark::State& state) {
  const auto adobe = adobeRgb(state);
  if (!adobe) return;
  const ColourProfile srgb = ColourProfile::srgb();
  cmsHTRANSFORM transform = cmsCreateTransform(
      adobe->handle(), TYPE_RGBA_8, srgb.handle(), TYPE_RGBA_8, INTENT_RELATIVE_COLORIMETRIC,
      cmsFLAGS_BLACKPOINTCOMPENSATION | cmsFLAGS_COPY_ALPHA);
  Bitmap image = bench::photoLike(4000, 3000, 1);
  for (auto _ : state) {
    for (int y = 0; y < image.height; ++y)
      cmsDoTransform(transform, image.row(y), image.row(y),
                     static_cast<cmsUInt32Number>(image.width));
    benchmark::DoNotOptimize(image.pixels.data());
  }
  cmsDeleteTransform(transform);
  state.SetItemsProcessed(state.iterations() * 4000 * 3000);
}

// Each row is copied before it is converted, as a decoder hands over fresh rows.
void BM_ConvertDeepProPhotoToSrgb12MP(benchmark::State& state) {
  const auto prophoto = colordProfile("ProPhotoRGB.icc");
  const auto conversion = DeepConversion::into({}, prophoto, false);
  if (!conversion) {
    state.SkipWithError("colord-data's ProPhotoRGB.icc is missing");
    return;
  }
  std::mt19937 random(1);
  std::vector<std::vector<std::uint16_t>> rows;
  for (int y = 0; y < 3000; ++y) rows.push_back(deepPhotoRow(4000, y, random));
  std::vector<std::uint16_t> row(rows[0].size());
  for (auto _ : state) {
    for (const auto& source : rows) {
      std::copy(source.begin(), source.end(), row.begin());
      conversion->convert(row.data(), 4000);
    }
    benchmark::DoNotOptimize(row.data());
  }
  state.SetItemsProcessed(state.iterations() * 4000 * 3000);
}

// What the first decode with such a pair of profiles spends on its tables.
void BM_BuildDeepProPhotoToSrgb(benchmark::State& state) {
  const auto prophoto = ColourProfile::read(colordProfile("ProPhotoRGB.icc"));
  if (!prophoto) {
    state.SkipWithError("colord-data's ProPhotoRGB.icc is missing");
    return;
  }
  const ColourProfile srgb = ColourProfile::srgb();
  for (auto _ : state) benchmark::DoNotOptimize(DeepMatrixShaper::between(*prophoto, srgb));
}

BENCHMARK(BM_ConvertAdobeRgbToSrgb12MP)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LittleCmsAdobeRgbToSrgb12MP)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ConvertDeepProPhotoToSrgb12MP)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BuildDeepProPhotoToSrgb)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace quillane
