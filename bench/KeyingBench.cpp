// Colour keying of one full-HD image, as the job keys each file: compare every pixel with
// the key and advance the minor step once per pixel.
#include <benchmark/benchmark.h>

#include <memory>

#include "image/Image.h"
#include "image/ImageRep.h"
#include "job/JobRecord.h"

namespace quillane {
namespace {

// White with flat panels, as a user interface shot.
Image screenshot(int width, int height) {
  Bitmap bitmap = *Bitmap::allocate(width, height);
  for (int y = 0; y < height; ++y) {
    std::uint8_t* row = bitmap.row(y);
    for (int x = 0; x < width; ++x) {
      const bool panel = (x / 240 + y / 135) % 3 == 0;
      std::uint8_t* p = row + 4 * x;
      p[0] = panel ? 0x33 : 0xFF;
      p[1] = panel ? 0x66 : 0xFF;
      p[2] = panel ? 0x99 : 0xFF;
      p[3] = 255;
    }
  }
  return Image::withRepresentation(std::make_shared<BitmapImageRep>(std::move(bitmap)));
}

void BM_KeyWhite(benchmark::State& state) {
  const Image image = screenshot(1920, 1080);
  JobRecord record;
  record.progressUtil.store(std::make_shared<ProgressUtility>());
  for (auto _ : state) {
    std::optional<Image> keyed = record.setTransparentColorToImage(image, 1, 1, 1);
    benchmark::DoNotOptimize(keyed);
  }
  state.SetItemsProcessed(state.iterations() * 1920 * 1080);
}

BENCHMARK(BM_KeyWhite)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace quillane
