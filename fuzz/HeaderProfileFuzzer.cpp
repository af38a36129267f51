// Feeds arbitrary bytes to the readers of profiles in file headers (JPEG markers, PNG chunks,
// a TIFF directory, a BMP header), as a file of those bytes.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

#include "image/decode/HeaderProfile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> bytes(data, size);
  (void)quillane::headerProfile([bytes](std::uint64_t offset, std::span<std::uint8_t> out) {
    if (offset >= bytes.size()) return std::size_t{0};
    const std::size_t count = std::min<std::uint64_t>(out.size(), bytes.size() - offset);
    std::memcpy(out.data(), bytes.data() + offset, count);
    return count;
  });
  return 0;
}
