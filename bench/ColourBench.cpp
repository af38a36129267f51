// Converting one 12-megapixel layer (4000 x 3000) between colour profiles, as the job
// converts a later file into the first file's colours: matrix-shaper RGB profiles (Adobe RGB
// from the colord-data package into sRGB), the common case of photos. Beside it, Little CMS's
// own 8-bit transform of the same pixels, which profiles with tables still go through.
#include <benchmark/benchmark.h>
#include <lcms2.h>

#include <fstream>
#include <iterator>
#include <optional>
#include <vector>

#include "BenchImages.h"
#include "image/colour/ColourConversion.h"
#include "image/colour/ColourProfile.h"

namespace quillane {
namespace {

std::optional<ColourProfile> adobeRgb(benchmark::State& state) {
  std::ifstream in("/usr/share/color/icc/colord/AdobeRGB1998.icc", std::ios::binary);
  auto profile = ColourProfile::read(std::vector<std::uint8_t>{std::istreambuf_iterator<char>(in),
                                                               std::istreambuf_iterator<char>()});
  if (!profile) state.SkipWithError("colord-data's AdobeRGB1998.icc is missing");
  return profile;
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

BENCHMARK(BM_ConvertAdobeRgbToSrgb12MP)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LittleCmsAdobeRgbToSrgb12MP)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace quillane
