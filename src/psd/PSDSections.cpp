#include "psd/PSDSections.h"

#include <cmath>
#include <cstdio>

#include "psd/LayerNames.h"
#include "psd/PSDWriter.h"
#include "util/Exception.h"

namespace quillane {
namespace {

constexpr int kMinChannelCount = 3;
constexpr int kVersion = 1;
constexpr int kBitsPerChannel = 8;
constexpr int kRgbColorMode = 3;
constexpr int kLayerStateResourceId = 1024;
// Flags of a layer record: bit 3 set (bit 4 is meaningful), bit 4 clear; visible.
constexpr std::uint8_t kLayerFlags = 8;

void appendText(ByteBuffer& out, const char* text) {
  for (; *text; ++text) out.push_back(static_cast<std::uint8_t>(*text));
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

}  // namespace

void checkDocumentShape(Size documentSize, int channelCount, std::size_t layerCount) {
  checkDocumentSide(documentSize);
  if (channelCount < kMinChannelCount || layerCount == 0) {
    throw Exception(kGenericExceptionName, kProvideDataReason);
  }
  if (channelCount > kMaxChannelCount) {
    throw Exception(kGenericExceptionName, "A layer channel count of " +
                                               std::to_string(channelCount) +
                                               " is unsupported: layers have 4 channels at most.");
  }
  if (layerCount > kMaxLayerCount) {
    throw Exception(kDocumentTooLargeName, "The document has " + std::to_string(layerCount) +
                                               " layers; a PSD file holds at most " +
                                               std::to_string(kMaxLayerCount) + ".");
  }
  if (!(documentSize.width >= 1.0f && documentSize.height >= 1.0f)) {
    throw Exception(kGenericExceptionName,
                    "You must specify a non-zero documentSize before calling createPSDData");
  }
}

void writeValueAt(ByteBuffer& out, std::size_t at, std::uint32_t value) {
  writeValue(out.data() + at, value, 4);
}

LayerBounds checkedBounds(Rect rect, std::size_t heldBytes, std::size_t index, int dw, int dh) {
  const double x = std::floor(rect.x);
  const double y = std::floor(rect.y);
  const double w = std::floor(rect.width);
  const double h = std::floor(rect.height);
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
  if (heldBytes == 0) return {};
  if (heldBytes != expected) {
    throw Exception(kInvalidLayerDataName, "Layer " + std::to_string(index) +
                                               "'s pixel data holds " + std::to_string(heldBytes) +
                                               " bytes where its rectangle needs " +
                                               std::to_string(expected) + ".");
  }
  return bounds;
}

ByteBuffer extraDataFor(const std::string& name) {
  ByteBuffer data;
  appendValue(data, 0, 4);  // no layer mask
  appendValue(data, 0, 4);  // no blending ranges
  appendBytes(data, layerNameBlocks(name));
  appendBytes(data, PSDWriter::createProtectedSetting());
  ByteBuffer result;
  result.reserve(4 + data.size());
  appendValue(result, static_cast<std::int64_t>(data.size()), 4);
  appendBytes(result, data);
  return result;
}

std::size_t appendLayerRecord(ByteBuffer& out, const std::string& name, float opacity, int dw,
                              int dh, int n) {
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
  appendBytes(out, PSDWriter::signature8BIM());
  appendText(out, "norm");
  out.push_back(opacityByte(opacity));
  out.push_back(0);  // clipping: base
  out.push_back(kLayerFlags);
  out.push_back(0);  // filler
  appendBytes(out, extraDataFor(name));
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
  appendBytes(resources, PSDWriter::signature8BIM());
  appendValue(resources, kLayerStateResourceId, 2);
  appendValue(resources, 0, 2);  // empty name
  appendValue(resources, 2, 4);
  appendValue(resources, 0, 2);  // target layer: the bottom one
  appendValue(out, static_cast<std::int64_t>(resources.size()), 4);
  appendBytes(out, resources);
}

}  // namespace quillane
