// Packs fuzzed samples with the writer's PackBits and unpacks them with PsdReader.h's
// decoder: the samples must come back, appended after what was there, and the stream may
// grow by at most one header byte per 128 samples.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "PsdReader.h"
#include "psd/ByteBuffer.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> samples(data, size);
  quillane::ByteBuffer packed = {0xAB};
  const std::size_t count = quillane::appendPackedBits(packed, samples);
  if (count != packed.size() - 1 || packed[0] != 0xAB) std::abort();
  if (count > size + (size + 127) / 128) std::abort();
  try {
    const auto unpacked = quillane::fuzz::unpackRow(std::span(packed).subspan(1), int(size));
    if (!std::equal(unpacked.begin(), unpacked.end(), samples.begin())) std::abort();
  } catch (const quillane::fuzz::BadPsd&) {
    std::abort();
  }
  return 0;
}
