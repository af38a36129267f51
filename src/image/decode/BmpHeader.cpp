#include "image/decode/BmpHeader.h"

#include <algorithm>
#include <cstdlib>

#include "image/decode/ByteReader.h"

namespace quillane {
namespace {

constexpr std::size_t kFileHeaderBytes = 14;
constexpr std::uint32_t kCoreHeaderBytes = 12;     // OS/2 1.x: 16-bit sides, 3-byte palette entries
constexpr std::uint32_t kInfoHeaderBytes = 40;     // Windows 3 and later: 32-bit sides, resolution
constexpr std::uint32_t kOs2InfoHeaderBytes = 64;  // OS/2 2.x: its compression 3 and 4 differ
constexpr std::uint32_t kMasksInHeaderBytes = 52;  // Windows 95 headers hold the colour masks
constexpr std::uint32_t kAlphaInHeaderBytes = 56;  // and from here the alpha mask too
constexpr std::uint32_t kCompressionJpeg = 4;
constexpr std::uint32_t kCompressionPng = 5;
constexpr unsigned kMaxPaletteBits = 8;

std::uint32_t readU16(std::span<const std::uint8_t> b, std::size_t at) {
  return ByteReader(b, at).u16le();
}
std::uint32_t readU32(std::span<const std::uint8_t> b, std::size_t at) {
  return ByteReader(b, at).u32le();
}

// The masks a file without its own uses; 32-bit pixels may carry alpha in their fourth byte.
std::array<std::uint32_t, 4> defaultMasks(unsigned bitsPerPixel) {
  if (bitsPerPixel == 16) return {0x7C00, 0x03E0, 0x001F, 0};
  return {0xFF0000, 0xFF00, 0xFF, 0xFF000000};
}

bool readMasks(std::span<const std::uint8_t> bytes, BmpHeader& h) {
  h.masks = defaultMasks(h.bitsPerPixel);
  if (h.compression != kBmpBitfields && h.compression != kBmpAlphaBitfields) return true;
  // A plain info header is followed by the masks; later headers hold them.
  const std::size_t at = kFileHeaderBytes + kInfoHeaderBytes;
  const bool alpha = h.compression == kBmpAlphaBitfields || h.infoSize >= kAlphaInHeaderBytes;
  const std::size_t count = alpha ? 4 : 3;
  if (bytes.size() < at + 4 * count) return false;
  for (std::size_t i = 0; i < 4; ++i) h.masks[i] = i < count ? readU32(bytes, at + 4 * i) : 0;
  return true;
}

// The palette: as many entries as the header counts and fit before the pixels.
void readPalette(std::span<const std::uint8_t> bytes, BmpHeader& h, std::uint32_t colorsUsed) {
  if (h.bitsPerPixel > kMaxPaletteBits) return;
  const bool core = h.infoSize == kCoreHeaderBytes;
  const std::size_t entryBytes = core ? 3 : 4;
  const std::size_t start = kFileHeaderBytes + h.infoSize;
  const std::size_t end = std::min<std::size_t>(h.pixelOffset, bytes.size());
  const std::size_t room = end > start ? (end - start) / entryBytes : 0;
  const std::size_t declared =
      core || colorsUsed == 0 ? std::size_t{1} << h.bitsPerPixel : colorsUsed;
  const std::size_t count = std::min({room, declared, std::size_t{1} << h.bitsPerPixel});
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint8_t* entry = bytes.data() + start + i * entryBytes;  // blue, green, red
    h.palette.push_back({entry[2], entry[1], entry[0]});
  }
}

// A version-5 header's embedded profile, where it lies within the bytes; its offset counts
// from the start of the info header.
std::span<const std::uint8_t> embeddedProfile(std::span<const std::uint8_t> bytes,
                                              const BmpHeader& h) {
  constexpr std::uint32_t kVersion5HeaderBytes = 124;
  constexpr std::uint32_t kEmbeddedProfile = 0x4D424544;  // 'MBED'
  if (h.infoSize < kVersion5HeaderBytes ||
      readU32(bytes, kFileHeaderBytes + 56) != kEmbeddedProfile)
    return {};
  const std::uint64_t offset =
      kFileHeaderBytes + std::uint64_t{readU32(bytes, kFileHeaderBytes + 112)};
  const std::uint64_t size = readU32(bytes, kFileHeaderBytes + 116);
  if (offset > bytes.size() || size > bytes.size() - offset) return {};
  return bytes.subspan(static_cast<std::size_t>(offset), static_cast<std::size_t>(size));
}

// Why the combination cannot be decoded, or nothing when it can.
std::optional<DecodeFailure> refusal(const BmpHeader& h) {
  const unsigned bits = h.bitsPerPixel;
  if (bits == 2) return DecodeFailure::Unsupported;  // Windows CE only
  constexpr unsigned kDepths[] = {1, 4, 8, 16, 24, 32};
  if (std::find(std::begin(kDepths), std::end(kDepths), bits) == std::end(kDepths))
    return DecodeFailure::Unreadable;
  if (h.compression == kCompressionJpeg || h.compression == kCompressionPng)
    return DecodeFailure::Unsupported;
  if (h.infoSize == kOs2InfoHeaderBytes && h.compression >= kBmpBitfields)
    return DecodeFailure::Unsupported;  // OS/2 Huffman and 24-bit run-length
  switch (h.compression) {
    case kBmpRgb:
      return std::nullopt;
    case kBmpRle8:
    case kBmpRle4:
      if (bits != (h.compression == kBmpRle8 ? 8u : 4u) || h.topDown)
        return DecodeFailure::Unreadable;
      return std::nullopt;
    case kBmpBitfields:
    case kBmpAlphaBitfields:
      if (bits != 16 && bits != 32) return DecodeFailure::Unreadable;
      return std::nullopt;
    default:
      return DecodeFailure::Unsupported;
  }
}

}  // namespace

Decoded<BmpHeader> readBmpHeader(std::span<const std::uint8_t> bytes) {
  if (bytes.size() < kFileHeaderBytes + 4) return DecodeFailure::CutShort;
  BmpHeader h;
  h.pixelOffset = readU32(bytes, 10);
  h.infoSize = readU32(bytes, 14);
  if (h.infoSize < kCoreHeaderBytes) return DecodeFailure::Unreadable;
  if (bytes.size() < kFileHeaderBytes + h.infoSize) return DecodeFailure::CutShort;
  std::uint32_t colorsUsed = 0;
  if (h.infoSize == kCoreHeaderBytes) {
    h.width = readU16(bytes, 18);
    h.height = readU16(bytes, 20);
    h.bitsPerPixel = readU16(bytes, 24);
  } else if (h.infoSize < kInfoHeaderBytes) {
    return DecodeFailure::Unsupported;  // the short OS/2 2.x header
  } else {
    h.width = static_cast<std::int32_t>(readU32(bytes, 18));
    const auto height = static_cast<long long>(static_cast<std::int32_t>(readU32(bytes, 22)));
    h.height = std::llabs(height);
    h.topDown = height < 0;
    h.bitsPerPixel = readU16(bytes, 28);
    h.compression = readU32(bytes, 30);
    h.pelsPerMetreX = static_cast<std::int32_t>(readU32(bytes, 38));
    h.pelsPerMetreY = static_cast<std::int32_t>(readU32(bytes, 42));
    colorsUsed = readU32(bytes, 46);
  }
  const DecodeError failure{DecodeFailure::Unreadable, h.width, h.height};
  if (const auto refused = refusal(h)) return DecodeError{*refused, h.width, h.height};
  if (!readMasks(bytes, h)) return DecodeError{DecodeFailure::CutShort, h.width, h.height};
  readPalette(bytes, h, colorsUsed);
  h.iccProfile = embeddedProfile(bytes, h);
  if (h.bitsPerPixel <= kMaxPaletteBits && h.palette.empty()) return failure;
  return h;
}

}  // namespace quillane
