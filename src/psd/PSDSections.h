#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "psd/ByteBuffer.h"
#include "util/Geometry.h"

namespace quillane {

// The fixed pieces of a PSD file, each written here and nowhere else.

// Header, colour mode data and image resources: the layer and mask section starts here.
inline constexpr std::size_t kLayerSectionOffset = 76;
// After the two section lengths: the layer information (its length counts from here).
inline constexpr std::size_t kLayerInfoOffset = kLayerSectionOffset + 8;
// The layer count is a signed 16-bit field (a negative count means something else).
inline constexpr std::size_t kMaxLayerCount = 32767;
// PSD readers and Photoshop refuse files past 2 GB; the section lengths are 32-bit.
inline constexpr std::uint64_t kMaxPsdFileBytes = (std::uint64_t{1} << 31) - 1;

// A canvas side above kMaxPsdSide, more layers than a file holds, or a file above
// kMaxPsdFileBytes.
inline constexpr const char* kDocumentTooLargeName = "DocumentTooLarge";

// Raises what the writer raises for a document it cannot write: a side above the PSD limit,
// no layers or too many, an empty canvas.
void checkDocumentShape(Size documentSize, std::size_t layerCount);

void appendHeader(ByteBuffer& out, int documentWidth, int documentHeight);
// 72 pixels per inch, and the bottom layer as the target layer.
void appendImageResources(ByteBuffer& out);
// Appends a full-canvas, fully opaque layer record with the channels' byte counts.
void appendLayerRecord(ByteBuffer& out, const std::string& name, int documentWidth,
                       int documentHeight, std::span<const std::uint32_t> channelLengths);

}  // namespace quillane
