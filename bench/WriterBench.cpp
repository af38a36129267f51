// The writer's hot paths: PackBits on one channel of a row, and a document streamed to a
// sink that only counts bytes (no disk).
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

Bitmap testImage(bool flat, unsigned seed) {
  return flat ? bench::flatLike(kWidth, kHeight) : bench::photoLike(kWidth, kHeight, seed);
}

// One channel of a row, split out as the writer packs it.
void BM_PackBits(benchmark::State& state) {
  const Bitmap image = testImage(state.range(0) != 0, 1);
  std::vector<std::uint8_t> red(image.pixels.size() / 4);
  for (std::size_t i = 0; i < red.size(); ++i) red[i] = image.pixels[4 * i];
  ByteBuffer out;
  const auto width = static_cast<std::uint32_t>(image.width);
  int row = 0;
  for (auto _ : state) {
    out.clear();
    appendPackedBits(out, std::span(red).subspan(std::size_t(row) * width, width));
    benchmark::DoNotOptimize(out.data());
    row = (row + 1) % image.height;
  }
  state.SetBytesProcessed(state.iterations() * image.width);
}

class CountingSink : public PSDSink {
 public:
  void write(std::span<const std::uint8_t> bytes) override { bytes_ += bytes.size(); }
  void writeAt(std::uint64_t, std::span<const std::uint8_t>) override {}
  std::uint64_t bytes() const { return bytes_; }

 private:
  std::uint64_t bytes_ = 0;
};

// Eight full-canvas layers as the job adds them (straight colour), photo-like or flat.
void BM_StreamDocument(benchmark::State& state) {
  const Bitmap image = testImage(state.range(0) != 0, 2);
  constexpr int kLayers = 8;
  std::uint64_t fileBytes = 0;
  for (auto _ : state) {
    CountingSink sink;
    PSDWriter writer(sink, Size{kWidth, kHeight}, std::vector<std::string>(kLayers, "layer.png"));
    for (int i = 0; i < kLayers; ++i) writer.addLayer(image);
    writer.finish();
    fileBytes = sink.bytes();
  }
  state.counters["file_MB"] = double(fileBytes) / 1e6;
  state.SetBytesProcessed(state.iterations() * std::int64_t(kLayers + 1) * kWidth * kHeight * 4);
}

BENCHMARK(BM_PackBits)->Arg(0)->Arg(1)->ArgName("flat");
BENCHMARK(BM_StreamDocument)->Arg(0)->Arg(1)->ArgName("flat")->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace quillane
