// The in-memory writer's hot paths: adding a layer (crop, premultiply, composite) and
// encoding a document.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "BenchImages.h"
#include "psd/ByteBuffer.h"
#include "psd/PSDWriter.h"

namespace quillane {
namespace {

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;

using bench::flatLike;
using bench::photoLike;

void BM_AddLayer(benchmark::State& state) {
  const Bitmap image = state.range(0) ? flatLike(kWidth, kHeight) : photoLike(kWidth, kHeight, 2);
  for (auto _ : state) {
    PSDWriter writer(Size{kWidth, kHeight});
    writer.addLayerWithCGImage(image, "layer.png", 1.0f, Point{});
    benchmark::DoNotOptimize(writer.layers());
  }
  state.SetBytesProcessed(state.iterations() * std::int64_t(image.pixels.size()));
}

// Layers as the job leaves them, encoded with its options (four channels, straight colour).
void BM_CreatePSDData(benchmark::State& state) {
  const int layerCount = static_cast<int>(state.range(0));
  PSDWriter source(Size{kWidth, kHeight});
  for (int i = 0; i < layerCount; ++i) {
    if (i % 2 == 0) {
      source.addLayerWithCGImage(photoLike(kWidth, kHeight, unsigned(i)), "photo.jpg", 1.0f,
                                 Point{});
    } else {
      source.addLayerWithCGImage(flatLike(kWidth, kHeight), "ui.png", 1.0f, Point{});
    }
  }
  source.preprocess();
  std::size_t fileBytes = 0;
  for (auto _ : state) {
    state.PauseTiming();
    PSDWriter writer(Size{kWidth, kHeight});
    std::vector<PSDLayer> layers = *source.layers();
    for (PSDLayer& layer : layers) {
      layer.imageData = std::make_shared<std::vector<std::uint8_t>>(*layer.imageData);
    }
    writer.setLayers(std::move(layers));
    writer.setFlattenedData(source.flattenedData());
    writer.setShouldUnpremultiplyLayerData(true);
    state.ResumeTiming();
    const ByteBuffer file = writer.createPSDData();
    fileBytes = file.size();
    benchmark::DoNotOptimize(file.data());
  }
  state.counters["file_MB"] = double(fileBytes) / 1e6;
  state.SetBytesProcessed(state.iterations() * std::int64_t(layerCount + 1) * kWidth * kHeight * 4);
}

BENCHMARK(BM_AddLayer)->Arg(0)->Arg(1)->ArgName("flat")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CreatePSDData)->Arg(1)->Arg(4)->ArgName("layers")->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace quillane
