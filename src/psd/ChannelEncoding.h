#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <span>

#include "psd/ByteBuffer.h"

namespace quillane {

// A document holds R, G, B and, optionally, transparency: layer pixels have four bytes.
inline constexpr int kMaxChannelCount = 4;
inline constexpr int kPixelBytes = 4;
// Every channel block and the merged image start with their compression: 1, PackBits, in
// two bytes.
inline constexpr int kPackBitsCompression = 1;
inline constexpr int kCompressionBytes = 2;
// Each packed row's byte count is a 16-bit field.
inline constexpr int kRowCountBytes = 2;
using ChannelLengths = std::array<std::uint32_t, kMaxChannelCount>;

// Where a layer's pixels lie on the canvas, in whole pixels, inside it. A layer with no
// width or height is written fully transparent.
struct LayerBounds {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
  bool empty() const { return width <= 0 || height <= 0; }
};

// Row `row` (0 at the top) of a layer's bounds.width RGBA8 pixels a row, as a writer
// provides them: a row of its image, or one converted on the calling thread.
using LayerRows = std::function<const std::uint8_t*(int row)>;

// Encodes the image data of a document, PackBits compressed. The blank row and each layer's
// margins are packed once and reused. Every layer is written at canvas size: transparent
// (all channels 0) outside its bounds.
class ChannelEncoder {
 public:
  // maxBytes: the file may not grow past it; encoding stops with the "DocumentTooLarge"
  // exception as soon as a buffer it fills does (a streaming writer checks the whole file).
  ChannelEncoder(int documentWidth, int documentHeight, int channelCount, std::uint64_t maxBytes);

  // Appends the channel blocks of one layer (compression, row counts, rows; one per channel)
  // and answers the size of each. pixels: bounds.width x bounds.height RGBA8 pixels.
  ChannelLengths appendLayerChannels(ByteBuffer& out, std::span<const std::uint8_t> pixels,
                                     LayerBounds bounds);

  // Appends the merged image data: compression, the row counts of every channel, then the
  // rows. pixels: the document's RGBA8 pixels.
  void appendMergedImage(ByteBuffer& out, std::span<const std::uint8_t> pixels);

  // For a writer that packs bands of rows side by side: packMargins once per layer (bounds
  // not empty), then packLayerBand from any thread, each band with its own buffers.
  void packMargins(LayerBounds bounds);
  // Rows first .. end - 1 of every channel of a layer. Each row's pixels are split into
  // channels once, so the layer is read once and not once per channel. Channel c's rows are
  // appended to rows[c], their byte counts written to counts[c] (kRowCountBytes, big-endian,
  // per row from row 0 of the document). The size limit is checked against each buffer
  // alone.
  void packLayerBand(std::span<ByteBuffer> rows, std::span<std::uint8_t* const> counts,
                     const LayerRows& layerRow, LayerBounds bounds, int first, int end) const;

 private:
  struct PackedRows {
    std::array<ByteBuffer, kMaxChannelCount> rows;
    ByteBuffer counts;  // every channel's, one channel after another
  };
  PackedRows packAllRows(const LayerRows& layerRow, LayerBounds bounds) const;
  void checkSize(const ByteBuffer& out) const;

  int width_;
  int height_;
  int channelCount_;
  std::uint64_t maxBytes_;
  ByteBuffer zeros_;  // one channel of a transparent row
  ByteBuffer blankRow_;
  ByteBuffer leftMargin_;
  ByteBuffer rightMargin_;
};

// Raises "DocumentTooLarge" for a file of more than maxBytes bytes.
[[noreturn]] void raiseFileTooLarge(std::uint64_t maxBytes);

}  // namespace quillane
