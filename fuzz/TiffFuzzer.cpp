// Feeds arbitrary bytes to the Tiff decoder with its limits, as the job calls it.
#include <cstddef>
#include <cstdint>
#include <span>

#include "FuzzBudget.h"
#include "image/decode/Decode.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  quillane::fuzz::limitImageBytes();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  quillane::fuzz::check(quillane::decodeTiff(std::span<const std::uint8_t>(data, size)));
  return 0;
}
