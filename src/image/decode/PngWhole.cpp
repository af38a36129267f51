#include "image/decode/PngWhole.h"

#include <libdeflate.h>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <optional>
#include <span>
#include <vector>

#include "image/decode/ByteReader.h"

namespace quillane {
namespace {

constexpr std::size_t kSignatureBytes = 8;
constexpr std::size_t kChunkFrameBytes = 12;  // length, type and CRC
constexpr std::size_t kPixelBytes = 4;
// A zlib header's window field for 32 KiB, the largest: a smaller one lets zlib refuse
// distances that libdeflate would follow.
constexpr std::uint8_t kWindow32K = 0x70;

using Decompressor =
    std::unique_ptr<libdeflate_decompressor, decltype(&libdeflate_free_decompressor)>;

struct Chunk {
  std::span<const std::uint8_t> data;
  bool isIdat = false;
  bool isIend = false;
  std::size_t next = 0;  // offset of the chunk after it
};

// The chunk at offset, when the file holds it whole; its CRC checked when `checkCrc`.
std::optional<Chunk> chunkAt(std::span<const std::uint8_t> file, std::size_t offset,
                             bool checkCrc) {
  if (offset > file.size() || file.size() - offset < kChunkFrameBytes) return std::nullopt;
  const std::uint8_t* start = file.data() + offset;
  const std::uint32_t length = loadBigEndian(start, 4);
  if (length > file.size() - offset - kChunkFrameBytes) return std::nullopt;
  const std::uint8_t* type = start + 4;
  if (checkCrc && libdeflate_crc32(0, type, length + 4) != loadBigEndian(type + 4 + length, 4))
    return std::nullopt;
  return Chunk{{type + 4, length},
               std::memcmp(type, "IDAT", 4) == 0,
               std::memcmp(type, "IEND", 4) == 0,
               offset + kChunkFrameBytes + length};
}

// The image data: the run of IDAT chunks joined (a single one read in place), when each one's
// CRC holds and a sound IEND follows them. `joined` holds the bytes of several.
std::optional<std::span<const std::uint8_t>> imageData(std::span<const std::uint8_t> file,
                                                       std::unique_ptr<std::uint8_t[]>& joined) {
  std::size_t offset = kSignatureBytes;
  std::optional<Chunk> chunk = chunkAt(file, offset, false);
  for (; chunk && !chunk->isIdat; chunk = chunkAt(file, offset, false)) offset = chunk->next;
  if (!chunk) return std::nullopt;
  std::vector<std::span<const std::uint8_t>> parts;
  std::size_t total = 0;
  for (chunk = chunkAt(file, offset, true); chunk && chunk->isIdat;
       chunk = chunkAt(file, chunk->next, true)) {
    parts.push_back(chunk->data);
    total += chunk->data.size();
  }
  if (!chunk || !chunk->isIend || !chunk->data.empty() || parts.empty()) return std::nullopt;
  if (parts.size() == 1) return parts.front();
  joined = std::make_unique_for_overwrite<std::uint8_t[]>(total);
  std::uint8_t* out = joined.get();
  for (const auto part : parts) out = std::copy(part.begin(), part.end(), out);
  return std::span<const std::uint8_t>(joined.get(), total);
}

std::uint32_t loadPixel(const std::uint8_t* at) {
  std::uint32_t pixel;
  std::memcpy(&pixel, at, sizeof pixel);
  return pixel;
}
void storePixel(std::uint8_t* at, std::uint32_t pixel) { std::memcpy(at, &pixel, sizeof pixel); }

// The four bytes' sums and rounded-down means, each byte on its own (no carry between them).
std::uint32_t addBytes(std::uint32_t a, std::uint32_t b) {
  return ((a & 0x7F7F7F7Fu) + (b & 0x7F7F7F7Fu)) ^ ((a ^ b) & 0x80808080u);
}
std::uint32_t meanBytes(std::uint32_t a, std::uint32_t b) {
  return (a & b) + (((a ^ b) & 0xFEFEFEFEu) >> 1);
}

#if defined(__SSE2__)
// The Paeth filter a pixel at a time, its four samples in 16-bit lanes: the prediction is the
// left, upper or upper-left neighbour nearest to left + up - upLeft, in that order on ties.
__m128i absolute(__m128i x) { return _mm_max_epi16(x, _mm_sub_epi16(_mm_setzero_si128(), x)); }

void unpaethRow(std::uint8_t* row, const std::uint8_t* up, std::size_t n) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i lowBytes = _mm_set1_epi16(0xFF);
  __m128i left = zero;
  __m128i upLeft = zero;
  for (std::size_t i = 0; i < n; i += kPixelBytes) {
    const __m128i above =
        _mm_unpacklo_epi8(_mm_cvtsi32_si128(static_cast<int>(loadPixel(up + i))), zero);
    const __m128i stored =
        _mm_unpacklo_epi8(_mm_cvtsi32_si128(static_cast<int>(loadPixel(row + i))), zero);
    const __m128i towardsUp = _mm_sub_epi16(above, upLeft);
    const __m128i towardsLeft = _mm_sub_epi16(left, upLeft);
    const __m128i fromLeft = absolute(towardsUp);
    const __m128i fromUp = absolute(towardsLeft);
    const __m128i fromUpLeft = absolute(_mm_add_epi16(towardsUp, towardsLeft));
    const __m128i notLeft =
        _mm_or_si128(_mm_cmpgt_epi16(fromLeft, fromUp), _mm_cmpgt_epi16(fromLeft, fromUpLeft));
    const __m128i notUp = _mm_cmpgt_epi16(fromUp, fromUpLeft);
    const __m128i upOrUpLeft =
        _mm_or_si128(_mm_and_si128(notUp, upLeft), _mm_andnot_si128(notUp, above));
    const __m128i predicted =
        _mm_or_si128(_mm_and_si128(notLeft, upOrUpLeft), _mm_andnot_si128(notLeft, left));
    left = _mm_and_si128(_mm_add_epi16(stored, predicted), lowBytes);
    storePixel(row + i,
               static_cast<std::uint32_t>(_mm_cvtsi128_si32(_mm_packus_epi16(left, left))));
    upLeft = above;
  }
}
#else
std::uint8_t paeth(int left, int up, int upLeft) {
  const int fromLeft = std::abs(up - upLeft);
  const int fromUp = std::abs(left - upLeft);
  const int fromUpLeft = std::abs(left + up - 2 * upLeft);
  if (fromLeft <= fromUp && fromLeft <= fromUpLeft) return static_cast<std::uint8_t>(left);
  return static_cast<std::uint8_t>(fromUp <= fromUpLeft ? up : upLeft);
}

void unpaethRow(std::uint8_t* row, const std::uint8_t* up, std::size_t n) {
  constexpr std::size_t b = kPixelBytes;
  for (std::size_t i = 0; i < b; ++i) row[i] = static_cast<std::uint8_t>(row[i] + up[i]);
  for (std::size_t i = b; i < n; ++i)
    row[i] = static_cast<std::uint8_t>(row[i] + paeth(row[i - b], up[i], up[i - b]));
}
#endif

// Undoes one row's filter in place, a pixel of four bytes at a time; `up` is the row above
// (zeroes above the first).
bool unfilterRow(std::uint8_t filter, std::uint8_t* __restrict row,
                 const std::uint8_t* __restrict up, std::size_t n) {
  constexpr std::size_t b = kPixelBytes;
  std::uint32_t left = 0;
  switch (filter) {
    case 0:
      return true;
    case 1:
      for (std::size_t i = 0; i < n; i += b)
        storePixel(row + i, left = addBytes(loadPixel(row + i), left));
      return true;
    case 2:
      for (std::size_t i = 0; i < n; ++i) row[i] = static_cast<std::uint8_t>(row[i] + up[i]);
      return true;
    case 3:
      for (std::size_t i = 0; i < n; i += b)
        storePixel(row + i,
                   left = addBytes(loadPixel(row + i), meanBytes(left, loadPixel(up + i))));
      return true;
    case 4:
      unpaethRow(row, up, n);
      return true;
    default:
      return false;
  }
}

// Each row, stored after its filter byte, moved up to its place in the raster and unfiltered
// there: the rows above are final by then, and the ones below lie further on.
bool unfilterRows(std::uint8_t* pixels, std::size_t rowBytes, int height) {
  const std::vector<std::uint8_t> zeroes(rowBytes);
  for (std::size_t y = 0; y < static_cast<std::size_t>(height); ++y) {
    const std::uint8_t* stored = pixels + y * (rowBytes + 1);
    const std::uint8_t filter = stored[0];
    std::uint8_t* row = pixels + y * rowBytes;
    std::memmove(row, stored + 1, rowBytes);
    if (!unfilterRow(filter, row, y == 0 ? zeroes.data() : row - rowBytes, rowBytes)) return false;
  }
  return true;
}

}  // namespace

long long rowsWithFilterBytes(int width, int height) {
  const auto rowBytes = static_cast<long long>(static_cast<std::size_t>(width) * kPixelBytes);
  return height + (height + rowBytes - 1) / rowBytes;
}

bool decodeWholeRgba8Png(std::span<const std::uint8_t> file, Bitmap& bitmap, int height) {
  const std::size_t rowBytes = static_cast<std::size_t>(bitmap.width) * kPixelBytes;
  const std::size_t storedBytes = (rowBytes + 1) * static_cast<std::size_t>(height);
  if (storedBytes > bitmap.pixels.size()) return false;
  // Off the raster pool: a block kept for the next raster is worth more than this one.
  std::unique_ptr<std::uint8_t[]> joined;
  std::optional<std::span<const std::uint8_t>> data;
  try {
    data = imageData(file, joined);
  } catch (const std::bad_alloc&) {
    return false;
  }
  if (!data || data->size() < 2 || ((*data)[0] & 0xF0) != kWindow32K) return false;
  const Decompressor decompressor(libdeflate_alloc_decompressor(), &libdeflate_free_decompressor);
  if (!decompressor) return false;
  // No actual size asked for: anything but exactly storedBytes is a failure.
  if (libdeflate_zlib_decompress(decompressor.get(), data->data(), data->size(),
                                 bitmap.pixels.data(), storedBytes, nullptr) != LIBDEFLATE_SUCCESS)
    return false;
  return unfilterRows(bitmap.pixels.data(), rowBytes, height);
}

}  // namespace quillane
