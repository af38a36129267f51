// Feeds arbitrary bytes to the Tiff decoder with its limits, as the job calls it: whole, for
// the part a small canvas keeps, and for one away from the corner, as a turned photo keeps; the
// first page and the last.
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
      [&](const quillane::DecodeRequest& request) { return quillane::decodeTiff(bytes, request); },
      {quillane::fuzz::regionOf(bytes), quillane::fuzz::regionAwayOf(bytes)});
  const int last = quillane::countTiffPages(bytes) - 1;
  if (last == 0) return 0;
  quillane::fuzz::checkRegion(bytes, [&](quillane::DecodeRequest request) {
    request.frame = last;
    return quillane::decodeTiff(bytes, request);
  });
  return 0;
}
