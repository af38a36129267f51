// Converting one 12-megapixel layer (4000 x 3000) between colour profiles, as the job
// converts a later file into the first file's colours: matrix-shaper RGB profiles (Adobe RGB
// from the colord-data package into sRGB), the common case of photos.
#include <benchmark/benchmark.h>

#include <fstream>
#include <iterator>
#include <vector>

#include "BenchImages.h"
#include "image/colour/ColourConversion.h"
#include "image/colour/ColourProfile.h"

namespace quillane {
namespace {

std::vector<std::uint8_t> fileBytes(const char* path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void BM_ConvertAdobeRgbToSrgb12MP(benchmark::State& state) {
  const auto adobe = ColourProfile::read(fileBytes("/usr/share/color/icc/colord/AdobeRGB1998.icc"));
  if (!adobe) {
    state.SkipWithError("colord-data's AdobeRGB1998.icc is missing");
    return;
  }
  const auto conversion = ColourConversion::between(*adobe, ColourProfile::srgb());
  Bitmap image = bench::photoLike(4000, 3000, 1);
  for (auto _ : state) {
    conversion->convert(image);
    benchmark::DoNotOptimize(image.pixels.data());
  }
  state.SetItemsProcessed(state.iterations() * 4000 * 3000);
}

BENCHMARK(BM_ConvertAdobeRgbToSrgb12MP)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace quillane
