#pragma once

// A small PSD reader for the round-trip fuzz target, written from the format's definition
// and sharing nothing with the writer: PSD or PSB, 8-bit RGB, raw or PackBits channels.
// Every malformed or short field throws BadPsd.
#include <cstddef>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <vector>

namespace quillane::fuzz {

struct BadPsd : std::runtime_error {
  using std::runtime_error::runtime_error;
};

struct PsdChannel {
  int id = 0;                         // 0 red, 1 green, 2 blue, -1 transparency
  std::vector<std::uint8_t> samples;  // rows of the layer's rect
};

struct PsdLayer {
  int top = 0, left = 0, bottom = 0, right = 0;
  std::uint8_t opacity = 0;
  std::vector<PsdChannel> channels;
  int width() const { return right - left; }
  int height() const { return bottom - top; }
};

struct PsdDocument {
  int width = 0;
  int height = 0;
  int channelCount = 0;
  std::vector<PsdLayer> layers;
  std::vector<std::vector<std::uint8_t>> merged;  // one plane per channel
};

class PsdCursor {
 public:
  explicit PsdCursor(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
  std::span<const std::uint8_t> take(std::size_t count) {
    if (bytes_.size() - at_ < count) throw BadPsd("short");
    const auto part = bytes_.subspan(at_, count);
    at_ += count;
    return part;
  }
  std::uint64_t u(int width) {
    std::uint64_t value = 0;
    for (const std::uint8_t byte : take(static_cast<std::size_t>(width))) value = value << 8 | byte;
    return value;
  }
  std::int32_t s32() { return static_cast<std::int32_t>(u(4)); }
  std::int16_t s16() { return static_cast<std::int16_t>(u(2)); }
  void expect(const char* text) {
    for (; *text; ++text)
      if (u(1) != static_cast<std::uint8_t>(*text)) throw BadPsd("signature");
  }
  std::size_t position() const { return at_; }
  void seek(std::size_t to) {
    if (to > bytes_.size()) throw BadPsd("seek");
    at_ = to;
  }

 private:
  std::span<const std::uint8_t> bytes_;
  std::size_t at_ = 0;
};

inline std::vector<std::uint8_t> unpackRow(std::span<const std::uint8_t> packed, int width) {
  std::vector<std::uint8_t> row;
  std::size_t i = 0;
  while (i < packed.size()) {
    const auto header = static_cast<std::int8_t>(packed[i++]);
    if (header >= 0) {
      const std::size_t count = static_cast<std::size_t>(header) + 1;
      if (packed.size() - i < count) throw BadPsd("literal");
      row.insert(row.end(), packed.begin() + static_cast<std::ptrdiff_t>(i),
                 packed.begin() + static_cast<std::ptrdiff_t>(i + count));
      i += count;
    } else if (header != -128) {
      if (i == packed.size()) throw BadPsd("run");
      row.insert(row.end(), static_cast<std::size_t>(1 - header), packed[i++]);
    }
  }
  if (row.size() != static_cast<std::size_t>(width)) throw BadPsd("row length");
  return row;
}

// Planes of `count` channels of width x height after a compression field already read.
inline std::vector<std::vector<std::uint8_t>> readPlanes(PsdCursor& in, int compression, int count,
                                                         int width, int height, int rowCountBytes) {
  std::vector<std::vector<std::uint8_t>> planes(static_cast<std::size_t>(count));
  const std::size_t plane = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
  if (compression == 0) {
    for (auto& p : planes) {
      const auto raw = in.take(plane);
      p.assign(raw.begin(), raw.end());
    }
    return planes;
  }
  if (compression != 1) throw BadPsd("compression");
  std::vector<std::uint64_t> counts;
  for (int i = 0; i < count * height; ++i) counts.push_back(in.u(rowCountBytes));
  std::size_t next = 0;
  for (auto& p : planes) {
    for (int y = 0; y < height; ++y) {
      const auto row = unpackRow(in.take(counts[next++]), width);
      p.insert(p.end(), row.begin(), row.end());
    }
  }
  return planes;
}

inline PsdDocument readPsd(std::span<const std::uint8_t> bytes) {
  PsdCursor in(bytes);
  PsdDocument doc;
  in.expect("8BPS");
  const int version = static_cast<int>(in.u(2));
  if (version != 1 && version != 2) throw BadPsd("version");
  const int lengthBytes = version == 1 ? 4 : 8;  // PSB: the large-document form
  const int rowCountBytes = version == 1 ? 2 : 4;
  in.take(6);
  doc.channelCount = static_cast<int>(in.u(2));
  doc.height = static_cast<int>(in.u(4));
  doc.width = static_cast<int>(in.u(4));
  if (in.u(2) != 8 || in.u(2) != 3 || doc.channelCount < 3 || doc.channelCount > 4)
    throw BadPsd("mode");
  in.take(in.u(4));  // colour mode data
  in.take(in.u(4));  // image resources

  const std::uint64_t sectionLength = in.u(lengthBytes);
  const std::size_t sectionEnd = in.position() + sectionLength;
  const std::uint64_t infoLength = in.u(lengthBytes);
  const std::size_t infoEnd = in.position() + infoLength;
  int layerCount = in.s16();
  if (layerCount < 0) layerCount = -layerCount;
  std::vector<std::vector<std::uint64_t>> lengths;
  for (int i = 0; i < layerCount; ++i) {
    PsdLayer layer;
    layer.top = in.s32();
    layer.left = in.s32();
    layer.bottom = in.s32();
    layer.right = in.s32();
    if (layer.width() < 0 || layer.height() < 0) throw BadPsd("rect");
    const std::uint32_t channels = in.u(2);
    lengths.emplace_back();
    for (std::uint32_t c = 0; c < channels; ++c) {
      layer.channels.push_back({in.s16(), {}});
      lengths.back().push_back(in.u(lengthBytes));
    }
    in.expect("8BIM");
    in.take(4);  // blend mode
    layer.opacity = static_cast<std::uint8_t>(in.u(1));
    in.take(3);        // clipping, flags, filler
    in.take(in.u(4));  // mask, blending ranges, name, additional blocks
    doc.layers.push_back(std::move(layer));
  }
  for (std::size_t i = 0; i < doc.layers.size(); ++i) {
    PsdLayer& layer = doc.layers[i];
    for (std::size_t c = 0; c < layer.channels.size(); ++c) {
      const std::size_t start = in.position();
      const int compression = static_cast<int>(in.u(2));
      layer.channels[c].samples = std::move(
          readPlanes(in, compression, 1, layer.width(), layer.height(), rowCountBytes).front());
      if (in.position() - start != lengths[i][c]) throw BadPsd("channel length");
    }
  }
  if (in.position() > infoEnd || infoEnd > sectionEnd) throw BadPsd("layer info length");
  in.seek(sectionEnd);
  const int compression = static_cast<int>(in.u(2));
  doc.merged = readPlanes(in, compression, doc.channelCount, doc.width, doc.height, rowCountBytes);
  return doc;
}

}  // namespace quillane::fuzz
