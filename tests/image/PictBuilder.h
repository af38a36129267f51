#pragma once

// Builds QuickDraw pictures byte by byte for the decoder's tests.
#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

#include "image/pict/OpcodeLengths.h"
#include "image/pict/PictRect.h"

namespace quillane::test {

class PictBuilder {
 public:
  // A picture with the given frame; version 2 pictures get the extended header at 72 dpi.
  explicit PictBuilder(PictRect frame, PictVersion version = PictVersion::Two,
                       bool fileHeader = true)
      : version_(version) {
    if (fileHeader) bytes_.assign(512, 0);
    start_ = bytes_.size();
    u16(0).rect(frame);
    if (version == PictVersion::One) {
      u8(0x11).u8(0x01);
      return;
    }
    u16(0x0011).u16(0x02FF).u16(0x0C00).u16(0xFFFE).u16(0);
    u32(0x00480000).u32(0x00480000).rect(frame).u32(0);
  }

  PictBuilder& u8(unsigned value) {
    bytes_.push_back(static_cast<std::uint8_t>(value));
    return *this;
  }
  PictBuilder& u16(unsigned value) { return u8(value >> 8).u8(value); }
  PictBuilder& u32(std::uint32_t value) { return u16(value >> 16).u16(value & 0xFFFF); }
  PictBuilder& rect(const PictRect& r) {
    return u16(static_cast<std::uint16_t>(r.top)).u16(static_cast<std::uint16_t>(r.left))
        .u16(static_cast<std::uint16_t>(r.bottom)).u16(static_cast<std::uint16_t>(r.right));
  }
  PictBuilder& data(const std::vector<std::uint8_t>& more) {
    bytes_.insert(bytes_.end(), more.begin(), more.end());
    return *this;
  }

  // An opcode, on an even offset in version 2.
  PictBuilder& op(unsigned opcode) {
    if (version_ == PictVersion::One) return u8(opcode);
    if ((bytes_.size() - start_) % 2 != 0) u8(0);
    return u16(opcode);
  }

  // A pixel map description: rowBytes (flagged), bounds and the fields that matter.
  PictBuilder& pixMap(unsigned rowBytes, const PictRect& bounds, unsigned packType,
                      unsigned pixelSize, unsigned cmpCount) {
    u16(rowBytes | 0x8000).rect(bounds).u16(0).u16(packType).u32(0);
    u32(0x00480000).u32(0x00480000).u16(pixelSize == 16 || pixelSize == 32 ? 16 : 0);
    u16(pixelSize).u16(cmpCount).u16(pixelSize == 32 ? 8 : pixelSize == 16 ? 5 : pixelSize);
    return u32(0).u32(0).u32(0);
  }

  // A colour table listing the given RGB8 colours for values 0, 1, ...
  PictBuilder& colourTable(const std::vector<std::array<std::uint8_t, 3>>& colours) {
    u32(0).u16(0).u16(static_cast<unsigned>(colours.size() - 1));
    for (std::size_t i = 0; i < colours.size(); ++i) {
      u16(static_cast<unsigned>(i));
      for (const std::uint8_t c : colours[i]) u16(c * 257u);
    }
    return *this;
  }

  // A rectangular region.
  PictBuilder& region(const PictRect& box) { return u16(10).rect(box); }

  // One packed row: a byte count (a word above 250 rowBytes) and literal PackBits packets.
  PictBuilder& packedRow(const std::vector<std::uint8_t>& row, unsigned rowBytes,
                         unsigned unitBytes = 1) {
    std::vector<std::uint8_t> packed;
    for (std::size_t i = 0; i < row.size();) {
      const std::size_t units = std::min<std::size_t>(128, (row.size() - i) / unitBytes);
      packed.push_back(static_cast<std::uint8_t>(units - 1));
      packed.insert(packed.end(), row.begin() + i, row.begin() + i + units * unitBytes);
      i += units * unitBytes;
    }
    if (rowBytes > 250) {
      u16(static_cast<unsigned>(packed.size()));
    } else {
      u8(static_cast<unsigned>(packed.size()));
    }
    return data(packed);
  }

  std::vector<std::uint8_t> finish() {
    op(0x00FF);
    return bytes_;
  }
  const std::vector<std::uint8_t>& bytes() const { return bytes_; }

 private:
  PictVersion version_;
  std::size_t start_ = 0;
  std::vector<std::uint8_t> bytes_;
};

}  // namespace quillane::test
