// Feeds arbitrary bytes to the PICT reader (measure, patch) and to the picture decoder.
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "FuzzBudget.h"
#include "image/PictFile.h"
#include "image/pict/PictDecoder.h"

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
  if (const auto rep = quillane::decodePict(bytes)) {
    if (const auto bitmap = (*rep)->render()) quillane::fuzz::checkBitmap(*bitmap);
  }
  return 0;
}
