#include "image/decode/pict/PixMap.h"

#include "image/decode/pict/PixelRows.h"

namespace quillane {
namespace {

// The top bits of rowBytes are flags: the high one marks a pixel map.
constexpr std::uint16_t kPixMapFlag = 0x8000;
constexpr std::uint16_t kRowBytesMask = 0x3FFF;
// A colour table whose flags have this bit lists its entries in pixel-value order.
constexpr std::uint16_t kDeviceTableFlag = 0x8000;
constexpr std::size_t kColourEntryBytes = 8;

std::uint8_t highByte(std::uint16_t component) { return static_cast<std::uint8_t>(component >> 8); }

}  // namespace

std::optional<PixMapInfo> readPixMapInfo(ByteReader& bytes, bool direct) {
  PixMapInfo info;
  const std::uint16_t rowBytesField = bytes.u16be();
  info.isPixMap = direct || (rowBytesField & kPixMapFlag) != 0;
  info.rowBytes = rowBytesField & kRowBytesMask;
  info.bounds = readPictRect(bytes);
  if (info.isPixMap) {
    bytes.skip(2);  // pixel map version
    info.packType = bytes.u16be();
    bytes.skip(4 + 8);  // packed size, resolutions
    bytes.skip(2);      // pixel type
    info.pixelSize = bytes.u16be();
    info.cmpCount = bytes.u16be();
    bytes.skip(2 + 4 + 4 + 4);  // component size, plane bytes, table handle, reserved
  }
  if (!bytes.ok()) return std::nullopt;
  return info;
}

Palette bitmapPalette() {
  Palette palette{};
  palette[0] = {255, 255, 255, 255};
  palette[1] = {0, 0, 0, 255};
  return palette;
}

std::optional<Palette> readColourTable(ByteReader& bytes) {
  Palette palette;
  palette.fill({0, 0, 0, 0});
  bytes.skip(4);  // seed
  const std::uint16_t flags = bytes.u16be();
  const std::size_t entryCount = std::size_t{bytes.u16be()} + 1;
  const auto entries = bytes.take(entryCount * kColourEntryBytes);
  if (!bytes.ok()) return std::nullopt;
  ByteReader entry(entries);
  for (std::size_t i = 0; i < entryCount; ++i) {
    const std::uint16_t value = entry.u16be();
    const std::uint8_t red = highByte(entry.u16be());
    const std::uint8_t green = highByte(entry.u16be());
    const std::uint8_t blue = highByte(entry.u16be());
    const std::size_t index = (flags & kDeviceTableFlag) != 0 ? i : value;
    if (index >= palette.size()) return std::nullopt;  // no pixel could ever use it
    palette[index] = {red, green, blue, 255};
  }
  return palette;
}

bool skipPatternPixMap(ByteReader& bytes) {
  const auto info = readPixMapInfo(bytes, false);
  if (!info || !readColourTable(bytes)) return false;
  const int rows = info->bounds.height();
  if (rows < 0) return false;
  RowLayout layout{RowPacking::PackBits, static_cast<std::size_t>(info->rowBytes),
                   info->rowBytes > kMaxByteCountRowBytes};
  if (info->rowBytes < kMinPackedRowBytes) layout.packing = RowPacking::Raw;
  PixelRowReader reader(bytes, layout);
  for (int row = 0; row < rows; ++row) {
    if (!reader.next(false)) return false;
  }
  return true;
}

}  // namespace quillane
