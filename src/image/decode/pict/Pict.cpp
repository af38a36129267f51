#include <optional>

#include "image/decode/ByteReader.h"
#include "image/decode/Decoders.h"
#include "image/decode/SizeCheck.h"
#include "image/decode/pict/BitsOpcode.h"
#include "image/decode/pict/PictHeader.h"
#include "image/decode/pict/QuickTimeJpeg.h"
#include "image/decode/pict/Region.h"
#include "image/decode/pict/RowPlacer.h"

namespace quillane {
namespace {

constexpr std::uint16_t kOpClip = 0x0001;
constexpr std::uint16_t kOpEndPicture = 0x00FF;

std::uint16_t readOpcode(ByteReader& bytes, const PictHeader& header) {
  if (header.version == PictVersion::One) return bytes.u8();
  // Version-2 opcodes start on even offsets from the picture's start.
  if ((bytes.position() - header.start) % 2 != 0) bytes.skip(1);
  return bytes.u16be();
}

// Runs the opcodes in order until the end of the picture or an opcode this decoder does not
// know (which ends the drawing and keeps what was drawn). Data that is cut short or does not
// hold together (a bitmap whose rows overrun, a size past the end of the bytes, a picture
// without its end) makes the whole picture corrupt: half a picture is not a picture.
// Answers whether the opcodes were drawn whole.
bool drawOpcodes(ByteReader& cursor, const PictHeader& header, DrawTarget& target) {
  std::optional<Region> clip;
  // A compressed QuickTime image is followed by a bitmap for QuickDraw without QuickTime
  // (a placeholder); once the image is drawn, that bitmap is not.
  bool skipFallbackBitmap = false;
  while (true) {
    const std::uint16_t opcode = readOpcode(cursor, header);
    if (!cursor.ok()) return false;
    if (opcode == kOpEndPicture) return true;
    if (opcode == kOpClip) {
      clip = readRegion(cursor);
      if (!clip) return false;
      target.clip = &*clip;
    } else if (isBitsOpcode(opcode)) {
      if (!drawBitsOpcode(cursor, opcode, target, !skipFallbackBitmap)) return false;
      skipFallbackBitmap = false;
    } else if (opcode == kOpCompressedQuickTime && header.version == PictVersion::Two) {
      const QuickTimeResult result = drawQuickTimeOpcode(cursor, target);
      if (result == QuickTimeResult::Failed) return false;
      skipFallbackBitmap = result == QuickTimeResult::Drawn;
    } else if (!skipOpcodeData(cursor, opcode, header.version)) {
      // A skip that ran past the end is a cut picture; one that stopped in place is an
      // opcode without a known length.
      return cursor.ok();
    }
  }
}

}  // namespace

Decoded<DecodedImage> decodePict(std::span<const std::uint8_t> bytes,
                                 const DecodeRequest& request) {
  const auto header = readPictHeader(bytes);
  if (!header) return header.error();
  const PictRect& frame = header->frame;
  if (frame.isEmpty()) return DecodeError{DecodeFailure::Unreadable, frame.width(), frame.height()};
  if (const auto refused = checkImageSize(frame.width(), frame.height(), request)) return *refused;
  auto raster = createBitmap(request.keptWidth(frame.width()), request.keptHeight(frame.height()),
                             BitmapFill::Zeroes);
  if (!raster) return raster.error();
  const auto rasterPixels =
      static_cast<std::uint64_t>(raster->width) * static_cast<std::uint64_t>(raster->height);
  DrawTarget target{*raster, frame, nullptr, rasterPixels * kDrawnFramesBudget};
  ByteReader cursor(bytes, header->firstOpcode);
  if (!drawOpcodes(cursor, *header, target)) {
    return DecodeError{cursor.ok() ? DecodeFailure::Unreadable : DecodeFailure::CutShort,
                       frame.width(), frame.height()};
  }
  // A picture declares no resolution of its own: its frame is in pixels at 72 dpi.
  return DecodedImage{std::move(*raster), {}};
}

}  // namespace quillane
