// Feeds arbitrary bytes to the PICT measuring and to the picture decoder, whole
// and within a region.
#include <cstddef>
#include <cstdint>
#include <span>

#include "FuzzBudget.h"
#include "image/decode/Decoders.h"

// A picture's frame is drawn whole, opcode by opcode: a smaller budget than the other
// decoders' keeps each run quick.
constexpr std::size_t kFuzzPictureBytes = std::size_t{16} << 20;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  quillane::setImageByteBudget(kFuzzPictureBytes);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> bytes(data, size);
  quillane::pictSize(bytes);
  const auto region = quillane::fuzz::regionOf(bytes);
  const auto whole = quillane::decodePict(bytes);
  const auto part = quillane::decodePict(bytes, region);
  if (whole) quillane::fuzz::checkBitmap(whole->bitmap);
  if (part) quillane::fuzz::checkBitmap(part->bitmap);
  // A part may be refused where the whole is not: its drawing budget is the region's.
  quillane::fuzz::checkPart(whole ? &whole->bitmap : nullptr, part ? &part->bitmap : nullptr,
                            region);
  return 0;
}
