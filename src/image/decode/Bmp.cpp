#include <algorithm>
#include <climits>
#include <cstdlib>
#include <iterator>
#include <memory>

#include "image/decode/Decode.h"
#include "image/decode/Resolution.h"
#include "image/decode/SizeCheck.h"

// stb_image's BMP decoder only, private to this file.
#define STB_IMAGE_IMPLEMENTATION
#define STB_IMAGE_STATIC
#define STBI_ONLY_BMP
#define STBI_NO_STDIO
#define STBI_NO_LINEAR
#define STBI_NO_HDR
#define STBI_MAX_DIMENSIONS (quillane::kMaxImageSide)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wsign-compare"
#include <stb/stb_image.h>
#pragma GCC diagnostic pop

namespace quillane {
namespace {

constexpr std::size_t kFileHeaderBytes = 14;
constexpr std::uint32_t kCoreHeaderBytes = 12;  // OS/2 1.x: 16-bit sides, 3-byte palette entries
constexpr std::uint32_t kInfoHeaderBytes = 40;  // Windows 3 and later: 32-bit sides, resolution
constexpr std::uint32_t kCompressionRgb = 0;
constexpr std::uint32_t kCompressionBitfields = 3;

std::uint32_t readU16(std::span<const std::uint8_t> b, std::size_t at) {
  return b[at] | (b[at + 1] << 8);
}
std::uint32_t readU32(std::span<const std::uint8_t> b, std::size_t at) {
  return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<std::uint32_t>(b[at + 3]) << 24);
}
std::int32_t readS32(std::span<const std::uint8_t> b, std::size_t at) {
  return static_cast<std::int32_t>(readU32(b, at));
}

// What the headers say, read by us so that nothing is decoded or allocated for a file that
// declares an oversized, truncated or unsupported image.
struct BmpHeader {
  std::uint32_t pixelOffset = 0;
  std::uint32_t infoSize = 0;
  long long width = 0;
  long long height = 0;  // positive; the sign only gives the row order
  std::uint32_t bitsPerPixel = 0;
  std::uint32_t compression = kCompressionRgb;
  std::int32_t pelsPerMetreX = 0;
  std::int32_t pelsPerMetreY = 0;
};

Decoded<BmpHeader> readHeader(std::span<const std::uint8_t> bytes) {
  if (bytes.size() < kFileHeaderBytes + 4) return DecodeFailure::CutShort;
  BmpHeader h;
  h.pixelOffset = readU32(bytes, 10);
  h.infoSize = readU32(bytes, 14);
  if (h.infoSize < kCoreHeaderBytes) return DecodeFailure::Unreadable;
  if (bytes.size() < kFileHeaderBytes + h.infoSize) return DecodeFailure::CutShort;
  if (h.infoSize == kCoreHeaderBytes) {
    h.width = readU16(bytes, 18);
    h.height = readU16(bytes, 20);
    h.bitsPerPixel = readU16(bytes, 24);
    return h;
  }
  if (h.infoSize < kInfoHeaderBytes) return DecodeFailure::Unsupported;  // OS/2 2.x
  h.width = readS32(bytes, 18);
  h.height = std::llabs(static_cast<long long>(readS32(bytes, 22)));
  h.bitsPerPixel = readU16(bytes, 28);
  h.compression = readU32(bytes, 30);
  h.pelsPerMetreX = readS32(bytes, 38);
  h.pelsPerMetreY = readS32(bytes, 42);
  return h;
}

// Palette entries as stb_image counts them: whatever lies between the headers and the pixels.
std::size_t paletteEntries(const BmpHeader& h) {
  const std::size_t headers = kFileHeaderBytes + h.infoSize;
  if (h.pixelOffset <= headers) return 0;
  return (h.pixelOffset - headers) / 4;
}

// stb_image reads a palette index beyond the palette from uninitialised memory, so a file
// using one is refused as corrupt.
bool indicesWithinPalette(std::span<const std::uint8_t> bytes, const BmpHeader& h,
                          std::size_t rowBytes) {
  const std::size_t entries = paletteEntries(h);
  const unsigned bits = h.bitsPerPixel;
  const unsigned mask = (1u << bits) - 1;
  for (long long y = 0; y < h.height; ++y) {
    const std::uint8_t* row = bytes.data() + h.pixelOffset + static_cast<std::size_t>(y) * rowBytes;
    for (long long x = 0; x < h.width; ++x) {
      const auto bit = static_cast<std::size_t>(x) * bits;
      const unsigned index = (row[bit / 8] >> (8 - bits - bit % 8)) & mask;
      if (index >= entries) return false;
    }
  }
  return true;
}

// Why stb_image is not to be given the file, or nothing when it may decode it.
std::optional<DecodeError> refusal(std::span<const std::uint8_t> bytes, const BmpHeader& h) {
  const auto failure = [&](DecodeFailure kind) { return DecodeError{kind, h.width, h.height}; };
  if (const auto refused = checkImageSize(h.width, h.height)) return refused;
  if (h.width == 0 || h.height == 0) return failure(DecodeFailure::Unreadable);
  // Run-length compression, and the palettes of OS/2 1.x files, which stb_image miscounts.
  if (h.compression != kCompressionRgb && h.compression != kCompressionBitfields)
    return failure(DecodeFailure::Unsupported);
  if (h.infoSize == kCoreHeaderBytes && h.bitsPerPixel < 24)
    return failure(DecodeFailure::Unsupported);
  if (h.bitsPerPixel == 2) return failure(DecodeFailure::Unsupported);  // Windows CE only
  constexpr std::uint32_t kDepths[] = {1, 4, 8, 16, 24, 32};
  if (std::find(std::begin(kDepths), std::end(kDepths), h.bitsPerPixel) == std::end(kDepths))
    return failure(DecodeFailure::Unreadable);
  const std::size_t rowBytes = (static_cast<std::size_t>(h.width) * h.bitsPerPixel + 31) / 32 * 4;
  const auto pixelBytes = checkedProduct(rowBytes, h.height);
  if (!pixelBytes || h.pixelOffset > bytes.size() || bytes.size() - h.pixelOffset < *pixelBytes)
    return failure(DecodeFailure::CutShort);  // stb_image would fill the missing rows with black
  if (h.bitsPerPixel <= 8 && !indicesWithinPalette(bytes, h, rowBytes))
    return failure(DecodeFailure::Unreadable);
  return std::nullopt;
}

using StbPixels = std::unique_ptr<stbi_uc, decltype(&stbi_image_free)>;

}  // namespace

Decoded<DecodedBitmap> decodeBmp(std::span<const std::uint8_t> bytes) {
  const auto header = readHeader(bytes);
  if (!header) return header.error();
  if (const auto refused = refusal(bytes, *header)) return *refused;
  if (bytes.size() > INT_MAX) return DecodeFailure::Unsupported;

  int width = 0, height = 0, channels = 0;
  StbPixels pixels(stbi_load_from_memory(bytes.data(), static_cast<int>(bytes.size()), &width,
                                         &height, &channels, 4),
                   &stbi_image_free);
  if (!pixels || width != header->width || height != header->height)
    return DecodeError{DecodeFailure::Unreadable, header->width, header->height};

  auto bitmap = Bitmap::create(width, height, Bitmap::Fill::Nothing);
  if (!bitmap) return bitmap.error();
  std::copy_n(pixels.get(), bitmap->pixels.size(), bitmap->pixels.data());
  bitmap->knownOpaque = channels == 3;  // stb fills in alpha 255 for a file without alpha

  DecodedBitmap decoded{std::move(*bitmap)};
  decoded.dpiX = resolution::fromDotsPerMetre(static_cast<float>(header->pelsPerMetreX));
  decoded.dpiY = resolution::fromDotsPerMetre(static_cast<float>(header->pelsPerMetreY));
  return decoded;
}

}  // namespace quillane
