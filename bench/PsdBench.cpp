// The PSD writer's hot paths: PackBits over one channel of a row, adding a layer (crop,
// premultiply, composite) and encoding a document.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <vector>

#include "psd/ByteBuffer.h"
#include "psd/PSDWriter.h"

namespace quillane {
namespace {

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;

// Smooth gradients with sensor noise: few runs, mostly literals.
Bitmap photoLike(int width, int height, unsigned seed) {
  Bitmap bitmap = *Bitmap::allocate(width, height);
  std::mt19937 random(seed);
  std::uniform_int_distribution<int> noise(-6, 6);
  for (int y = 0; y < height; ++y) {
    std::uint8_t* row = bitmap.row(y);
    for (int x = 0; x < width; ++x) {
      row[4 * x] = std::uint8_t(std::clamp((x * 255) / width + noise(random), 0, 255));
      row[4 * x + 1] = std::uint8_t(std::clamp((y * 255) / height + noise(random), 0, 255));
      row[4 * x + 2] = std::uint8_t(std::clamp(128 + noise(random), 0, 255));
      row[4 * x + 3] = 255;
    }
  }
  return bitmap;
}

// A user interface shot: white, flat panels, a transparent cut-out, a half-transparent
// shadow band.
Bitmap flatLike(int width, int height) {
  Bitmap bitmap = *Bitmap::allocate(width, height);
  for (int y = 0; y < height; ++y) {
    std::uint8_t* row = bitmap.row(y);
    for (int x = 0; x < width; ++x) {
      std::uint8_t* p = row + 4 * x;
      const bool panel = (x / 240 + y / 135) % 3 == 0;
      p[0] = panel ? 0x33 : 0xFF;
      p[1] = panel ? 0x66 : 0xFF;
      p[2] = panel ? 0x99 : 0xFF;
      p[3] = 255;
      if (x > width / 2 && x < width / 2 + 300 && y > 200 && y < 500) p[3] = 0;
      if (y >= 600 && y < 640) p[3] = 128;
    }
  }
  return bitmap;
}

void packRows(benchmark::State& state, const Bitmap& bitmap) {
  ByteBuffer out;
  const std::span<const std::uint8_t> pixels(bitmap.pixels);
  const auto rowBytes = static_cast<std::uint32_t>(bitmap.rowBytes());
  int row = 0;
  for (auto _ : state) {
    out.clear();
    appendPackedBits(out, pixels, ByteRange{row * rowBytes, rowBytes}, 4);
    benchmark::DoNotOptimize(out.data());
    row = (row + 1) % bitmap.height;
  }
  state.SetBytesProcessed(state.iterations() * bitmap.width);
}

void BM_PackBitsPhotoRow(benchmark::State& state) { packRows(state, photoLike(kWidth, 64, 1)); }
void BM_PackBitsFlatRow(benchmark::State& state) { packRows(state, flatLike(kWidth, kHeight)); }

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

BENCHMARK(BM_PackBitsPhotoRow);
BENCHMARK(BM_PackBitsFlatRow);
BENCHMARK(BM_AddLayer)->Arg(0)->Arg(1)->ArgName("flat")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CreatePSDData)->Arg(1)->Arg(4)->ArgName("layers")->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace quillane
