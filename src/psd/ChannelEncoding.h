#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <span>

#include "psd/ByteBuffer.h"

namespace quillane {

// Every layer and the merged image have four channels: R, G, B and transparency, one byte
// each a pixel.
inline constexpr int kChannelCount = 4;
inline constexpr int kPixelBytes = 4;
// Every channel block and the merged image start with their compression: 1, PackBits, in
// two bytes.
inline constexpr int kPackBitsCompression = 1;
inline constexpr int kCompressionBytes = 2;

// The part of the canvas a layer's pixels cover, from its top-left corner, in whole pixels.
// A layer with no width or height is written fully transparent.
struct LayerBounds {
  int width = 0;
  int height = 0;
  bool empty() const { return width <= 0 || height <= 0; }
};

// Row `row` (0 at the top) of a layer's bounds: at least bounds.width straight RGBA8 pixels.
using LayerRows = std::function<const std::uint8_t*(int row)>;

// Packs the channels of a document's rows with PackBits. Every layer is written at canvas
// size: transparent (all channels 0) outside its bounds. The blank row and each layer's
// right margin are packed once and reused.
class ChannelEncoder {
 public:
  // rowCountBytes: the width of each packed row's byte count (2 in a PSD, 4 in a PSB).
  ChannelEncoder(int documentWidth, int rowCountBytes);

  // Once per layer, before its bands are packed.
  void packMargin(LayerBounds bounds);
  // Rows first .. end - 1 of every channel, from any thread, each band with its own buffers.
  // Each row's pixels are split into channels once (into planes, the band's scratch), so the
  // layer is read once and not once per channel. Channel c's rows are appended to rows[c],
  // their byte counts written to counts[c] (rowCountBytes each, big-endian, one per row
  // from row 0 of the document).
  void packLayerBand(std::span<ByteBuffer, kChannelCount> rows,
                     std::span<std::uint8_t* const, kChannelCount> counts,
                     const LayerRows& layerRow, LayerBounds bounds, int first, int end,
                     ByteBuffer& planes) const;

 private:
  int width_;
  int rowCountBytes_;
  ByteBuffer zeros_;  // one channel of a transparent row
  ByteBuffer blankRow_;
  ByteBuffer margin_;  // one channel of the transparent part right of the layer
};

}  // namespace quillane
