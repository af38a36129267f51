// Colour keying of one full-HD image, as the job keys each file: compare every pixel with
// the key and advance the minor step once per pixel.
#include <benchmark/benchmark.h>

#include <memory>

#include "BenchImages.h"
#include "image/decode/Decode.h"
#include "job/Keying.h"

namespace quillane {
namespace {

void BM_KeyWhite(benchmark::State& state) {
  const DecodedImage image{bench::flatLike(1920, 1080), {}};
  ProgressUtility steps;
  for (auto _ : state) {
    std::optional<DecodedImage> keyed = keyOut(image, KeyColour::White, 0, steps);
    benchmark::DoNotOptimize(keyed);
  }
  state.SetItemsProcessed(state.iterations() * 1920 * 1080);
}

BENCHMARK(BM_KeyWhite)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace quillane
