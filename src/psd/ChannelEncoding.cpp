#include "psd/ChannelEncoding.h"

#include <string>

#include "psd/PSDWriter.h"
#include "util/Exception.h"

namespace quillane {
namespace {

// The first `channels` samples of each of `width` pixels, as planes of `width` samples.
void splitChannels(const std::uint8_t* pixels, std::size_t width, int channels,
                   std::uint8_t* planes) {
  if (channels == kPixelBytes) {
    std::uint8_t* const red = planes;
    std::uint8_t* const green = planes + width;
    std::uint8_t* const blue = planes + 2 * width;
    std::uint8_t* const alpha = planes + 3 * width;
    for (std::size_t x = 0; x < width; ++x, pixels += kPixelBytes) {
      red[x] = pixels[0];
      green[x] = pixels[1];
      blue[x] = pixels[2];
      alpha[x] = pixels[3];
    }
    return;
  }
  for (int channel = 0; channel < channels; ++channel) {
    std::uint8_t* const plane = planes + std::size_t(channel) * width;
    for (std::size_t x = 0; x < width; ++x) plane[x] = pixels[x * kPixelBytes + std::size_t(channel)];
  }
}

ByteRange rangeOf(std::size_t location, std::size_t length) {
  return {static_cast<std::uint32_t>(location), static_cast<std::uint32_t>(length)};
}

}  // namespace

void raiseFileTooLarge(std::uint64_t maxBytes) {
  throw Exception(kDocumentTooLargeName, "The document needs more than " +
                                             std::to_string(maxBytes) +
                                             " bytes, the most a PSD file can hold.");
}

ChannelEncoder::ChannelEncoder(int documentWidth, int documentHeight, int channelCount,
                               std::uint64_t maxBytes)
    : width_(documentWidth),
      height_(documentHeight),
      channelCount_(channelCount),
      maxBytes_(maxBytes),
      zeros_(static_cast<std::size_t>(documentWidth), 0) {
  appendPackedBits(blankRow_, zeros_, rangeOf(0, zeros_.size()), 1);
}

void ChannelEncoder::checkSize(const ByteBuffer& out) const {
  if (out.size() > maxBytes_) raiseFileTooLarge(maxBytes_);
}

void ChannelEncoder::packMargins(LayerBounds bounds) {
  leftMargin_.clear();
  rightMargin_.clear();
  if (bounds.x > 0) appendPackedBits(leftMargin_, zeros_, rangeOf(0, std::size_t(bounds.x)), 1);
  const int right = width_ - bounds.x - bounds.width;
  if (right > 0) appendPackedBits(rightMargin_, zeros_, rangeOf(0, std::size_t(right)), 1);
}

void ChannelEncoder::packLayerBand(std::span<ByteBuffer> rows,
                                   std::span<std::uint8_t* const> counts,
                                   const LayerRows& layerRow, LayerBounds bounds, int first,
                                   int end) const {
  const std::size_t width = bounds.empty() ? 0 : std::size_t(bounds.width);
  thread_local ByteBuffer planes;  // one row, channel by channel; kept for the next band
  planes.resize(width * std::size_t(channelCount_));
  for (int row = first; row < end; ++row) {
    const bool blank = bounds.empty() || row < bounds.y || row >= bounds.y + bounds.height;
    if (!blank) {
      splitChannels(layerRow(row - bounds.y), width, channelCount_, planes.data());
    }
    for (int channel = 0; channel < channelCount_; ++channel) {
      ByteBuffer& out = rows[std::size_t(channel)];
      const std::size_t rowStart = out.size();
      if (blank) {
        appendBytes(out, blankRow_);
      } else {
        appendBytes(out, leftMargin_);
        const std::span<const std::uint8_t> plane(planes.data() + std::size_t(channel) * width,
                                                  width);
        appendPackedBits(out, plane, rangeOf(0, width), 1);
        appendBytes(out, rightMargin_);
      }
      writeValue(counts[std::size_t(channel)] + std::size_t(row) * kRowCountBytes,
                 std::int64_t(out.size() - rowStart), kRowCountBytes);
      checkSize(out);
    }
  }
}

// Every channel's rows of the whole document in one band; counts laid out channel after
// channel, as the merged image stores them.
ChannelEncoder::PackedRows ChannelEncoder::packAllRows(const LayerRows& layerRow,
                                                       LayerBounds bounds) const {
  PackedRows packed;
  const std::size_t channelCountBytes = std::size_t(height_) * kRowCountBytes;
  packed.counts.resize(std::size_t(channelCount_) * channelCountBytes);
  std::array<std::uint8_t*, kMaxChannelCount> counts{};
  for (int channel = 0; channel < channelCount_; ++channel) {
    counts[std::size_t(channel)] =
        packed.counts.data() + std::size_t(channel) * channelCountBytes;
  }
  packLayerBand(std::span(packed.rows.data(), std::size_t(channelCount_)),
                std::span(counts.data(), std::size_t(channelCount_)), layerRow, bounds, 0,
                height_);
  return packed;
}

ChannelLengths ChannelEncoder::appendLayerChannels(ByteBuffer& out,
                                                   std::span<const std::uint8_t> pixels,
                                                   LayerBounds bounds) {
  if (!bounds.empty()) packMargins(bounds);
  const std::size_t rowBytes = std::size_t(bounds.width) * kPixelBytes;
  const PackedRows packed =
      packAllRows([&](int row) { return pixels.data() + std::size_t(row) * rowBytes; }, bounds);
  const std::size_t channelCountBytes = std::size_t(height_) * kRowCountBytes;
  ChannelLengths lengths{};
  for (int channel = 0; channel < channelCount_; ++channel) {
    const std::size_t start = out.size();
    appendValue(out, kPackBitsCompression, kCompressionBytes);
    const auto counts = packed.counts.begin() + std::ptrdiff_t(channel * channelCountBytes);
    out.insert(out.end(), counts, counts + std::ptrdiff_t(channelCountBytes));
    appendBytes(out, packed.rows[std::size_t(channel)]);
    checkSize(out);
    lengths[std::size_t(channel)] = static_cast<std::uint32_t>(out.size() - start);
  }
  return lengths;
}

void ChannelEncoder::appendMergedImage(ByteBuffer& out, std::span<const std::uint8_t> pixels) {
  const LayerBounds whole{0, 0, width_, height_};
  packMargins(whole);
  const std::size_t rowBytes = std::size_t(width_) * kPixelBytes;
  const PackedRows packed =
      packAllRows([&](int row) { return pixels.data() + std::size_t(row) * rowBytes; }, whole);
  appendValue(out, kPackBitsCompression, kCompressionBytes);
  appendBytes(out, packed.counts);
  for (int channel = 0; channel < channelCount_; ++channel) {
    appendBytes(out, packed.rows[std::size_t(channel)]);
  }
  checkSize(out);
}

}  // namespace quillane
