#include <cstdio>
#include <string>

#include "psd/ChannelEncoding.h"
#include "psd/PSDSections.h"
#include "psd/PSDWriter.h"
#include "util/Exception.h"
#include "util/Log.h"

namespace quillane {
namespace {

constexpr int kResolutionResourceId = 1005;
// 72.0 pixels per inch (16.16 fixed point), unit pixels per inch, width in inches; the same
// for the height.
constexpr std::uint8_t kResBytes[16] = {0x00, 0x48, 0x00, 0x00, 0x00, 0x01, 0x00, 0x01,
                                        0x00, 0x48, 0x00, 0x00, 0x00, 0x01, 0x00, 0x01};
// "lspf" block: nothing of the layer is protected.
constexpr std::uint8_t kLspf[16] = {'8', 'B', 'I', 'M', 'l', 's', 'p', 'f', 0, 0, 0, 4, 0, 0, 0, 0};

}  // namespace

ByteBuffer PSDWriter::createPSDData(std::uint64_t maxFileBytes) {
  const int n = layerChannelCount_;
  checkDocumentShape(documentSize_, n, layers_ ? layers_->size() : 0);
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
      const std::size_t held = layers[i].imageData ? layers[i].imageData->size() : 0;
      bounds.push_back(checkedBounds(layers[i].rect, held, i, dw, dh));
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
    lengthFields.push_back(appendLayerRecord(out, layer.name, layer.opacity, dw, dh, n));

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
