// Feeds arbitrary bytes to the Png decoder with its limits, as the job calls it: whole,
// and for the part a small canvas keeps; and streams them, whole and in that part, checking
// the stream's rows and failure against the decoder's.
#include <zlib.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <span>
#include <vector>

#include "FuzzBudget.h"
#include "image/decode/ByteReader.h"
#include "image/decode/Decoders.h"
#include "image/decode/PngStream.h"

namespace {

using namespace quillane;

// Whether zlib refuses the image data for a dynamic block's code lengths (an incomplete or
// oversubscribed code set, a bad repeat, too many codes, no end-of-block code). ISA-L's
// inflate takes such a block as long as the data meets no missing code: the one way the
// stream is known to give rows where the whole decoder refuses the file.
bool zlibRefusesCodeLengths(std::span<const std::uint8_t> bytes) {
  std::vector<std::uint8_t> data;  // every IDAT chunk's data, joined
  for (std::size_t at = 8; at + 12 <= bytes.size();) {
    const std::uint32_t length = loadBigEndian(bytes.data() + at, 4);
    if (length > bytes.size() - at - 12) break;
    const std::uint8_t* chunk = bytes.data() + at + 8;
    if (std::memcmp(chunk - 4, "IDAT", 4) == 0) data.insert(data.end(), chunk, chunk + length);
    at += 12 + std::size_t{length};
  }
  z_stream stream{};
  if (inflateInit(&stream) != Z_OK) return false;
  std::vector<std::uint8_t> out(std::size_t{1} << 16);
  stream.next_in = data.data();
  stream.avail_in = static_cast<uInt>(data.size());
  int result = Z_OK;
  while (result == Z_OK && stream.avail_in > 0) {
    stream.next_out = out.data();
    stream.avail_out = static_cast<uInt>(out.size());
    result = inflate(&stream, Z_NO_FLUSH);
  }
  const char* message = stream.msg != nullptr ? stream.msg : "";
  inflateEnd(&stream);
  return result == Z_DATA_ERROR &&
         (std::strstr(message, " set") != nullptr || std::strstr(message, "repeat") != nullptr ||
          std::strstr(message, "too many") != nullptr ||
          std::strstr(message, "end-of-block") != nullptr);
}

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
    if (!failure ? !zlibRefusesCodeLengths(bytes) : failure->kind != whole.error().kind)
      std::abort();
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
