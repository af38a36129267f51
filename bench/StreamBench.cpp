// The streaming writer's hot paths: the fast PackBits beside the one-by-one reference, and
// a document streamed to a sink that only counts bytes (no disk).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

#include "psd/ByteBuffer.h"
#include "psd/PSDStreamWriter.h"

namespace quillane {
namespace {

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;

// Noisy colour over gradients (photo-like) or flat panels with clear and half-clear areas.
Bitmap testImage(bool flat, unsigned seed) {
  Bitmap bitmap = *Bitmap::allocate(kWidth, kHeight);
  std::mt19937 random(seed);
  std::uniform_int_distribution<int> noise(-6, 6);
  for (int y = 0; y < kHeight; ++y) {
    std::uint8_t* p = bitmap.row(y);
    for (int x = 0; x < kWidth; ++x, p += 4) {
      if (flat) {
        const bool panel = (x / 240 + y / 135) % 3 == 0;
        p[0] = panel ? 0x33 : 0xFF;
        p[1] = panel ? 0x66 : 0xFF;
        p[2] = panel ? 0x99 : 0xFF;
        p[3] = (y >= 600 && y < 640) ? 128 : (x > 960 && x < 1260 && y > 200 && y < 500) ? 0 : 255;
      } else {
        p[0] = std::uint8_t(std::clamp(x * 255 / kWidth + noise(random), 0, 255));
        p[1] = std::uint8_t(std::clamp(y * 255 / kHeight + noise(random), 0, 255));
        p[2] = std::uint8_t(std::clamp(128 + noise(random), 0, 255));
        p[3] = 255;
      }
    }
  }
  return bitmap;
}

using PackFunction = std::size_t (*)(ByteBuffer&, std::span<const std::uint8_t>, ByteRange, int);

void packChannel(benchmark::State& state, PackFunction pack) {
  const Bitmap image = testImage(state.range(0) != 0, 1);
  ByteBuffer out;
  const auto rowBytes = static_cast<std::uint32_t>(image.rowBytes());
  int row = 0;
  for (auto _ : state) {
    out.clear();
    pack(out, image.pixels, ByteRange{row * rowBytes, rowBytes}, 4);
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
