#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "image/Image.h"
#include "image/decode/DecodeRequest.h"
#include "image/decode/Decoded.h"
#include "util/Geometry.h"

namespace quillane {

// The not-found answer of pictV2OptHeaderIndex (all bits set).
inline constexpr std::size_t kPictHeaderNotFound = static_cast<std::size_t>(-1);

// Whether the path's extension is pict, pct or pic (exactly, lower case).
bool isPictFile(const std::string& path);
// Whether the bytes hold a version-2 picture (00 11 02 FF at offset 522).
bool isPictVersionOptCode(std::span<const std::uint8_t> bytes);
// Offset of the header opcode 0C 00, searched from 526 on, or kPictHeaderNotFound.
std::size_t pictV2OptHeaderIndex(std::span<const std::uint8_t> bytes);
// The picture's size in pixels: right and bottom of the extended header's source rectangle,
// or of the picture frame for an older header, which has no resolution. 0 by 0 when the
// bytes are no version-2 picture or the header is missing or cut off by the end.
Size pictSize(std::span<const std::uint8_t> bytes);
// Patches the extended header's resolutions to 72 dpi in place; false (bytes untouched)
// when there is no such header to patch, or it is cut off by the end.
bool pictChangeDPI(std::span<std::uint8_t> bytes);
// The picture in a PICT file's bytes, its resolution patched in place (pictChangeDPI) and
// decoded, or why it cannot be.
Decoded<Image> createPictImage(std::span<std::uint8_t> bytes, const DecodeRequest& request = {});

}  // namespace quillane
