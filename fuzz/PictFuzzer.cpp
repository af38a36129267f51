// Feeds arbitrary bytes to the PICT reader (measure, patch) and to the picture decoder.
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "image/PictFile.h"
#include "image/pict/PictDecoder.h"

namespace {

// Frames above this many pixels are measured but not drawn: the raster of a 30000 x 30000
// frame (3.6 GB) is allowed to the decoder but not to a fuzzing process.
constexpr long long kMaxFuzzedFramePixels = 1LL << 22;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<std::uint8_t> bytes(data, data + size);
  quillane::pictSize(bytes);
  quillane::pictChangeDPI(bytes);

  const auto layout = quillane::locatePicture(bytes);
  if (!layout) return 0;
  const long long pixels = static_cast<long long>(layout->frame.width()) * layout->frame.height();
  if (pixels > kMaxFuzzedFramePixels) return 0;
  const auto rep = quillane::decodePict(bytes);
  if (rep) rep->render();
  return 0;
}
