// The streaming writer's hot paths: the fast PackBits beside the one-by-one reference, and
// a document streamed to a sink that only counts bytes (no disk).
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "BenchImages.h"
#include "psd/ByteBuffer.h"
#include "psd/PSDStreamWriter.h"

namespace quillane {
namespace {

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;

Bitmap testImage(bool flat, unsigned seed) {
  return flat ? bench::flatLike(kWidth, kHeight) : bench::photoLike(kWidth, kHeight, seed);
}

using PackFunction = std::size_t (*)(ByteBuffer&, std::span<const std::uint8_t>, ByteRange, int);

// One channel of a row, split out as the writer packs it.
void packChannel(benchmark::State& state, PackFunction pack) {
  const Bitmap image = testImage(state.range(0) != 0, 1);
  std::vector<std::uint8_t> red(image.pixels.size() / 4);
  for (std::size_t i = 0; i < red.size(); ++i) red[i] = image.pixels[4 * i];
  ByteBuffer out;
  const auto width = static_cast<std::uint32_t>(image.width);
  int row = 0;
  for (auto _ : state) {
    out.clear();
    pack(out, red, ByteRange{row * width, width}, 1);
    benchmark::DoNotOptimize(out.data());
    row = (row + 1) % image.height;
  }
  state.SetBytesProcessed(state.iterations() * image.width);
}

void BM_PackBitsScan(benchmark::State& state) { packChannel(state, &appendPackedBits); }
void BM_PackBitsOneByOne(benchmark::State& state) { packChannel(state, &appendPackedBitsOneByOne); }

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
    PSDStreamOptions options;
    options.unpremultiplyLayerData = true;
    PSDStreamWriter writer(sink, Size{kWidth, kHeight},
                           std::vector<std::string>(kLayers, "layer.png"), options);
    for (int i = 0; i < kLayers; ++i) writer.addLayerWithCGImage(image, 1.0f, Point{});
    writer.finish();
    fileBytes = sink.bytes();
  }
  state.counters["file_MB"] = double(fileBytes) / 1e6;
  state.SetBytesProcessed(state.iterations() * std::int64_t(kLayers + 1) * kWidth * kHeight * 4);
}

BENCHMARK(BM_PackBitsScan)->Arg(0)->Arg(1)->ArgName("flat");
BENCHMARK(BM_PackBitsOneByOne)->Arg(0)->Arg(1)->ArgName("flat");
BENCHMARK(BM_StreamDocument)->Arg(0)->Arg(1)->ArgName("flat")->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace quillane
