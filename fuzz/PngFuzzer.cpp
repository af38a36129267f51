// Feeds arbitrary bytes to the Png decoder with its limits, as the job calls it: whole,
// and for the part a small canvas keeps; and streams them, whole and in that part, checking
// the stream's rows and failure against the decoder's.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "FuzzBudget.h"
#include "image/decode/Decoders.h"
#include "image/decode/PngStream.h"

namespace {

using namespace quillane;

// The rows in bands of 1, 7 and the rest: the decoder's rows, or its kind of failure.
void checkStream(std::span<const std::uint8_t> bytes, const DecodeRequest& request) {
  const auto stream = PngRowStream::openBytes(bytes, request);
  if (!stream) return;
  const auto whole = decodePng(bytes, request);
  const std::size_t rowBytes = static_cast<std::size_t>(stream->width()) * 4;
  std::vector<std::uint8_t> rows(rowBytes * static_cast<std::size_t>(stream->height()));
  std::optional<DecodeError> failure;
  int done = 0;
  for (const int band : {1, 7, stream->height()}) {
    const int count = std::min(band, stream->height() - done);
    if (!failure) failure = stream->readRows(rows.data() + rowBytes * std::size_t(done), count);
    done += count;
  }
  if (!whole) {
    if (!failure || failure->kind != whole.error().kind) std::abort();
    return;
  }
  const Bitmap& bitmap = whole->bitmap;
  if (failure || stream->width() != bitmap.width || stream->height() != bitmap.height ||
      stream->knownOpaque() != bitmap.knownOpaque ||
      stream->header().iccProfile != whole->iccProfile ||
      !std::equal(rows.begin(), rows.end(), bitmap.pixels.begin(), bitmap.pixels.end()))
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::limitImageBytes();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> bytes(data, size);
  fuzz::checkRegion(bytes, [&](const DecodeRequest& request) { return decodePng(bytes, request); });
  checkStream(bytes, {});
  checkStream(bytes, fuzz::regionOf(bytes));
  return 0;
}
