#pragma once

#include <cstdint>
#include <span>

#include "image/decode/Decode.h"

namespace quillane {

// The orientation a camera recorded (the EXIF and TIFF tag's values): how the stored rows
// are to be turned to stand upright. 1 is upright as stored.
inline constexpr int kUprightOrientation = 1;

// The orientation tag of a JPEG (its EXIF data) or a TIFF (its first directory); upright
// for other formats, for a file without the tag and for a value outside 1 to 8.
int storedOrientation(std::span<const std::uint8_t> bytes);

// The stored pixels (and extremes) turned upright as the orientation says: mirrored,
// rotated, or both; the sides swap for orientations 5 to 8.
Decoded<Bitmap> turnedUpright(const Bitmap& stored, int orientation);

// The image in the bytes turned upright by its orientation tag, then cut to the request. A
// turned photo's upright part is a rectangle of what is stored, not always its top-left
// part: only that rectangle is decoded, and turned. One stored upright is decoded as
// decodeImage does.
Decoded<DecodedImage> decodeImageUpright(std::span<const std::uint8_t> bytes,
                                         const DecodeRequest& request);

}  // namespace quillane
