#include "image/pict/PictDecoder.h"

#include <algorithm>
#include <array>

#include "image/pict/BitsOpcode.h"
#include "image/pict/PictureImageRep.h"
#include "image/pict/QuickTimeJpeg.h"
#include "image/pict/Region.h"
#include "image/pict/RowPlacer.h"
#include "image/decode/SizeCheck.h"

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

// Runs the opcodes in order until the end of the picture or an opcode this decoder does not
// know (which ends the drawing and keeps what was drawn). Data that is cut short or does not
// hold together (a bitmap whose rows overrun, a size past the end of the bytes, a picture
// without its end) makes the whole picture corrupt: half a picture is not a picture.
// Answers whether the opcodes were drawn whole.
bool drawOpcodes(PictBytes& cursor, const PictureLayout& layout, DrawTarget& target) {
  std::optional<Region> clip;
  // A compressed QuickTime image is followed by a bitmap for QuickDraw without QuickTime
  // (a placeholder); once the image is drawn, that bitmap is not.
  bool skipFallbackBitmap = false;
  while (true) {
    const std::uint16_t opcode = readOpcode(cursor, layout);
    if (!cursor.ok()) return false;
    if (opcode == kOpEndPicture) return true;
    if (opcode == kOpClip) {
      clip = readRegion(cursor);
      if (!clip) return false;
      target.clip = &*clip;
    } else if (isBitsOpcode(opcode)) {
      if (!drawBitsOpcode(cursor, opcode, target, !skipFallbackBitmap)) return false;
      skipFallbackBitmap = false;
    } else if (opcode == kOpCompressedQuickTime && layout.version == PictVersion::Two) {
      const QuickTimeResult result = drawQuickTimeOpcode(cursor, target);
      if (result == QuickTimeResult::Failed) return false;
      skipFallbackBitmap = result == QuickTimeResult::Drawn;
    } else if (!skipOpcodeData(cursor, opcode, layout.version)) {
      // A skip that ran past the end is a cut picture; one that stopped in place is an
      // opcode without a known length.
      return cursor.ok();
    }
  }
}

}  // namespace

Decoded<PictureLayout> locatePicture(std::span<const std::uint8_t> bytes,
                                     const DecodeRequest& request) {
  auto layout = layoutAt(bytes, kFileHeaderBytes);
  if (!layout) layout = layoutAt(bytes, 0);
  if (!layout) {
    const bool cut = !bytes.empty() && bytes.size() < kFileHeaderBytes + kVersionOffset + 4;
    return cut ? DecodeFailure::CutShort : DecodeFailure::Unreadable;
  }
  const PictRect& frame = layout->frame;
  if (frame.isEmpty()) return DecodeError{DecodeFailure::Unreadable, frame.width(), frame.height()};
  if (const auto refused = checkImageSize(frame.width(), frame.height(), request)) return *refused;
  return *layout;
}

Decoded<std::shared_ptr<const ImageRep>> decodePict(std::span<const std::uint8_t> bytes,
                                                    const DecodeRequest& request) {
  const auto layout = locatePicture(bytes, request);
  if (!layout) return layout.error();
  const PictRect& frame = layout->frame;
  auto raster = Bitmap::create(request.keptWidth(frame.width()), request.keptHeight(frame.height()),
                               Bitmap::Fill::Zeroes);
  if (!raster) return raster.error();
  const auto rasterPixels = static_cast<std::uint64_t>(raster->width) *
                            static_cast<std::uint64_t>(raster->height);
  DrawTarget target{*raster, frame, nullptr, rasterPixels * kDrawnFramesBudget};
  PictBytes cursor(bytes, layout->firstOpcode);
  if (!drawOpcodes(cursor, *layout, target)) {
    return DecodeError{cursor.ok() ? DecodeFailure::Unreadable : DecodeFailure::CutShort,
                       frame.width(), frame.height()};
  }
  std::shared_ptr<const ImageRep> rep = std::make_shared<const PictureImageRep>(std::move(*raster));
  return rep;
}

}  // namespace quillane
