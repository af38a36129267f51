#include "image/decode/PngWhole.h"

#include <libdeflate.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <optional>
#include <span>
#include <vector>

#include "image/decode/ByteReader.h"
#include "image/decode/PngFilters.h"

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

// Each row, stored after its filter byte, moved up to its place in the raster and unfiltered
// there: the rows above are final by then, and the ones below lie further on.
bool unfilterRows(std::uint8_t* pixels, std::size_t rowBytes, int height) {
  const std::vector<std::uint8_t> zeroes(rowBytes);
  for (std::size_t y = 0; y < static_cast<std::size_t>(height); ++y) {
    const std::uint8_t* stored = pixels + y * (rowBytes + 1);
    const std::uint8_t filter = stored[0];
    std::uint8_t* row = pixels + y * rowBytes;
    std::memmove(row, stored + 1, rowBytes);
    if (!unfilterRow(filter, row, y == 0 ? zeroes.data() : row - rowBytes, rowBytes, kPixelBytes))
      return false;
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
