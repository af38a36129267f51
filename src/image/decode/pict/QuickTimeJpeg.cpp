#include "image/decode/pict/QuickTimeJpeg.h"

#include <algorithm>
#include <array>
#include <optional>
#include <span>

#include "image/decode/pict/JpegRows.h"

namespace quillane {
namespace {

constexpr std::size_t kMatrixOffset = 2;  // after the version
constexpr std::size_t kMatrixEntries = 9;
constexpr std::size_t kDescriptionDataSizeOffset = 44;
constexpr std::array<std::uint8_t, 4> kJpegCodec = {'j', 'p', 'e', 'g'};
constexpr std::array<std::uint8_t, 3> kJpegStart = {0xFF, 0xD8, 0xFF};
// The matrix's translation is clamped to this, far outside any frame, so that the placed
// rectangle's arithmetic cannot overflow.
constexpr long long kMaxTranslation = 1 << 20;

// The part of the opcode that QuickTime reads before the compressed data.
struct QuickTimeHeader {
  std::array<std::int32_t, kMatrixEntries> matrix{};
  PictRect srcRect;
  bool isJpeg = false;
  std::span<const std::uint8_t> data;  // the compressed image as its description sizes it
};

std::optional<QuickTimeHeader> readHeader(std::span<const std::uint8_t> opcodeData) {
  ByteReader bytes(opcodeData, kMatrixOffset);
  QuickTimeHeader header;
  for (auto& entry : header.matrix) entry = bytes.s32be();
  const std::uint32_t matteSize = bytes.u32be();
  bytes.skip(8 + 2);  // matte rectangle, transfer mode
  header.srcRect = readPictRect(bytes);
  bytes.skip(4);  // accuracy
  const std::uint32_t maskSize = bytes.u32be();
  if (matteSize > 0) {
    const std::uint32_t matteDescriptionSize = bytes.u32be();
    if (matteDescriptionSize < 4 || !bytes.skip(matteDescriptionSize - 4) ||
        !bytes.skip(matteSize)) {
      return std::nullopt;
    }
  }
  bytes.skip(maskSize);
  const std::size_t descriptionStart = bytes.position();
  const std::uint32_t descriptionSize = bytes.u32be();
  const auto codec = bytes.take(kJpegCodec.size());
  if (!bytes.ok()) return std::nullopt;
  header.isJpeg = std::equal(codec.begin(), codec.end(), kJpegCodec.begin());
  if (!header.isJpeg) return header;
  ByteReader sizeField(opcodeData, descriptionStart + kDescriptionDataSizeOffset);
  const std::uint32_t dataSize = sizeField.u32be();
  ByteReader data(opcodeData, descriptionStart);
  if (!sizeField.ok() || !data.skip(descriptionSize)) return std::nullopt;
  header.data = data.take(std::min<std::size_t>(dataSize, data.remaining()));
  return header;
}

// A JPEG whose description is damaged is still found by its start marker.
std::span<const std::uint8_t> findJpeg(std::span<const std::uint8_t> opcodeData) {
  const auto start =
      std::search(opcodeData.begin(), opcodeData.end(), kJpegStart.begin(), kJpegStart.end());
  return opcodeData.subspan(static_cast<std::size_t>(start - opcodeData.begin()));
}

bool startsAsJpeg(std::span<const std::uint8_t> data) {
  return data.size() >= kJpegStart.size() &&
         std::equal(kJpegStart.begin(), kJpegStart.end(), data.begin());
}

// Where the matrix's scale and translation (16.16 fixed point) put the source rectangle.
// Rotations and flips are not drawn; a scale that is not positive counts as 1.
PictRect placedRect(const QuickTimeHeader& header) {
  const auto fixed = [](std::int32_t value) { return static_cast<long long>(value); };
  const long long scaleX = fixed(header.matrix[0]) > 0 ? fixed(header.matrix[0]) : 1 << 16;
  const long long scaleY = fixed(header.matrix[4]) > 0 ? fixed(header.matrix[4]) : 1 << 16;
  const long long tx = std::clamp(fixed(header.matrix[6]) >> 16, -kMaxTranslation, kMaxTranslation);
  const long long ty = std::clamp(fixed(header.matrix[7]) >> 16, -kMaxTranslation, kMaxTranslation);
  const auto place = [](long long origin, int coordinate, long long scale) {
    const long long placed = origin + ((coordinate * scale) >> 16);
    return static_cast<int>(std::clamp(placed, -2 * kMaxTranslation, 2 * kMaxTranslation));
  };
  const PictRect& src = header.srcRect;
  return {place(ty, src.top, scaleY), place(tx, src.left, scaleX), place(ty, src.bottom, scaleY),
          place(tx, src.right, scaleX)};
}

}  // namespace

QuickTimeResult drawQuickTimeOpcode(ByteReader& bytes, DrawTarget& target) {
  const std::uint32_t length = bytes.u32be();
  const auto opcodeData = bytes.take(length);
  if (!bytes.ok()) return QuickTimeResult::Failed;
  auto header = readHeader(opcodeData);
  if (header && !header->isJpeg) return QuickTimeResult::Skipped;
  if (!header) header = QuickTimeHeader{};
  if (!startsAsJpeg(header->data)) header->data = findJpeg(opcodeData);
  if (header->data.empty()) return QuickTimeResult::Failed;

  const bool drawn = drawJpeg(header->data, [&](int width, int height) -> std::optional<RowPlacer> {
    const PictRect bounds{0, 0, height, width};
    if (header->srcRect.isEmpty()) {
      // Without a usable header the JPEG goes to the frame's top-left at its own size.
      header->srcRect = bounds;
      header->matrix = {
          1 << 16, 0, 0, 0, 1 << 16, 0, target.frame.left << 16, target.frame.top << 16, 1 << 30};
    }
    RowPlacer placer(target, bounds, header->srcRect, placedRect(*header), nullptr);
    if (!placer.withinBudget()) return std::nullopt;
    return placer;
  });
  return drawn ? QuickTimeResult::Drawn : QuickTimeResult::Failed;
}

}  // namespace quillane
