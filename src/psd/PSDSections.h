#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "image/Canvas.h"
#include "image/decode/Resolution.h"
#include "psd/ByteBuffer.h"
#include "util/Geometry.h"

namespace quillane {

// The fixed pieces of a PSD file, each written here and nowhere else.

// The file's two forms: PSD (version 1), and PSB (version 2), the large-document form.
enum class PSDFormat { Psd, Psb };

// What differs between the two forms.
struct PSDFormatRules {
  int version;
  int maxSide;
  int lengthBytes;    // of the layer section's two lengths and of each channel's length
  int rowCountBytes;  // of each packed row's byte count
  std::uint64_t maxFileBytes;
};

// PSD readers and Photoshop refuse files past 2 GB; the section lengths are 32-bit.
inline constexpr std::uint64_t kMaxPsdFileBytes = (std::uint64_t{1} << 31) - 1;
const PSDFormatRules& rulesOf(PSDFormat format);

// Header, colour mode data and image resources without a profile: the layer and mask
// section starts here, or as many bytes later as the profile's resource takes.
inline constexpr std::size_t kLayerSectionOffset = 76;
std::size_t profileResourceBytes(std::span<const std::uint8_t> iccProfile);
// The layer count is a signed 16-bit field (a negative count means something else).
inline constexpr std::size_t kMaxLayerCount = 32767;

// Raises what the writer raises for a document it cannot write (quillane::Error): a side
// above the format's limit (PsdSideLimit), too many layers (TooManyFiles); no layers or an
// empty canvas are the caller's fault (Internal).
void checkDocumentShape(PSDFormat format, Size documentSize, std::size_t layerCount);

// What a layer record holds: pixels, or one end of a layer group. Records go bottom first,
// so a group's end marker lies below its children and the group's own record above them.
enum class LayerKind { Pixels, GroupEnd, Group };
struct LayerRecord {
  std::string name;  // none on a group's end marker
  LayerKind kind = LayerKind::Pixels;
};
// A record for each name, in order, with no groups.
std::vector<LayerRecord> pixelLayers(std::vector<std::string> names);

void appendHeader(ByteBuffer& out, PSDFormat format, int documentWidth, int documentHeight);
// The resolution, the target layer (an index of the records, bottom first), and the ICC
// profile if any.
void appendImageResources(ByteBuffer& out, Resolution resolution, std::size_t targetLayer,
                          std::span<const std::uint8_t> iccProfile);
// Appends a layer record with the channels' byte counts: a pixel layer full-canvas and fully
// opaque in the given blend; a group's record or end marker with no pixels, passing its
// children's blending through.
void appendLayerRecord(ByteBuffer& out, PSDFormat format, const LayerRecord& record,
                       int documentWidth, int documentHeight,
                       std::span<const std::uint64_t> channelLengths, Blend blend);

}  // namespace quillane
