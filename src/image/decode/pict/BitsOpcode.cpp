#include "image/decode/pict/BitsOpcode.h"

#include <optional>
#include <vector>

#include "image/decode/pict/PixMap.h"
#include "image/decode/pict/PixelFormat.h"
#include "image/decode/pict/Region.h"
#include "util/CheckedSize.h"

namespace quillane {
namespace {

constexpr std::size_t kBaseAddressBytes = 4;   // a handle left in direct opcodes, unused
constexpr std::size_t kTransferModeBytes = 2;  // every mode is drawn as a copy

bool isDirect(std::uint16_t opcode) {
  return opcode == kOpDirectBitsRect || opcode == kOpDirectBitsRgn;
}
bool hasMaskRegion(std::uint16_t opcode) {
  return opcode == kOpBitsRgn || opcode == kOpPackBitsRgn || opcode == kOpDirectBitsRgn;
}
bool isPacked(std::uint16_t opcode) { return opcode != kOpBitsRect && opcode != kOpBitsRgn; }

bool drawRows(ByteReader& bytes, const PixMapInfo& info, const PixelLayout& layout,
              const Palette& palette, RowPlacer& placer) {
  const int width = info.bounds.width();
  const auto rgbaBytes = rgbaByteCount(width, 1);
  if (!rgbaBytes) return false;
  std::vector<std::uint8_t> rgba(*rgbaBytes);
  PixelRowReader reader(bytes, layout.rows);
  for (int row = 0; row < info.bounds.height(); ++row) {
    const bool wanted = placer.wantsRow(row);
    if (!reader.next(wanted)) return false;
    if (!wanted) continue;
    if (!convertRow(layout, palette, reader.row(), width, rgba.data())) return false;
    placer.placeRow(row, rgba.data());
  }
  return true;
}

bool skipRows(ByteReader& bytes, const PixMapInfo& info, const PixelLayout& layout) {
  PixelRowReader reader(bytes, layout.rows);
  for (int row = 0; row < info.bounds.height(); ++row) {
    if (!reader.next(false)) return false;
  }
  return true;
}

}  // namespace

bool isBitsOpcode(std::uint16_t opcode) {
  return opcode == kOpBitsRect || opcode == kOpBitsRgn || opcode == kOpPackBitsRect ||
         opcode == kOpPackBitsRgn || opcode == kOpDirectBitsRect || opcode == kOpDirectBitsRgn;
}

bool drawBitsOpcode(ByteReader& bytes, std::uint16_t opcode, DrawTarget& target, bool draw) {
  if (isDirect(opcode) && !bytes.skip(kBaseAddressBytes)) return false;
  const auto info = readPixMapInfo(bytes, isDirect(opcode));
  if (!info) return false;
  // Direct opcodes carry 16- or 32-bit pixels only; they have no colour table to index.
  if (isDirect(opcode) && info->pixelSize != 16 && info->pixelSize != 32) return false;
  Palette palette = bitmapPalette();
  if (info->isPixMap && !isDirect(opcode)) {
    const auto table = readColourTable(bytes);
    if (!table) return false;
    palette = *table;
  }
  const PictRect srcRect = readPictRect(bytes);
  const PictRect dstRect = readPictRect(bytes);
  bytes.skip(kTransferModeBytes);
  std::optional<Region> mask;
  if (hasMaskRegion(opcode)) {
    mask = readRegion(bytes);
    if (!mask) return false;
  }
  if (!bytes.ok() || !info->bounds.isDrawable()) return false;
  const auto layout = pixelLayoutFor(*info, isPacked(opcode));
  if (!layout) return false;
  if (!draw) return skipRows(bytes, *info, *layout);

  RowPlacer placer(target, info->bounds, srcRect, dstRect, mask ? &*mask : nullptr);
  if (!placer.withinBudget()) return false;
  return drawRows(bytes, *info, *layout, palette, placer);
}

}  // namespace quillane
