#include "image/decode/pict/OpcodeLengths.h"

#include "image/decode/pict/PixMap.h"

namespace quillane {
namespace {

// Regions and polygons begin with their own size, the size word included.
bool skipSelfSized(ByteReader& bytes) {
  const std::uint16_t size = bytes.u16be();
  return bytes.ok() && size >= 2 && bytes.skip(size - 2);
}

bool skipWordSized(ByteReader& bytes) { return bytes.skip(bytes.u16be()) && bytes.ok(); }

bool skipLongSized(ByteReader& bytes) {
  const std::uint32_t size = bytes.u32be();
  return bytes.ok() && bytes.skip(size);
}

// Text opcodes: a fixed prefix, then a count byte and that many characters.
bool skipText(ByteReader& bytes, std::size_t prefix) {
  if (!bytes.skip(prefix)) return false;
  return bytes.skip(bytes.u8()) && bytes.ok();
}

// The colour pattern opcodes: a pattern type, an 8-byte bitmap pattern, then either an RGB
// colour (dither pattern) or a whole pixel map with its colour table and pixels.
bool skipPixPat(ByteReader& bytes) {
  constexpr std::uint16_t kColourPattern = 1;
  constexpr std::uint16_t kDitherPattern = 2;
  const std::uint16_t type = bytes.u16be();
  if (!bytes.skip(8)) return false;
  if (type == kDitherPattern) return bytes.skip(6);
  if (type != kColourPattern) return bytes.ok();
  return skipPatternPixMap(bytes);
}

bool skipVersion2Only(ByteReader& bytes, std::uint16_t opcode) {
  if (opcode >= 0x0012 && opcode <= 0x0014) return skipPixPat(bytes);
  if (opcode >= 0x0092 && opcode <= 0x0097) return skipWordSized(bytes);
  if (opcode >= 0x009C && opcode <= 0x009F) return skipWordSized(bytes);
  if (opcode >= 0x00A2 && opcode <= 0x00AF) return skipWordSized(bytes);
  if (opcode >= 0x00B0 && opcode <= 0x00CF) return true;
  if (opcode >= 0x00D0 && opcode <= 0x00FE) return skipLongSized(bytes);
  // Reserved two-byte opcodes carry two data bytes per 0x100 of their value (the header
  // opcode 0C00 its 24 bytes).
  if (opcode >= 0x0100 && opcode <= 0x7FFF) return bytes.skip((opcode >> 8) * 2u);
  if (opcode >= 0x8000 && opcode <= 0x80FF) return true;
  if (opcode >= 0x8100) return skipLongSized(bytes);
  return false;
}

}  // namespace

bool skipOpcodeData(ByteReader& bytes, std::uint16_t opcode, PictVersion version) {
  if (opcode <= 0x00A1 || opcode == 0x00FF) {
    switch (opcode) {
      case 0x0000:
      case 0x001C:
      case 0x001E:
        return true;  // NOP, hilite modes
      case 0x0001:
        return skipSelfSized(bytes);  // Clip
      case 0x0002:
      case 0x0009:
      case 0x000A:
      case 0x0010:
        return bytes.skip(8);
      case 0x0003:
      case 0x0005:
      case 0x0008:
      case 0x000D:
      case 0x0015:
      case 0x0016:
        return bytes.skip(2);
      case 0x0004:
      case 0x0011:
        return bytes.skip(1);  // TxFace, version
      case 0x0006:
      case 0x0007:
      case 0x000B:
      case 0x000C:
      case 0x000E:
      case 0x000F:
        return bytes.skip(4);
      case 0x001A:
      case 0x001B:
      case 0x001D:
      case 0x001F:
        return bytes.skip(6);
      case 0x0020:
        return bytes.skip(8);  // Line
      case 0x0021:
        return bytes.skip(4);  // LineFrom
      case 0x0022:
        return bytes.skip(6);  // ShortLine
      case 0x0023:
        return bytes.skip(2);  // ShortLineFrom
      case 0x0028:
        return skipText(bytes, 4);  // LongText
      case 0x0029:
      case 0x002A:
        return skipText(bytes, 1);  // DHText, DVText
      case 0x002B:
        return skipText(bytes, 2);  // DHDVText
      case 0x0024:
      case 0x0025:
      case 0x0026:
      case 0x0027:
      case 0x002C:
      case 0x002D:
      case 0x002E:
      case 0x002F:
        return skipWordSized(bytes);
      case 0x00A0:
        return bytes.skip(2);  // ShortComment
      case 0x00A1:
        return bytes.skip(2) && skipWordSized(bytes);  // LongComment
      case 0x00FF:
        return true;  // OpEndPic
      default:
        break;
    }
    if (opcode >= 0x0017 && opcode <= 0x0019) return true;
    if (opcode >= 0x0030 && opcode <= 0x0037) return bytes.skip(8);  // rectangles
    if (opcode >= 0x0038 && opcode <= 0x003F) return true;
    if (opcode >= 0x0040 && opcode <= 0x0047) return bytes.skip(8);  // rounded rects
    if (opcode >= 0x0048 && opcode <= 0x004F) return true;
    if (opcode >= 0x0050 && opcode <= 0x0057) return bytes.skip(8);  // ovals
    if (opcode >= 0x0058 && opcode <= 0x005F) return true;
    if (opcode >= 0x0060 && opcode <= 0x0067) return bytes.skip(12);  // arcs
    if (opcode >= 0x0068 && opcode <= 0x006F) return bytes.skip(4);
    if (opcode >= 0x0070 && opcode <= 0x0077) return skipSelfSized(bytes);  // polygons
    if (opcode >= 0x0078 && opcode <= 0x007F) return true;
    if (opcode >= 0x0080 && opcode <= 0x0087) return skipSelfSized(bytes);  // regions
    if (opcode >= 0x0088 && opcode <= 0x008F) return true;
  }
  if (version == PictVersion::One) return false;
  return skipVersion2Only(bytes, opcode);
}

}  // namespace quillane
