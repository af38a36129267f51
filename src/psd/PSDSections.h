#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "psd/ByteBuffer.h"
#include "psd/ChannelEncoding.h"
#include "util/Geometry.h"

namespace quillane {

// The parts of a PSD file that the in-memory writer (createPSDData) and the streaming writer
// (PSDStreamWriter) both write, so that the two make the same bytes.

// Header, colour mode data and image resources: the layer and mask section starts here.
inline constexpr std::size_t kLayerSectionOffset = 76;
// After the two section lengths: the layer information (its length counts from here).
inline constexpr std::size_t kLayerInfoOffset = kLayerSectionOffset + 8;
// The layer count is a signed 16-bit field (a negative count means something else).
inline constexpr std::size_t kMaxLayerCount = 32767;

inline constexpr char kProvideDataReason[] =
    "Please provide layer data, flattened data and set layer channel count to at least 3.";

// Raises what createPSDData raises for a document it cannot write: a side above the PSD
// limit, fewer than 3 or more than 4 channels, no layers or too many, an empty canvas.
void checkDocumentShape(Size documentSize, int channelCount, std::size_t layerCount);

void appendHeader(ByteBuffer& out, int documentWidth, int documentHeight, int channelCount);
void appendImageResources(ByteBuffer& out);
// Appends a full-canvas layer record whose channel lengths are filled in later; answers
// where the first length is (the others follow every 6 bytes).
std::size_t appendLayerRecord(ByteBuffer& out, const std::string& name, float opacity,
                              int documentWidth, int documentHeight, int channelCount);
// The extra data of a layer record: no mask, no blending ranges, the names, "lspf".
ByteBuffer extraDataFor(const std::string& name);
void writeValueAt(ByteBuffer& out, std::size_t at, std::uint32_t value);

// The whole-pixel bounds of a layer (its rect rounded down), checked against the canvas,
// and its pixel bytes (held of them) checked against them. A layer without pixels is
// written transparent.
LayerBounds checkedBounds(Rect rect, std::size_t heldBytes, std::size_t index, int documentWidth,
                          int documentHeight);

}  // namespace quillane
