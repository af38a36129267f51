#pragma once

// What the layers above the image layer use of decoding: a source file or its bytes in,
// straight RGBA8 pixels (or the reason there are none) out.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "image/Bitmap.h"
#include "image/decode/DecodeRequest.h"
#include "image/decode/Decoded.h"
#include "image/decode/FileRead.h"
#include "image/decode/Resolution.h"
#include "image/decode/SizeCheck.h"
#include "util/Geometry.h"

namespace quillane {

// A decoded image: its pixels, the resolution its file declares, and the ICC profile it
// embeds, as stored (empty when it has none, or says it is sRGB).
struct DecodedImage {
  Bitmap bitmap;
  Resolution resolution;
  std::vector<std::uint8_t> iccProfile = {};
  // The pixels were converted into the request's document profile while they were decoded,
  // at the source's own depth: they need no further conversion.
  bool inDocumentColours = false;
};

// The image in the bytes (JPEG, PNG, GIF, BMP or TIFF, chosen by content), or the part of it
// the request keeps; bytes of no known format are unreadable, or cut short when they end
// inside a signature.
Decoded<DecodedImage> decodeImage(std::span<const std::uint8_t> bytes,
                                  const DecodeRequest& request = {});

// The image in a source file, or the part of it the request keeps, or why it cannot be had:
// a PICT file (by its extension) as a QuickDraw picture, any other by its content. A file
// that cannot be opened as a regular file is unreadable; memory that runs out on the way is
// reported, not thrown.
Decoded<DecodedImage> decodeSourceFile(const std::string& path, const DecodeRequest& request = {});

// Frames of a GIF, or pages of a TIFF, taken from one file at most: a layer each, so a
// document of a few such files stays one an editor opens.
inline constexpr int kMaxFramesPerFile = 1000;

// How many frames (GIF) or pages (TIFF) the bytes hold, counted without decoding pixels: at
// least 1, at most kMaxFramesPerFile; 1 for every other format.
int countFrames(std::span<const std::uint8_t> bytes);

// Whether the path's extension is pict, pct or pic (exactly, lower case).
bool isPictFile(const std::string& path);
// A PICT file's size in pixels, read from its header without decoding it: right and bottom
// of the extended header's source rectangle, or of the picture frame for an older header,
// which has no resolution. 0 by 0 when the bytes are no version-2 picture after a file
// header, or its header is missing or cut off by the end.
Size pictSize(std::span<const std::uint8_t> bytes);

}  // namespace quillane
