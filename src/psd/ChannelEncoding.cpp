#include "psd/ChannelEncoding.h"

namespace quillane {
namespace {

// The samples of each of `width` pixels, as four planes of `width` samples. A fully
// transparent pixel has no colour to keep: it is written white, as it always was, which packs
// into runs whatever the source left under it.
void splitChannels(const std::uint8_t* pixels, std::size_t width, std::uint8_t* planes) {
  std::uint8_t* const red = planes;
  std::uint8_t* const green = planes + width;
  std::uint8_t* const blue = planes + 2 * width;
  std::uint8_t* const alpha = planes + 3 * width;
  for (std::size_t x = 0; x < width; ++x, pixels += kPixelBytes) {
    const std::uint8_t clear = pixels[3] == 0 ? 0xFF : 0;
    red[x] = pixels[0] | clear;
    green[x] = pixels[1] | clear;
    blue[x] = pixels[2] | clear;
    alpha[x] = pixels[3];
  }
}

}  // namespace

ChannelEncoder::ChannelEncoder(int documentWidth, int rowCountBytes)
    : width_(documentWidth),
      rowCountBytes_(rowCountBytes),
      zeros_(static_cast<std::size_t>(documentWidth), 0) {
  appendPackedBits(blankRow_, zeros_);
}

void ChannelEncoder::packMargin(LayerBounds bounds) {
  margin_.clear();
  appendPackedBits(margin_, {zeros_.data(), std::size_t(width_ - bounds.width)});
}

void ChannelEncoder::packLayerBand(std::span<ByteBuffer, kChannelCount> rows,
                                   std::span<std::uint8_t* const, kChannelCount> counts,
                                   const LayerRows& layerRow, LayerBounds bounds, int first,
                                   int end, ByteBuffer& planes) const {
  const std::size_t width = bounds.empty() ? 0 : std::size_t(bounds.width);
  planes.resize(width * kChannelCount);
  for (int row = first; row < end; ++row) {
    const bool blank = bounds.empty() || row >= bounds.height;
    if (!blank) splitChannels(layerRow(row), width, planes.data());
    for (int channel = 0; channel < kChannelCount; ++channel) {
      ByteBuffer& out = rows[std::size_t(channel)];
      const std::size_t rowStart = out.size();
      if (blank) {
        appendBytes(out, blankRow_);
      } else {
        appendPackedBits(out, {planes.data() + std::size_t(channel) * width, width});
        appendBytes(out, margin_);
      }
      writeValue(counts[std::size_t(channel)] + std::size_t(row) * std::size_t(rowCountBytes_),
                 std::int64_t(out.size() - rowStart), rowCountBytes_);
    }
  }
}

}  // namespace quillane
