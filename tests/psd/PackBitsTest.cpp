#include <gtest/gtest.h>

#include <cstdint>
#include <numeric>
#include <vector>

#include "psd/ByteBuffer.h"

namespace quillane {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes repeat(std::uint8_t byte, std::size_t count) { return Bytes(count, byte); }

Bytes sequence(std::size_t count) {
  Bytes bytes(count);
  std::iota(bytes.begin(), bytes.end(), std::uint8_t{0});
  return bytes;
}

Bytes concat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& part : parts) out.insert(out.end(), part.begin(), part.end());
  return out;
}

Bytes pack(const Bytes& samples, int skip = 1, std::uint32_t location = 0) {
  const auto length = static_cast<std::uint32_t>(samples.size() - location);
  return packedBitsForRange(samples, ByteRange{location, length}, skip);
}

// Reference decoder: what any PSD reader does with the stream.
Bytes unpack(const Bytes& packed) {
  Bytes out;
  for (std::size_t pos = 0; pos < packed.size();) {
    const int header = static_cast<std::int8_t>(packed[pos]);
    if (header < 0) {
      out.insert(out.end(), std::size_t(1 - header), packed[pos + 1]);
      pos += 2;
    } else {
      out.insert(out.end(), packed.begin() + std::ptrdiff_t(pos + 1),
                 packed.begin() + std::ptrdiff_t(pos + 2 + header));
      pos += std::size_t(header) + 2;
    }
  }
  return out;
}

TEST(PackBits, EncodesEveryTableRowExactly) {
  const Bytes distinct131 = sequence(131);
  const Bytes distinct129 = sequence(129);
  const struct {
    Bytes samples;
    Bytes packed;
  } cases[] = {
      {{0x61}, {0x00, 0x61}},
      {{0x61, 0x62}, {0x01, 0x61, 0x62}},
      {{0x61, 0x61, 0x62}, {0x02, 0x61, 0x61, 0x62}},
      {{0x61, 0x61, 0x61, 0x62}, {0xFE, 0x61, 0x00, 0x62}},
      {{0x61, 0x61, 0x61, 0x61, 0x62}, {0xFD, 0x61, 0x00, 0x62}},
      {{0x61, 0x62, 0x63, 0x63, 0x63}, {0x01, 0x61, 0x62, 0xFE, 0x63}},
      {{0x61, 0x62, 0x62, 0x62, 0x63}, {0x00, 0x61, 0xFE, 0x62, 0x00, 0x63}},
      {repeat(0xFF, 6), {0xFB, 0xFF}},
      {repeat(0x00, 130), {0x82, 0x00, 0xFE, 0x00}},
      {repeat(0x00, 1000),
       concat({{0x82, 0x00, 0x82, 0x00, 0x82, 0x00, 0x82, 0x00, 0x82, 0x00, 0x82, 0x00, 0x82, 0x00},
               {0x92, 0x00}})},
      {distinct129, concat({{0x7F}, sequence(128), {0x00, 0x80}})},
      {distinct131, concat({{0x7F}, sequence(128), {0x02, 128, 129, 130}})},
      {concat({distinct129, repeat(0, 3)}),
       concat({{0x7F}, sequence(128), {0x00, 128, 0xFE, 0x00}})},
  };
  for (const auto& c : cases) {
    const Bytes packed = pack(c.samples);
    EXPECT_EQ(packed, c.packed) << "samples: " << c.samples.size();
    EXPECT_EQ(unpack(packed), c.samples);
  }
}

TEST(PackBits, PicksOneChannelByStride) {
  const Bytes pixels = {0xFF, 0, 0, 0xFF, 0xFF, 0, 0, 0xFF, 0xFF, 0, 0, 0xFF, 0, 0, 0xFF, 0x80};
  const Bytes expected[] = {
      {0xFE, 0xFF, 0x00, 0x00}, {0xFD, 0x00}, {0xFE, 0x00, 0x00, 0xFF}, {0xFE, 0xFF, 0x00, 0x80}};
  for (std::uint32_t channel = 0; channel < 4; ++channel) {
    EXPECT_EQ(packedBitsForRange(pixels, ByteRange{channel, 16}, 4), expected[channel]) << channel;
  }
}

TEST(PackBits, AppendsToExistingBytesAndStaysWithinItsBound) {
  // Photo-like noise and long mixed runs: the stream decodes back and keeps to n + n/128.
  Bytes samples;
  std::uint32_t state = 12345;
  for (int i = 0; i < 5000; ++i) {
    state = state * 1103515245 + 12345;
    const std::uint8_t byte = static_cast<std::uint8_t>(state >> 24);
    samples.insert(samples.end(), (state >> 8) % 7 == 0 ? (state >> 12) % 300 : 1, byte);
  }
  Bytes out = {0xAA};
  const std::size_t appended =
      appendPackedBits(out, samples, ByteRange{0, std::uint32_t(samples.size())}, 1);
  EXPECT_EQ(appended, out.size() - 1);
  EXPECT_EQ(out[0], 0xAA);
  EXPECT_EQ(unpack(Bytes(out.begin() + 1, out.end())), samples);
  EXPECT_LE(appended, samples.size() + (samples.size() + 127) / 128);
  EXPECT_TRUE(packedBitsForRange(samples, ByteRange{0, 0}, 1).empty());
}

TEST(PackBits, AppendValueIsBigEndianCutToLength) {
  const struct {
    std::int64_t value;
    int length;
    Bytes bytes;
  } cases[] = {
      {1, 2, {0x00, 0x01}},     {0, 6, {0, 0, 0, 0, 0, 0}}, {1005, 2, {0x03, 0xED}},
      {16, 4, {0, 0, 0, 0x10}}, {255, 1, {0xFF}},           {70000, 2, {0x11, 0x70}},
  };
  for (const auto& c : cases) {
    Bytes out = {0x42};
    appendValue(out, c.value, c.length);
    EXPECT_EQ(Bytes(out.begin() + 1, out.end()), c.bytes) << c.value;
  }
}

TEST(PackBits, DescriptionNamesEveryPacket) {
  EXPECT_EQ(packedBitsDescription(Bytes{0xFE, 0x61, 0x00, 0x62}),
            "Printing 97 3 times. Printing 1 literal bytes. Total: 4 bytes decoded.");
}

}  // namespace
}  // namespace quillane
