// Feeds arbitrary bytes to the Jpeg decoder with its limits, as the job calls it: whole, for
// the part a small canvas keeps, and for one away from the corner, as a turned photo keeps.
#include <cstddef>
#include <cstdint>
#include <span>

#include "FuzzBudget.h"
#include "image/decode/Decoders.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  quillane::fuzz::limitImageBytes();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> bytes(data, size);
  quillane::fuzz::checkRegions(
      [&](const quillane::DecodeRequest& request) { return quillane::decodeJpeg(bytes, request); },
      {quillane::fuzz::regionOf(bytes), quillane::fuzz::regionAwayOf(bytes)});
  return 0;
}
