#include "image/decode/pict/PictHeader.h"

#include <algorithm>
#include <array>
#include <optional>

#include "image/decode/ByteReader.h"
#include "image/decode/Decode.h"
#include "util/Log.h"
#include "util/PathNames.h"

namespace quillane {
namespace {

// After the picture's size word and frame.
constexpr std::size_t kVersionOffset = 10;
// The version opcode with its version word.
constexpr std::array<std::uint8_t, 4> kVersion2 = {0x00, 0x11, 0x02, 0xFF};
constexpr std::array<std::uint8_t, 2> kVersion1 = {0x11, 0x01};

// A version-2 picture's header opcode, and the extended header's version (-2): every other
// header has no resolution fields and no source rectangle.
constexpr std::array<std::uint8_t, 2> kHeaderOpcode = {0x0C, 0x00};
constexpr std::array<std::uint8_t, 2> kExtendedHeaderVersion = {0xFF, 0xFE};
// Offsets within the header that starts at the header opcode.
constexpr std::size_t kHeaderVersionOffset = 2;
constexpr std::size_t kSourceBottomOffset = 18;
constexpr std::size_t kHeaderVersionEnd = 4;
constexpr std::size_t kSourceRectEnd = 22;

bool hasBytesAt(std::span<const std::uint8_t> bytes, std::size_t offset,
                std::span<const std::uint8_t> expected) {
  if (offset > bytes.size() || bytes.size() - offset < expected.size()) return false;
  const auto at = bytes.subspan(offset, expected.size());
  return std::equal(expected.begin(), expected.end(), at.begin());
}

std::optional<PictHeader> headerAt(std::span<const std::uint8_t> bytes, std::size_t start) {
  PictHeader header;
  header.start = start;
  const std::size_t version = start + kVersionOffset;
  if (hasBytesAt(bytes, version, kVersion2)) {
    header.version = PictVersion::Two;
    header.firstOpcode = version + kVersion2.size();
  } else if (hasBytesAt(bytes, version, kVersion1)) {
    header.version = PictVersion::One;
    header.firstOpcode = version + kVersion1.size();
  } else {
    return std::nullopt;
  }
  ByteReader frame(bytes, start + 2);
  header.frame = readPictRect(frame);
  return header;
}

// The offset of the first header opcode at or after `from`, found by its bytes, wherever
// they are; nothing when there is none.
std::optional<std::size_t> findHeaderOpcode(std::span<const std::uint8_t> bytes, std::size_t from) {
  const auto begin = bytes.begin() + static_cast<std::ptrdiff_t>(std::min(from, bytes.size()));
  const auto found = std::search(begin, bytes.end(), kHeaderOpcode.begin(), kHeaderOpcode.end());
  if (found == bytes.end()) return std::nullopt;
  return static_cast<std::size_t>(found - bytes.begin());
}

}  // namespace

Decoded<PictHeader> readPictHeader(std::span<const std::uint8_t> bytes) {
  if (auto header = headerAt(bytes, kPictFileHeaderBytes)) return *header;
  if (auto header = headerAt(bytes, 0)) return *header;
  const bool cut = !bytes.empty() && bytes.size() < kPictFileHeaderBytes + kVersionOffset + 4;
  return cut ? DecodeFailure::CutShort : DecodeFailure::Unreadable;
}

bool isPictFile(const std::string& path) {
  const std::string_view extension = pathExtension(path);
  return extension == "pict" || extension == "pct" || extension == "pic";
}

Size pictSize(std::span<const std::uint8_t> bytes) {
  const auto header = readPictHeader(bytes);
  if (!header || header->start != kPictFileHeaderBytes || header->version != PictVersion::Two) {
    constexpr std::size_t kVersionAt = kPictFileHeaderBytes + kVersionOffset;
    if (bytes.size() >= kVersionAt + kVersion2.size()) {
      logLine("NOT PICT FILE Ver2: %02x%02x%02x%02x", bytes[kVersionAt], bytes[kVersionAt + 1],
              bytes[kVersionAt + 2], bytes[kVersionAt + 3]);
    }
    return {};
  }
  const auto index = findHeaderOpcode(bytes, header->firstOpcode);
  if (!index) {
    if (bytes.size() >= header->firstOpcode + kHeaderOpcode.size())
      logLine("VERSION2 OPT CODE NOT FOUND");
    return {};
  }
  if (bytes.size() - *index < kHeaderVersionEnd) return {};
  if (!hasBytesAt(bytes, *index + kHeaderVersionOffset, kExtendedHeaderVersion)) {
    // An older header has no resolution: the frame gives the size in pixels.
    return {static_cast<std::uint16_t>(header->frame.right),
            static_cast<std::uint16_t>(header->frame.bottom)};
  }
  if (bytes.size() - *index < kSourceRectEnd) return {};
  ByteReader source(bytes, *index + kSourceBottomOffset);
  const int bottom = source.u16be();
  return {source.u16be(), bottom};
}

}  // namespace quillane
