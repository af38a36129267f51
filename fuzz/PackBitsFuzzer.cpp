// Packs fuzzed samples with the channel encoder's PackBits and unpacks them with a decoder
// written here from the format's definition: the bytes must be the one-by-one encoder's,
// the samples must come back, and the stream may grow by at most one header byte per 128
// samples.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <algorithm>
#include <span>
#include <vector>

#include "psd/ByteBuffer.h"

namespace {

// The sample stride of interleaved RGBA rows is 4; strides up to this are tried.
constexpr int kMaxSkip = 4;
constexpr std::size_t kMaxPacket = 128;

// PackBits as the PSD format defines it: a header n in 0..127 copies n + 1 bytes, n in
// -127..-1 repeats the next byte 1 - n times, -128 is never written.
std::vector<std::uint8_t> unpack(std::span<const std::uint8_t> packed) {
  std::vector<std::uint8_t> out;
  std::size_t i = 0;
  while (i < packed.size()) {
    const auto header = static_cast<std::int8_t>(packed[i++]);
    if (header == -128) std::abort();
    if (header >= 0) {
      const std::size_t count = static_cast<std::size_t>(header) + 1;
      if (packed.size() - i < count) std::abort();
      out.insert(out.end(), packed.begin() + static_cast<std::ptrdiff_t>(i),
                 packed.begin() + static_cast<std::ptrdiff_t>(i + count));
      i += count;
    } else {
      if (i == packed.size()) std::abort();
      out.insert(out.end(), static_cast<std::size_t>(1 - header), packed[i++]);
    }
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const int skip = data[0] % kMaxSkip + 1;
  const std::size_t offset = data[1] % skip;
  const std::span<const std::uint8_t> samples(data + 2, size - 2);
  if (offset > samples.size()) return 0;
  const quillane::ByteRange range{static_cast<std::uint32_t>(offset),
                                  static_cast<std::uint32_t>(samples.size() - offset)};

  std::vector<std::uint8_t> expected;
  for (std::size_t i = offset; i < samples.size(); i += static_cast<std::size_t>(skip))
    expected.push_back(samples[i]);

  // The scanning encoder gives the one-by-one encoder's bytes, appended after what was there.
  const quillane::ByteBuffer packed = quillane::packedBitsForRange(samples, range, skip);
  quillane::ByteBuffer reference = {0xAB};
  const std::size_t count = quillane::appendPackedBitsOneByOne(reference, samples, range, skip);
  if (count != packed.size() || reference.size() != packed.size() + 1 ||
      !std::equal(packed.begin(), packed.end(), reference.begin() + 1))
    std::abort();
  if (unpack(packed) != expected) std::abort();
  const std::size_t packets = (expected.size() + kMaxPacket - 1) / kMaxPacket;
  if (packed.size() > expected.size() + packets) std::abort();
  return 0;
}
