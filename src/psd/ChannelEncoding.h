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
// Every channel block and the merged image start with their compression: 1, PackBits.
inline constexpr int kPackBitsCompression = 1;
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

// Encodes the image data of a document, PackBits compressed, straight into the file's
// buffer: row byte counts are reserved and filled in as the rows are packed, so nothing is
// packed twice or copied. The blank row and each layer's margins are packed once and reused.
// Every layer is written at canvas size: transparent (all channels 0) outside its bounds.
class ChannelEncoder {
 public:
  // maxBytes: the buffer (the file so far) may not grow past it; encoding stops with the
  // "DocumentTooLarge" exception as soon as it does.
  ChannelEncoder(int documentWidth, int documentHeight, int channelCount, std::uint64_t maxBytes);

  // Bytes of the file already written out of the buffer (by a writer that streams the file
  // and empties the buffer): they count toward maxBytes.
  void noteFlushed(std::uint64_t bytes) { flushed_ += bytes; }

  // Appends the channel blocks of one layer (compression, row counts, rows; one per channel)
  // and answers the size of each. pixels: bounds.width x bounds.height RGBA8 pixels.
  ChannelLengths appendLayerChannels(ByteBuffer& out, std::span<const std::uint8_t> pixels,
                                     LayerBounds bounds);

  // The same one channel at a time, for a writer that packs channels side by side: call
  // packMargins once per layer (bounds not empty), then appendLayerChannel from any thread,
  // each with its own buffer; answers the block's size. The size limit is checked against
  // that buffer alone.
  void packMargins(LayerBounds bounds);
  std::uint32_t appendLayerChannel(ByteBuffer& out, std::span<const std::uint8_t> pixels,
                                   LayerBounds bounds, int channel) const;

  // Rows first .. end - 1 of every channel of a layer, packed as appendLayerChannel packs
  // them, for a writer that packs bands of rows side by side: each row's pixels are split
  // into channels once, so the layer is read once and not once per channel. Call
  // packMargins first (bounds not empty). Channel c's rows are appended to rows[c], their
  // byte counts written to counts[c] (kRowCountBytes, big-endian, per row from row 0 of the
  // document). The size limit is checked against each buffer alone.
  void packLayerBand(std::span<ByteBuffer> rows, std::span<std::uint8_t* const> counts,
                     const LayerRows& layerRow, LayerBounds bounds, int first, int end) const;

  // Appends the merged image data: compression, the row counts of every channel, then the
  // rows. pixels: the document's RGBA8 pixels.
  void appendMergedImage(ByteBuffer& out, std::span<const std::uint8_t> pixels);

  // One channel of the merged image: its packed rows appended to `rows`, their byte counts
  // (kRowCountBytes each, big-endian) written to `counts`. Channels may be packed side by
  // side from different threads, each with its own buffers.
  void packMergedChannel(ByteBuffer& rows, std::uint8_t* counts,
                         std::span<const std::uint8_t> pixels, int channel) const;

 private:
  void checkSize(const ByteBuffer& out) const;

  int width_;
  int height_;
  int channelCount_;
  std::uint64_t maxBytes_;
  std::uint64_t flushed_ = 0;
  ByteBuffer zeros_;
  ByteBuffer blankRow_;
  ByteBuffer leftMargin_;
  ByteBuffer rightMargin_;
};

// Raises "DocumentTooLarge" for a file of more than maxBytes bytes.
[[noreturn]] void raiseFileTooLarge(std::uint64_t maxBytes);

}  // namespace quillane
