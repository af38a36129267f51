#include "psd/PSDSections.h"

#include <cmath>
#include <string_view>

#include "psd/ChannelEncoding.h"
#include "psd/LayerNames.h"
#include "util/CheckedSize.h"
#include "util/Error.h"

namespace quillane {
namespace {

constexpr int kBitsPerChannel = 8;
constexpr int kRgbColorMode = 3;
constexpr int kResolutionResourceId = 1005;
constexpr int kLayerStateResourceId = 1024;
constexpr int kIccProfileResourceId = 1039;
constexpr int kPixelsPerInch = 1;
constexpr int kInches = 1;
// "lspf" block: nothing of the layer is protected.
constexpr std::uint8_t kNothingProtected[16] = {'8', 'B', 'I', 'M', 'l', 's', 'p', 'f',
                                                0,   0,   0,   4,   0,   0,   0,   0};
constexpr std::uint8_t kOpaque = 255;
// Flags of a layer record: bit 3 set (bit 4 is meaningful), bit 4 clear; visible.
constexpr std::uint8_t kLayerFlags = 8;
// A group's records: bit 4 set too, their pixel data do not show in the document.
constexpr std::uint8_t kGroupFlags = 8 | 16;
// The "lsct" types of a group's own record (shown open) and of its end marker.
constexpr int kOpenFolder = 1;
constexpr int kGroupEndMarker = 3;
// The name readers expect on a group's end marker.
constexpr char kGroupEndName[] = "</Layer group>";
constexpr std::uint8_t kTransparencyChannelId[2] = {0xFF, 0xFF};  // id -1

void appendText(ByteBuffer& out, std::string_view text) {
  out.insert(out.end(), text.begin(), text.end());
}

void appendResource(ByteBuffer& out, int id, std::span<const std::uint8_t> data) {
  appendText(out, "8BIM");
  appendValue(out, id, 2);
  appendValue(out, 0, 2);  // empty name
  appendValue(out, static_cast<std::int64_t>(data.size()), 4);
  appendBytes(out, data);
  if (data.size() % 2 != 0) appendValue(out, 0, 1);  // data are padded to an even length
}

// The record's blend: a group's own record passes its children's blending through.
const char* blendKey(LayerKind kind, Blend blend) {
  if (kind == LayerKind::Group) return "8BIMpass";
  if (kind == LayerKind::Pixels && blend == Blend::Multiply) return "8BIMmul ";
  return "8BIMnorm";
}

// "lsct": which end of a group the record is; the group's own one also says that the group
// passes its children's blending through.
ByteBuffer groupSetting(LayerKind kind) {
  ByteBuffer block;
  appendText(block, "8BIMlsct");
  if (kind == LayerKind::GroupEnd) {
    appendValue(block, 4, 4);
    appendValue(block, kGroupEndMarker, 4);
  } else {
    appendValue(block, 12, 4);
    appendValue(block, kOpenFolder, 4);
    appendText(block, "8BIMpass");
  }
  return block;
}

// The record's extra data: no mask, no blending ranges, the names, "lspf", and a group's
// "lsct".
void appendExtraData(ByteBuffer& out, const LayerRecord& record) {
  const bool pixels = record.kind == LayerKind::Pixels;
  const ByteBuffer names =
      createLayerName(record.kind == LayerKind::GroupEnd ? kGroupEndName : record.name);
  const ByteBuffer group = pixels ? ByteBuffer{} : groupSetting(record.kind);
  appendValue(out,
              static_cast<std::int64_t>(8 + names.size() + sizeof kNothingProtected + group.size()),
              4);
  appendValue(out, 0, 4);  // no layer mask
  appendValue(out, 0, 4);  // no blending ranges
  appendBytes(out, names);
  appendBytes(out, kNothingProtected);
  appendBytes(out, group);
}

}  // namespace

std::vector<LayerRecord> pixelLayers(std::vector<std::string> names) {
  std::vector<LayerRecord> records;
  records.reserve(names.size());
  for (std::string& name : names) records.push_back({std::move(name), LayerKind::Pixels});
  return records;
}

const PSDFormatRules& rulesOf(PSDFormat format) {
  static constexpr PSDFormatRules kPsd{1, kMaxPsdSide, 4, 2, kMaxPsdFileBytes};
  static constexpr PSDFormatRules kPsb{2, kMaxPsbSide, 8, 4, UINT64_MAX};
  return format == PSDFormat::Psb ? kPsb : kPsd;
}

void checkDocumentShape(PSDFormat format, Size documentSize, std::size_t layerCount) {
  const int maxSide = rulesOf(format).maxSide;
  const auto tooLarge = [maxSide](int side) { return side > maxSide; };
  if (tooLarge(documentSize.width) || tooLarge(documentSize.height)) {
    Error error(ErrorKind::PsdSideLimit);
    error.width = documentSize.width;
    error.height = documentSize.height;
    error.limit = maxSide;
    throw error;
  }
  if (layerCount == 0) throw internalError("a document needs a layer");
  if (layerCount > kMaxLayerCount) {
    Error error(ErrorKind::TooManyFiles);
    error.width = static_cast<long long>(layerCount);
    error.limit = kMaxLayerCount;
    throw error;
  }
  if (documentSize.width < 1 || documentSize.height < 1)
    throw internalError("a document needs a canvas of at least 1 x 1 pixels");
}

void appendHeader(ByteBuffer& out, PSDFormat format, int documentWidth, int documentHeight) {
  appendText(out, "8BPS");
  appendValue(out, rulesOf(format).version, 2);
  appendValue(out, 0, 6);
  appendValue(out, kChannelCount, 2);
  appendValue(out, documentHeight, 4);
  appendValue(out, documentWidth, 4);
  appendValue(out, kBitsPerChannel, 2);
  appendValue(out, kRgbColorMode, 2);
  appendValue(out, 0, 4);  // no colour mode data
}

std::size_t profileResourceBytes(std::span<const std::uint8_t> iccProfile) {
  if (iccProfile.empty()) return 0;
  return 12 + iccProfile.size() + iccProfile.size() % 2;  // signature, id, name, length, data
}

// Each way: pixels per inch (16.16 fixed point), its unit pixels per inch, the side's unit
// inches.
ByteBuffer resolutionInfo(Resolution resolution) {
  ByteBuffer info;
  for (const float ppi : {resolution.x, resolution.y}) {
    appendValue(info, std::lround(static_cast<double>(ppi) * 65536.0), 4);
    appendValue(info, kPixelsPerInch, 2);
    appendValue(info, kInches, 2);
  }
  return info;
}

void appendImageResources(ByteBuffer& out, Resolution resolution, std::size_t targetLayer,
                          std::span<const std::uint8_t> iccProfile) {
  ByteBuffer resources;
  appendResource(resources, kResolutionResourceId, resolutionInfo(resolution));
  ByteBuffer target;
  appendValue(target, static_cast<std::int64_t>(targetLayer), 2);
  appendResource(resources, kLayerStateResourceId, target);
  if (!iccProfile.empty()) appendResource(resources, kIccProfileResourceId, iccProfile);
  appendValue(out, static_cast<std::int64_t>(resources.size()), 4);
  appendBytes(out, resources);
}

void appendLayerRecord(ByteBuffer& out, PSDFormat format, const LayerRecord& record,
                       int documentWidth, int documentHeight,
                       std::span<const std::uint64_t> channelLengths, Blend blend) {
  const bool pixels = record.kind == LayerKind::Pixels;
  appendValue(out, 0, 4);  // top
  appendValue(out, 0, 4);  // left
  appendValue(out, pixels ? documentHeight : 0, 4);
  appendValue(out, pixels ? documentWidth : 0, 4);
  appendValue(out, kChannelCount, 2);
  for (int channel = 0; channel < kChannelCount; ++channel) {
    if (channel < 3) {
      appendValue(out, channel, 2);
    } else {
      appendBytes(out, kTransparencyChannelId);
    }
    appendValue(out, static_cast<std::int64_t>(channelLengths[std::size_t(channel)]),
                rulesOf(format).lengthBytes);
  }
  appendText(out, blendKey(record.kind, blend));
  out.push_back(kOpaque);
  out.push_back(0);  // clipping: base
  out.push_back(pixels ? kLayerFlags : kGroupFlags);
  out.push_back(0);  // filler
  appendExtraData(out, record);
}

}  // namespace quillane
