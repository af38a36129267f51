#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <numeric>
#include <random>
#include <vector>

#include "psd/ByteBuffer.h"

namespace quillane {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes pack(const Bytes& samples) {
  Bytes out;
  const std::size_t appended = appendPackedBits(out, samples);
  EXPECT_EQ(appended, out.size());
  return out;
}

// The packets of the rule in ByteBuffer.h, found one sample at a time.
Bytes packedByTheRule(const Bytes& b) {
  Bytes out;
  const auto literal = [&](std::size_t from, std::size_t count) {
    out.push_back(std::uint8_t(count - 1));
    out.insert(out.end(), b.begin() + std::ptrdiff_t(from),
               b.begin() + std::ptrdiff_t(from + count));
  };
  for (std::size_t s = 0; s < b.size();) {
    std::size_t t = s;
    while (t <= s + 127 && t + 2 < b.size() && !(b[t] == b[t + 1] && b[t + 1] == b[t + 2])) ++t;
    if (t > s + 127 || t + 2 >= b.size()) {
      const std::size_t count = std::min<std::size_t>(128, b.size() - s);
      literal(s, count);
      s += count;
      continue;
    }
    if (t > s) literal(s, t - s);
    std::size_t length = 1;
    while (length < 127 && t + length < b.size() && b[t + length] == b[t]) ++length;
    out.push_back(std::uint8_t(257 - length));
    out.push_back(b[t]);
    s = t + length;
  }
  return out;
}

TEST(PackBits, EncodesTheTableExactly) {
  Bytes distinct129(129);
  std::iota(distinct129.begin(), distinct129.end(), std::uint8_t{0});
  const struct {
    Bytes samples;
    Bytes packed;
  } cases[] = {
      {{}, {}},
      {{0x61}, {0x00, 0x61}},
      {{0x61, 0x61, 0x62}, {0x02, 0x61, 0x61, 0x62}},
      {{0x61, 0x61, 0x61, 0x62}, {0xFE, 0x61, 0x00, 0x62}},
      {{0x61, 0x62, 0x62, 0x62, 0x63}, {0x00, 0x61, 0xFE, 0x62, 0x00, 0x63}},
      {Bytes(130, 0), {0x82, 0x00, 0xFE, 0x00}},
      {Bytes(1000, 7), {0x82, 7, 0x82, 7, 0x82, 7, 0x82, 7, 0x82, 7, 0x82, 7, 0x82, 7, 0x92, 7}},
  };
  for (const auto& c : cases) EXPECT_EQ(pack(c.samples), c.packed) << c.samples.size();
  Bytes expected(distinct129.size() + 3);
  expected[0] = 0x7F;  // 128 literal samples, then one
  std::copy(distinct129.begin(), distinct129.end() - 1, expected.begin() + 1);
  expected[129] = 0x00;
  expected[130] = 128;
  expected.resize(131);
  EXPECT_EQ(pack(distinct129), expected);
}

// Runs and literals of every length around the packet limits, at every alignment of the
// encoder's 8- and 16-byte scans, and photo-like noise.
TEST(PackBits, FollowsTheRuleForAnySamples) {
  std::mt19937 random(11);
  const auto pick = [&](int low, int high) {
    return std::uniform_int_distribution(low, high)(random);
  };
  for (int trial = 0; trial < 3000; ++trial) {
    Bytes samples;
    const int pieces = pick(1, 8);
    for (int piece = 0; piece < pieces; ++piece) {
      const bool run = pick(0, 1) == 1;
      const int length = pick(0, 3) == 0 ? pick(120, 260) : pick(1, 20);
      const std::uint8_t value = std::uint8_t(pick(0, 3));
      for (int i = 0; i < length; ++i) samples.push_back(run ? value : std::uint8_t(pick(0, 3)));
    }
    Bytes out = {0xAA};
    appendPackedBits(out, samples);
    EXPECT_EQ(Bytes(out.begin() + 1, out.end()), packedByTheRule(samples)) << "trial " << trial;
    EXPECT_LE(out.size() - 1, samples.size() + (samples.size() + 127) / 128);
  }
}

TEST(PackBits, AppendValueIsBigEndianCutToLength) {
  Bytes out = {0x42};
  appendValue(out, 1005, 2);
  appendValue(out, 16, 4);
  appendValue(out, 70000, 2);
  EXPECT_EQ(out, (Bytes{0x42, 0x03, 0xED, 0, 0, 0, 0x10, 0x11, 0x70}));
}

}  // namespace
}  // namespace quillane
