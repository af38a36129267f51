#include "image/pict/PictDecoder.h"

#include <algorithm>
#include <array>

#include "image/pict/BitsOpcode.h"
#include "image/pict/PictureImageRep.h"
#include "image/pict/QuickTimeJpeg.h"
#include "image/pict/Region.h"
#include "image/pict/RowPlacer.h"
#include "util/CheckedSize.h"

namespace quillane {
namespace {

constexpr std::size_t kFileHeaderBytes = 512;
constexpr std::size_t kVersionOffset = 10;  // after the picture size and frame
constexpr std::array<std::uint8_t, 2> kVersion1 = {0x11, 0x01};
constexpr std::uint16_t kOpClip = 0x0001;
constexpr std::uint16_t kOpEndPicture = 0x00FF;

bool hasBytesAt(std::span<const std::uint8_t> bytes, std::size_t offset,
                std::span<const std::uint8_t> expected) {
  if (offset > bytes.size() || bytes.size() - offset < expected.size()) return false;
  const auto at = bytes.subspan(offset, expected.size());
  return std::equal(expected.begin(), expected.end(), at.begin());
}

std::optional<PictureLayout> layoutAt(std::span<const std::uint8_t> bytes, std::size_t start) {
  PictureLayout layout;
  layout.start = start;
  const std::size_t version = start + kVersionOffset;
  if (hasBytesAt(bytes, version, kPictVersion2Opcode)) {
    layout.version = PictVersion::Two;
    layout.firstOpcode = version + kPictVersion2Opcode.size();
  } else if (hasBytesAt(bytes, version, kVersion1)) {
    layout.version = PictVersion::One;
    layout.firstOpcode = version + kVersion1.size();
  } else {
    return std::nullopt;
  }
  PictBytes frame(bytes, start + 2);
  layout.frame = readPictRect(frame);
  return layout;
}

std::uint16_t readOpcode(PictBytes& bytes, const PictureLayout& layout) {
  if (layout.version == PictVersion::One) return bytes.u8();
  // Version-2 opcodes start on even offsets from the picture's start.
  if ((bytes.position() - layout.start) % 2 != 0) bytes.skip(1);
  return bytes.u16();
}

enum class Drawing { Complete, Corrupt };

// Runs the opcodes in order until the end of the picture or an opcode this decoder does not
// know (which ends the drawing and keeps what was drawn). Data that is cut short or does not
// hold together (a bitmap whose rows overrun, a size past the end of the bytes, a picture
// without its end) makes the whole picture corrupt: half a picture is not a picture.
Drawing drawOpcodes(std::span<const std::uint8_t> bytes, const PictureLayout& layout,
                    DrawTarget& target) {
  PictBytes cursor(bytes, layout.firstOpcode);
  std::optional<Region> clip;
  // A compressed QuickTime image is followed by a bitmap for QuickDraw without QuickTime
  // (a placeholder); once the image is drawn, that bitmap is not.
  bool skipFallbackBitmap = false;
  while (true) {
    const std::uint16_t opcode = readOpcode(cursor, layout);
    if (!cursor.ok()) return Drawing::Corrupt;
    if (opcode == kOpEndPicture) return Drawing::Complete;
    if (opcode == kOpClip) {
      clip = readRegion(cursor);
      if (!clip) return Drawing::Corrupt;
      target.clip = &*clip;
    } else if (isBitsOpcode(opcode)) {
      if (!drawBitsOpcode(cursor, opcode, target, !skipFallbackBitmap)) return Drawing::Corrupt;
      skipFallbackBitmap = false;
    } else if (opcode == kOpCompressedQuickTime && layout.version == PictVersion::Two) {
      const QuickTimeResult result = drawQuickTimeOpcode(cursor, target);
      if (result == QuickTimeResult::Failed) return Drawing::Corrupt;
      skipFallbackBitmap = result == QuickTimeResult::Drawn;
    } else if (!skipOpcodeData(cursor, opcode, layout.version)) {
      // A skip that ran past the end is a cut picture; one that stopped in place is an
      // opcode without a known length.
      return cursor.ok() ? Drawing::Complete : Drawing::Corrupt;
    }
  }
}

}  // namespace

std::optional<PictureLayout> locatePicture(std::span<const std::uint8_t> bytes) {
  auto layout = layoutAt(bytes, kFileHeaderBytes);
  if (!layout) layout = layoutAt(bytes, 0);
  if (!layout || !layout->frame.isDrawable()) return std::nullopt;
  return layout;
}

std::shared_ptr<const ImageRep> decodePict(std::span<const std::uint8_t> bytes) {
  const auto layout = locatePicture(bytes);
  if (!layout) return nullptr;
  auto raster = Bitmap::allocate(layout->frame.width(), layout->frame.height());
  if (!raster) return nullptr;
  const auto framePixels = static_cast<std::uint64_t>(raster->width) *
                           static_cast<std::uint64_t>(raster->height);
  DrawTarget target{*raster, layout->frame, nullptr, framePixels * kDrawnFramesBudget};
  if (drawOpcodes(bytes, *layout, target) == Drawing::Corrupt) return nullptr;
  return std::make_shared<const PictureImageRep>(std::move(*raster));
}

}  // namespace quillane
