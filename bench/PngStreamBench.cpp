// A large PNG (QUILLANE_BENCH_PNG, e.g. a strip of the W5 workload) decoded whole, and
// streamed in bands of about 4 MiB as the job takes a large canvas's layers.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "image/decode/Decode.h"
#include "image/decode/PngStream.h"

namespace quillane {
namespace {

constexpr std::size_t kBandBytes = std::size_t{4} << 20;

const char* benchFile(benchmark::State& state) {
  const char* path = std::getenv("QUILLANE_BENCH_PNG");
  if (path == nullptr) state.SkipWithError("QUILLANE_BENCH_PNG names no PNG file");
  return path;
}

void BM_PngDecodedWhole(benchmark::State& state) {
  const char* path = benchFile(state);
  for (auto _ : state) {
    if (path == nullptr) break;
    const auto decoded = decodeSourceFile(path);
    if (!decoded) {
      state.SkipWithError("the file does not decode");
      break;
    }
    benchmark::DoNotOptimize(decoded->bitmap.pixels.data());
  }
}

void BM_PngStreamed(benchmark::State& state) {
  const char* path = benchFile(state);
  for (auto _ : state) {
    const auto stream = path ? PngRowStream::open(path, {}) : nullptr;
    if (!stream) {
      state.SkipWithError("the file does not stream");
      break;
    }
    const std::size_t rowBytes = static_cast<std::size_t>(stream->width()) * 4;
    const int band = static_cast<int>(std::max<std::size_t>(1, kBandBytes / rowBytes));
    std::vector<std::uint8_t> rows(rowBytes * static_cast<std::size_t>(band));
    for (int y = 0; y < stream->height(); y += band) {
      if (stream->readRows(rows.data(), std::min(band, stream->height() - y))) {
        state.SkipWithError("the rows do not decode");
        break;
      }
    }
    benchmark::DoNotOptimize(rows.data());
  }
}

BENCHMARK(BM_PngDecodedWhole)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PngStreamed)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace quillane
