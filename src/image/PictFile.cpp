#include "image/PictFile.h"

#include <algorithm>
#include <array>

#include "image/pict/PictBytes.h"
#include "image/pict/PictDecoder.h"
#include "util/Log.h"
#include "util/PathNames.h"

namespace quillane {
namespace {

// Layout of a PICT file: a 512-byte file header, then the picture (its size, its frame, the
// version opcode and the header opcode).
constexpr std::size_t kFrameBottomOffset = 518;
constexpr std::size_t kFrameRightOffset = 520;
constexpr std::size_t kVersionOpOffset = 522;
constexpr std::size_t kVersionCheckedBytes = 526;
constexpr std::size_t kHeaderSearchStart = 526;
constexpr std::size_t kHeaderSearchMinBytes = 528;

// Offsets within the header that starts at the header opcode.
constexpr std::size_t kHeaderVersionOffset = 2;
constexpr std::size_t kResolutionOffset = 6;
constexpr std::size_t kSourceBottomOffset = 18;
constexpr std::size_t kSourceRightOffset = 20;
// Bytes of the header that the measuring and the patching touch.
constexpr std::size_t kHeaderVersionEnd = 4;
constexpr std::size_t kResolutionEnd = 14;
constexpr std::size_t kSourceRectEnd = 22;

// The extended header's version, -2; every other header has no resolution fields.
constexpr std::array<std::uint8_t, 2> kExtendedHeaderVersion = {0xFF, 0xFE};
// 72.0 in 16.16 fixed point, twice: horizontal and vertical resolution.
constexpr std::array<std::uint8_t, 8> kResolution72 = {0x00, 0x48, 0x00, 0x00,
                                                       0x00, 0x48, 0x00, 0x00};

std::uint16_t readU16(std::span<const std::uint8_t> bytes, std::size_t offset) {
  return PictBytes(bytes, offset).u16();
}

// The header opcode's offset when the header holds `fieldsEnd` bytes inside the buffer;
// a header too near the end counts as not found.
std::size_t headerIndexWithRoom(std::span<const std::uint8_t> bytes, std::size_t fieldsEnd) {
  if (!isPictVersionOptCode(bytes)) return kPictHeaderNotFound;
  const std::size_t index = pictV2OptHeaderIndex(bytes);
  if (index == kPictHeaderNotFound || bytes.size() - index < fieldsEnd) {
    return kPictHeaderNotFound;
  }
  return index;
}

bool isExtendedHeader(std::span<const std::uint8_t> bytes, std::size_t index) {
  return bytes[index + kHeaderVersionOffset] == kExtendedHeaderVersion[0] &&
         bytes[index + kHeaderVersionOffset + 1] == kExtendedHeaderVersion[1];
}

}  // namespace

bool isPictFile(const std::string& path) {
  const std::string_view extension = pathExtension(path);
  return extension == "pict" || extension == "pct" || extension == "pic";
}

bool isPictVersionOptCode(std::span<const std::uint8_t> bytes) {
  if (bytes.size() < kVersionCheckedBytes) return false;
  const auto op = bytes.subspan(kVersionOpOffset, kPictVersion2Opcode.size());
  if (std::equal(op.begin(), op.end(), kPictVersion2Opcode.begin())) return true;
  logLine("NOT PICT FILE Ver2: %02x%02x%02x%02x", op[0], op[1], op[2], op[3]);
  return false;
}

std::size_t pictV2OptHeaderIndex(std::span<const std::uint8_t> bytes) {
  if (bytes.size() < kHeaderSearchMinBytes) return kPictHeaderNotFound;
  for (std::size_t i = kHeaderSearchStart; i + 1 < bytes.size(); ++i) {
    if (bytes[i] == 0x0C && bytes[i + 1] == 0x00) return i;
  }
  logLine("VERSION2 OPT CODE NOT FOUND");
  return kPictHeaderNotFound;
}

Size pictSize(std::span<const std::uint8_t> bytes) {
  const std::size_t index = headerIndexWithRoom(bytes, kHeaderVersionEnd);
  if (index == kPictHeaderNotFound) return {};
  if (!isExtendedHeader(bytes, index)) {
    // An older header has no resolution: the frame gives the size in pixels.
    return {static_cast<float>(readU16(bytes, kFrameRightOffset)),
            static_cast<float>(readU16(bytes, kFrameBottomOffset))};
  }
  if (bytes.size() - index < kSourceRectEnd) return {};
  return {static_cast<float>(readU16(bytes, index + kSourceRightOffset)),
          static_cast<float>(readU16(bytes, index + kSourceBottomOffset))};
}

bool pictChangeDPI(std::span<std::uint8_t> bytes) {
  const std::size_t index = headerIndexWithRoom(bytes, kHeaderVersionEnd);
  if (index == kPictHeaderNotFound || !isExtendedHeader(bytes, index)) return false;
  if (bytes.size() - index < kResolutionEnd) return false;
  std::copy(kResolution72.begin(), kResolution72.end(),
            bytes.begin() + static_cast<std::ptrdiff_t>(index + kResolutionOffset));
  return true;
}

Decoded<Image> createPictImage(std::span<std::uint8_t> bytes, const DecodeRequest& request) {
  pictChangeDPI(bytes);
  auto rep = decodePict(bytes, request);
  if (!rep) return rep.error();
  return Image::withRepresentation(std::move(*rep));
}

}  // namespace quillane
