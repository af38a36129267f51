#include "image/decode/pict/PixelRows.h"

#include <algorithm>

#include "image/decode/pict/BitsOpcode.h"
#include "image/decode/pict/OpcodeLengths.h"
#include "image/decode/pict/QuickTimeJpeg.h"

namespace quillane {
namespace {

constexpr std::uint16_t kOpClip = 0x0001;
constexpr std::uint16_t kOpEndPicture = 0x00FF;

// The last opcode QuickDraw defines; past it (but for QuickTime's) lie reserved ones, whose
// lengths are defined but which no writer uses.
constexpr std::uint16_t kLastDefinedOpcode = 0x00A1;

// Whether the bytes at the cursor hold an opcode QuickDraw defines, with all of its data: a
// version-2 opcode on an even offset, or a version-1 opcode byte.
bool opcodeStartsAt(ByteReader at) {
  const auto known = [](ByteReader bytes, std::uint16_t opcode, PictVersion version) {
    if (!bytes.ok()) return false;
    if (opcode == kOpEndPicture || opcode == kOpClip || isBitsOpcode(opcode)) return true;
    if (version == PictVersion::Two && opcode == kOpCompressedQuickTime) return true;
    return opcode <= kLastDefinedOpcode && skipOpcodeData(bytes, opcode, version);
  };
  ByteReader two = at;
  if (two.position() % 2 != 0) two.skip(1);
  const std::uint16_t opcodeTwo = two.u16be();
  const std::uint16_t opcodeOne = at.u8();
  return known(two, opcodeTwo, PictVersion::Two) || known(at, opcodeOne, PictVersion::One);
}

// Whether PackBits data unpacks to exactly `length` bytes, using every byte of it.
bool unpacksToExactly(std::span<const std::uint8_t> packed, std::size_t length,
                      std::size_t unitBytes) {
  std::size_t in = 0, out = 0;
  while (in < packed.size()) {
    const auto flag = static_cast<std::int8_t>(packed[in++]);
    if (flag == -128) continue;
    const std::size_t units = flag >= 0 ? static_cast<std::size_t>(flag) + 1 : 1;
    if (packed.size() - in < units * unitBytes) return false;
    in += units * unitBytes;
    out += (flag >= 0 ? units : static_cast<std::size_t>(1 - flag)) * unitBytes;
  }
  return out == length;
}

}  // namespace

void unpackBits(std::span<const std::uint8_t> packed, std::span<std::uint8_t> out,
                std::size_t unitBytes) {
  std::size_t in = 0;
  std::size_t written = 0;
  while (in < packed.size() && written < out.size()) {
    const auto flag = static_cast<std::int8_t>(packed[in++]);
    if (flag == -128) continue;  // no-op
    if (flag >= 0) {
      const std::size_t literal =
          std::min((static_cast<std::size_t>(flag) + 1) * unitBytes, packed.size() - in);
      const std::size_t copied = std::min(literal, out.size() - written);
      std::copy_n(packed.begin() + static_cast<std::ptrdiff_t>(in), copied,
                  out.begin() + static_cast<std::ptrdiff_t>(written));
      in += literal;
      written += copied;
    } else {
      if (packed.size() - in < unitBytes) break;
      const std::size_t repeats = static_cast<std::size_t>(1 - flag);
      for (std::size_t r = 0; r < repeats && written < out.size(); ++r) {
        for (std::size_t b = 0; b < unitBytes && written < out.size(); ++b) {
          out[written++] = packed[in + b];
        }
      }
      in += unitBytes;
    }
  }
  std::fill(out.begin() + static_cast<std::ptrdiff_t>(written), out.end(), 0);
}

PixelRowReader::PixelRowReader(ByteReader& bytes, RowLayout layout)
    : bytes_(bytes), layout_(layout), row_(layout.rowBytes) {
  if (layout_.packing == RowPacking::ShortRows) layout_.packing = shortRowPacking();
}

RowPacking PixelRowReader::shortRowPacking() const {
  const auto rows = static_cast<std::size_t>(std::max(layout_.rowCount, 0));
  ByteReader raw = bytes_;
  if (raw.skip(rows * layout_.rowBytes) && opcodeStartsAt(raw)) return RowPacking::Raw;
  ByteReader packed = bytes_;
  const std::size_t unitBytes = layout_.packedAs == RowPacking::PackBitsWords ? 2 : 1;
  bool packedFits = true;
  for (std::size_t row = 0; row < rows && packedFits; ++row) {
    const auto data = packed.take(packed.u8());
    packedFits = packed.ok() && unpacksToExactly(data, layout_.rowBytes, unitBytes);
  }
  if (packedFits && opcodeStartsAt(packed)) return layout_.packedAs;
  // As stored, as the format says: before an opcode this reader does not know, or cut short.
  return RowPacking::Raw;
}

bool PixelRowReader::next(bool unpack) {
  if (layout_.packing == RowPacking::Raw) {
    const auto stored = bytes_.take(layout_.rowBytes);
    if (!bytes_.ok()) return false;
    if (unpack) std::copy(stored.begin(), stored.end(), row_.begin());
    return true;
  }
  const std::size_t count = layout_.wordCount ? bytes_.u16be() : bytes_.u8();
  const auto packed = bytes_.take(count);
  if (!bytes_.ok()) return false;
  if (unpack) unpackBits(packed, row_, layout_.packing == RowPacking::PackBitsWords ? 2 : 1);
  return true;
}

}  // namespace quillane
