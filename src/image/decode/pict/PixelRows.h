#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "image/decode/ByteReader.h"

namespace quillane {

// Rows shorter than this are stored unpacked whatever the packing type says; some writers
// pack them all the same.
inline constexpr int kMinPackedRowBytes = 8;
// A packed row's byte count is one byte up to this rowBytes, a word above it.
inline constexpr int kMaxByteCountRowBytes = 250;

enum class RowPacking {
  Raw,            // rows stored as they are
  PackBits,       // PackBits runs of bytes
  PackBitsWords,  // PackBits runs of 16-bit words (16-bit pixels)
  ShortRows,      // rows shorter than kMinPackedRowBytes under a packing opcode: see below
};

struct RowLayout {
  RowPacking packing = RowPacking::Raw;
  // Bytes of one row once unpacked (for raw rows, as stored).
  std::size_t rowBytes = 0;
  // Whether a packed row's byte count is a word.
  bool wordCount = false;
  // For ShortRows: the rows of the pixel map, and how they would be packed.
  int rowCount = 0;
  RowPacking packedAs = RowPacking::PackBits;
};

// Unpacks PackBits data into out, which it fills exactly: a short run leaves zeros, a long
// one is cut off. unitBytes is 1 for byte runs, 2 for word runs.
void unpackBits(std::span<const std::uint8_t> packed, std::span<std::uint8_t> out,
                std::size_t unitBytes);

// Reads the rows of one pixel map, one at a time. Short rows are read unpacked, as the
// format stores them, when that reading ends where a known opcode starts; else packed, when
// each row unpacks to exactly its length and that reading ends where one starts; else
// unpacked all the same (before an opcode this reader does not know, or cut short).
class PixelRowReader {
 public:
  PixelRowReader(ByteReader& bytes, RowLayout layout);

  // Moves past the next row, unpacking it into row() when `unpack`; false when its data
  // runs past the end.
  bool next(bool unpack);
  std::span<const std::uint8_t> row() const { return row_; }

 private:
  // How short rows are to be read.
  RowPacking shortRowPacking() const;

  ByteReader& bytes_;
  RowLayout layout_;
  std::vector<std::uint8_t> row_;
};

}  // namespace quillane
