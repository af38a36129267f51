// The fast PackBits encoder against the one-sample-at-a-time one: identical bytes on random
// and structured rows, every stride and start.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "psd/ByteBuffer.h"

namespace quillane {
namespace {

using Bytes = std::vector<std::uint8_t>;

// Runs of random length (1 to maxRun) of bytes drawn from an alphabet of `letters` values:
// few letters and long runs give flat images, many letters and short runs give noise.
Bytes runsOf(std::mt19937& random, std::size_t size, int letters, int maxRun) {
  std::uniform_int_distribution<int> letter(0, letters - 1);
  std::uniform_int_distribution<int> run(1, maxRun);
  Bytes bytes;
  while (bytes.size() < size)
    bytes.insert(bytes.end(), std::size_t(run(random)), letter(random) * 37);
  bytes.resize(size);
  return bytes;
}

void expectSameBytes(const Bytes& samples, std::uint32_t location, int skip) {
  const ByteRange range{location, static_cast<std::uint32_t>(samples.size() - location)};
  Bytes fast = {0x5A};
  Bytes plain = {0x5A};
  const std::size_t fastCount = appendPackedBits(fast, samples, range, skip);
  const std::size_t plainCount = appendPackedBitsOneByOne(plain, samples, range, skip);
  ASSERT_EQ(fast, plain) << "size " << samples.size() << " location " << location << " skip "
                         << skip;
  ASSERT_EQ(fastCount, plainCount);
}

TEST(PackBitsDifferential, RandomAndStructuredRowsPackIdentically) {
  std::mt19937 random(20261206);
  const struct {
    int letters;
    int maxRun;
  } kinds[] = {{256, 1}, {256, 3}, {2, 2}, {3, 4}, {4, 140}, {2, 300}, {256, 130}, {1, 1}};
  std::uniform_int_distribution<int> sizes(1, 1200);
  for (const auto& kind : kinds) {
    for (int i = 0; i < 300; ++i) {
      const Bytes samples = runsOf(random, std::size_t(sizes(random)), kind.letters, kind.maxRun);
      const int skip = 1 + i % 4;
      const auto location =
          static_cast<std::uint32_t>(std::min<std::size_t>(std::size_t(i % 5), samples.size() - 1));
      expectSameBytes(samples, location, skip);
    }
  }
}

TEST(PackBitsDifferential, RunsAtTheLiteralAndRunLimitsPackIdentically) {
  // A literal of n distinct-ish bytes, then a run of m, then a tail: every n, m near the
  // 127/128 packet limits and the two bytes kept pending in the plain encoder.
  for (int literal = 0; literal <= 260; ++literal) {
    for (const int run : {1, 2, 3, 4, 126, 127, 128, 129, 130, 254, 255, 256}) {
      Bytes samples;
      for (int i = 0; i < literal; ++i) samples.push_back(static_cast<std::uint8_t>(i * 7 + 1));
      samples.insert(samples.end(), std::size_t(run), 0xEE);
      for (const int tail : {0, 1, 2, 3}) {
        Bytes row = samples;
        for (int i = 0; i < tail; ++i) row.push_back(static_cast<std::uint8_t>(i));
        if (row.empty()) continue;
        expectSameBytes(row, 0, 1);
      }
    }
  }
}

TEST(PackBitsDifferential, PixelRowsPackIdenticallyPerChannel) {
  // Interleaved RGBA rows as the writer packs them: opaque alpha, noisy colour, flat areas.
  std::mt19937 random(7);
  std::uniform_int_distribution<int> widths(1, 700);
  for (int i = 0; i < 200; ++i) {
    const std::size_t width = std::size_t(widths(random));
    Bytes pixels = runsOf(random, width * 4, i % 2 ? 256 : 3, i % 3 ? 2 : 60);
    for (std::size_t x = 0; x < width; ++x) pixels[4 * x + 3] = i % 4 ? 255 : pixels[4 * x + 3];
    for (std::uint32_t channel = 0; channel < 4; ++channel) expectSameBytes(pixels, channel, 4);
  }
}

}  // namespace
}  // namespace quillane
