// Feeds arbitrary bytes to the PICT reader (measure, patch) and to the picture decoder, whole
// and within a region.
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "FuzzBudget.h"
#include "image/decode/pict/PictHeader.h"
#include "image/decode/pict/Pict.h"

// A picture's frame is drawn whole, opcode by opcode: a smaller budget than the other
// decoders' keeps each run quick.
constexpr std::size_t kFuzzPictureBytes = std::size_t{16} << 20;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  quillane::setImageByteBudget(kFuzzPictureBytes);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<std::uint8_t> bytes(data, data + size);
  quillane::pictSize(bytes);
  quillane::pictChangeDPI(bytes);
  const auto raster = [&](const quillane::DecodeRequest& request) {
    const auto rep = quillane::decodePict(bytes, request);
    const auto bitmap = rep ? (*rep)->render() : nullptr;
    if (bitmap) quillane::fuzz::checkBitmap(*bitmap);
    return bitmap;
  };
  // A part may be refused where the whole is not: its drawing budget is the region's.
  const auto region = quillane::fuzz::regionOf(bytes);
  quillane::fuzz::checkPart(raster({}).get(), raster(region).get(), region);
  return 0;
}
