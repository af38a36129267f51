#include <cmath>
#include <cstdio>
#include <string>

#include "psd/ChannelEncoding.h"
#include "psd/LayerNames.h"
#include "psd/PSDWriter.h"
#include "util/Exception.h"
#include "util/Log.h"

namespace quillane {
namespace {

constexpr char kProvideDataReason[] =
    "Please provide layer data, flattened data and set layer channel count to at least 3.";
constexpr int kMinChannelCount = 3;
// The layer count is a signed 16-bit field (a negative count means something else).
constexpr std::size_t kMaxLayerCount = 32767;
constexpr int kVersion = 1;
constexpr int kBitsPerChannel = 8;
constexpr int kRgbColorMode = 3;
constexpr int kResolutionResourceId = 1005;
constexpr int kLayerStateResourceId = 1024;
// Header, colour mode data and image resources: the layer and mask section starts here.
constexpr std::size_t kLayerSectionOffset = 76;
// After the two section lengths: the layer information (its length counts from here).
constexpr std::size_t kLayerInfoOffset = kLayerSectionOffset + 8;
// Flags of a layer record: bit 3 set (bit 4 is meaningful), bit 4 clear; visible.
constexpr std::uint8_t kLayerFlags = 8;
constexpr int kPixelBytes = 4;
// 72.0 pixels per inch (16.16 fixed point), unit pixels per inch, width in inches; the same
// for the height.
constexpr std::uint8_t kResBytes[16] = {0x00, 0x48, 0x00, 0x00, 0x00, 0x01, 0x00, 0x01,
                                        0x00, 0x48, 0x00, 0x00, 0x00, 0x01, 0x00, 0x01};
// "lspf" block: nothing of the layer is protected.
constexpr std::uint8_t kLspf[16] = {'8', 'B', 'I', 'M', 'l', 's', 'p', 'f', 0, 0, 0, 4, 0, 0, 0, 0};

void appendText(ByteBuffer& out, const char* text) {
  for (; *text; ++text) out.push_back(static_cast<std::uint8_t>(*text));
}

void append(ByteBuffer& out, const ByteBuffer& bytes) {
  out.insert(out.end(), bytes.begin(), bytes.end());
}

void writeValueAt(ByteBuffer& out, std::size_t at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) out[at + i] = static_cast<std::uint8_t>(value >> (24 - 8 * i));
}

[[noreturn]] void raiseOutOfBounds(const char* format, std::size_t index) {
  char reason[128];
  std::snprintf(reason, sizeof reason, format, static_cast<int>(index));
  throw Exception(kLayerOutOfBoundsName, reason);
}

// ceil(opacity x 255) in single precision, kept within a byte.
std::uint8_t opacityByte(float opacity) {
  const float value = std::ceil(opacity * 255.0f);
  if (!(value > 0.0f)) return 0;
  return value >= 255.0f ? 255 : static_cast<std::uint8_t>(value);
}

// The whole-pixel bounds of a layer (its rect rounded down), checked against the canvas,
// and its pixels checked against them. A layer without pixels is written transparent.
LayerBounds checkedBounds(const PSDLayer& layer, std::size_t index, int dw, int dh) {
  const double x = std::floor(layer.rect.x);
  const double y = std::floor(layer.rect.y);
  const double w = std::floor(layer.rect.width);
  const double h = std::floor(layer.rect.height);
  if (!(x >= 0) || !(y >= 0)) {
    raiseOutOfBounds("Layer %i's x or y origin is negative, which is unsupported", index);
  }
  if (!(x + w <= dw) || !(y + h <= dh)) {
    raiseOutOfBounds(
        "Layer %i's bottom-right corner is beyond the edge of the canvas, which is unsupported",
        index);
  }
  LayerBounds bounds;
  if (w >= 1 && h >= 1) {
    bounds = {static_cast<int>(x), static_cast<int>(y), static_cast<int>(w), static_cast<int>(h)};
  }
  const std::size_t expected = std::size_t(bounds.width) * std::size_t(bounds.height) * kPixelBytes;
  const std::size_t held = layer.imageData ? layer.imageData->size() : 0;
  if (held == 0) return {};
  if (held != expected) {
    throw Exception(kInvalidLayerDataName, "Layer " + std::to_string(index) +
                                               "'s pixel data holds " + std::to_string(held) +
                                               " bytes where its rectangle needs " +
                                               std::to_string(expected) + ".");
  }
  return bounds;
}

ByteBuffer extraDataFor(const std::string& name) {
  ByteBuffer data;
  appendValue(data, 0, 4);  // no layer mask
  appendValue(data, 0, 4);  // no blending ranges
  append(data, layerNameBlocks(name));
  append(data, PSDWriter::createProtectedSetting());
  ByteBuffer result;
  result.reserve(4 + data.size());
  appendValue(result, static_cast<std::int64_t>(data.size()), 4);
  append(result, data);
  return result;
}

// Appends a full-canvas layer record whose channel lengths are filled in later; answers
// where the first length is (the others follow every 6 bytes).
std::size_t appendLayerRecord(ByteBuffer& out, const PSDLayer& layer, int dw, int dh, int n) {
  appendValue(out, 0, 4);
  appendValue(out, 0, 4);
  appendValue(out, dh, 4);
  appendValue(out, dw, 4);
  appendValue(out, n, 2);
  const std::size_t lengths = out.size() + 2;
  for (int channel = 0; channel < n; ++channel) {
    if (channel < 3) {
      appendValue(out, channel, 2);
    } else {
      out.push_back(0xFF);  // id -1: transparency
      out.push_back(0xFF);
    }
    appendValue(out, 0, 4);
  }
  append(out, PSDWriter::signature8BIM());
  appendText(out, "norm");
  out.push_back(opacityByte(layer.opacity));
  out.push_back(0);  // clipping: base
  out.push_back(kLayerFlags);
  out.push_back(0);  // filler
  append(out, extraDataFor(layer.name));
  return lengths;
}

void appendHeader(ByteBuffer& out, int dw, int dh, int n) {
  appendText(out, "8BPS");
  appendValue(out, kVersion, 2);
  appendValue(out, 0, 6);
  appendValue(out, n, 2);
  appendValue(out, dh, 4);
  appendValue(out, dw, 4);
  appendValue(out, kBitsPerChannel, 2);
  appendValue(out, kRgbColorMode, 2);
  appendValue(out, 0, 4);  // no colour mode data
}

void appendImageResources(ByteBuffer& out) {
  ByteBuffer resources = PSDWriter::resolutionInfo();
  append(resources, PSDWriter::signature8BIM());
  appendValue(resources, kLayerStateResourceId, 2);
  appendValue(resources, 0, 2);  // empty name
  appendValue(resources, 2, 4);
  appendValue(resources, 0, 2);  // target layer: the bottom one
  appendValue(out, static_cast<std::int64_t>(resources.size()), 4);
  append(out, resources);
}

}  // namespace

ByteBuffer PSDWriter::createPSDData(std::uint64_t maxFileBytes) {
  checkDocumentSide(documentSize_);
  const int n = layerChannelCount_;
  if (n < kMinChannelCount || !layers_ || layers_->empty()) {
    throw Exception(kGenericExceptionName, kProvideDataReason);
  }
  if (n > kMaxChannelCount) {
    throw Exception(kGenericExceptionName, "A layer channel count of " + std::to_string(n) +
                                               " is unsupported: layers have 4 channels at most.");
  }
  if (layers_->size() > kMaxLayerCount) {
    throw Exception(kDocumentTooLargeName, "The document has " + std::to_string(layers_->size()) +
                                               " layers; a PSD file holds at most " +
                                               std::to_string(kMaxLayerCount) + ".");
  }
  if (!(documentSize_.width >= 1.0f && documentSize_.height >= 1.0f)) {
    throw Exception(kGenericExceptionName,
                    "You must specify a non-zero documentSize before calling createPSDData");
  }
  const int dw = static_cast<int>(documentSize_.width);
  const int dh = static_cast<int>(documentSize_.height);
  preprocess();
  if (!flattenedData_ ||
      flattenedData_->size() != std::size_t(dw) * std::size_t(dh) * kPixelBytes) {
    throw Exception(kGenericExceptionName, kProvideDataReason);
  }

  // Every layer leaves the list; a layer that fails its checks leaves those before it gone.
  std::vector<PSDLayer> layers = std::move(*layers_);
  layers_->clear();
  std::vector<LayerBounds> bounds;
  bounds.reserve(layers.size());
  for (std::size_t i = 0; i < layers.size(); ++i) {
    try {
      bounds.push_back(checkedBounds(layers[i], i, dw, dh));
    } catch (const Exception&) {
      layers_->assign(std::make_move_iterator(layers.begin() + std::ptrdiff_t(i)),
                      std::make_move_iterator(layers.end()));
      throw;
    }
  }

  ByteBuffer out;
  appendHeader(out, dw, dh, n);
  appendImageResources(out);
  appendValue(out, 0, 4);  // layer and mask section length, filled in below
  appendValue(out, 0, 4);  // layer information length, filled in below
  appendValue(out, static_cast<std::int64_t>(layers.size()), 2);
  std::vector<std::size_t> lengthFields;
  lengthFields.reserve(layers.size());
  for (const PSDLayer& layer : layers)
    lengthFields.push_back(appendLayerRecord(out, layer, dw, dh, n));

  ChannelEncoder encoder(dw, dh, n, maxFileBytes);
  for (std::size_t i = 0; i < layers.size(); ++i) {
    const std::span<const std::uint8_t> pixels =
        layers[i].imageData ? std::span<const std::uint8_t>(*layers[i].imageData)
                            : std::span<const std::uint8_t>();
    const ChannelLengths lengths = encoder.appendLayerChannels(out, pixels, bounds[i]);
    for (int channel = 0; channel < n; ++channel) {
      writeValueAt(out, lengthFields[i] + 6 * std::size_t(channel), lengths[channel]);
    }
    layers[i].imageData.reset();
  }
  if ((out.size() - kLayerInfoOffset) % 2 != 0) out.push_back(0);
  const std::size_t layerInfoLength = out.size() - kLayerInfoOffset;
  writeValueAt(out, kLayerSectionOffset, static_cast<std::uint32_t>(layerInfoLength + 4));
  writeValueAt(out, kLayerSectionOffset + 4, static_cast<std::uint32_t>(layerInfoLength));

  encoder.appendMergedImage(out, *flattenedData_);
  return out;
}

ByteBuffer PSDWriter::resolutionInfo() {
  ByteBuffer block = signature8BIM();
  appendValue(block, kResolutionResourceId, 2);
  appendValue(block, 0, 2);  // empty name
  appendValue(block, sizeof kResBytes, 4);
  block.insert(block.end(), std::begin(kResBytes), std::end(kResBytes));
  return block;
}

ByteBuffer PSDWriter::signature8BIM() { return {'8', 'B', 'I', 'M'}; }

ByteBuffer PSDWriter::createProtectedSetting() {
  return ByteBuffer(std::begin(kLspf), std::end(kLspf));
}

ByteBuffer PSDWriter::createExtraData() const {
  return extraDataFor(layers_ && !layers_->empty() ? layers_->front().name : std::string());
}

void PSDWriter::dump(const std::uint8_t* bytes, std::size_t count) {
  std::string text;
  text.reserve(count * 3);
  char piece[4];
  for (std::size_t i = 0; i < count; ++i) {
    std::snprintf(piece, sizeof piece, "%02x ", bytes[i]);
    text += piece;
  }
  logText(text);
}

}  // namespace quillane
