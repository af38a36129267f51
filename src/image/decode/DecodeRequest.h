#pragma once

#include <algorithm>
#include <climits>
#include <cstdint>
#include <memory>
#include <vector>

namespace quillane {

// The part of an image its caller keeps: keepWidth x keepHeight pixels from (keepLeft,
// keepTop), the top-left ones unless an origin is set (for every file after the first, the
// canvas its layer is cropped to). A decoder answers at most that part, and reads less of the
// file where its format allows.
struct DecodeRequest {
  long long keepWidth = LLONG_MAX;
  long long keepHeight = LLONG_MAX;
  // Only the JPEG and TIFF decoders take an origin other than the top-left corner: they are
  // the formats whose orientation can put the kept part of a photo anywhere in what is stored.
  long long keepLeft = 0;
  long long keepTop = 0;

  // The sides of what is kept of an image of width x height: nothing from an origin past it.
  long long keptWidth(long long width) const {
    return std::max(0LL, std::min(width - keepLeft, keepWidth));
  }
  long long keptHeight(long long height) const {
    return std::max(0LL, std::min(height - keepTop, keepHeight));
  }
  bool hasOrigin() const { return keepLeft != 0 || keepTop != 0; }

  // A side above this is refused as too large from the header, before any pixel is decoded
  // (a first image beyond what its document can hold).
  long long sideLimit = LLONG_MAX;

  // Turn a photo upright as its camera recorded (the JPEG or TIFF orientation tag, a HEIF
  // or JPEG XL file's own rotation and mirroring) before the part is cut from it; the pixels
  // as stored when false.
  bool upright = false;

  // Convert CMYK through the profile the file embeds (a JPEG's) rather than by the plain
  // formula; the result is sRGB either way.
  bool cmykThroughProfile = false;
  // The document's colour profile (empty: sRGB), into which a source of 16 bits a sample is
  // converted before its samples are reduced to 8 bits; none: every sample kept as stored.
  // Bytes, not a Little CMS handle: each decode builds its own conversion.
  std::shared_ptr<const std::vector<std::uint8_t>> documentProfile = nullptr;

  // Also decode WebP, HEIF (HEIC and AVIF) and JPEG XL; without it their bytes are unreadable.
  bool modernFormats = false;
  // Which frame of a GIF, or page of a TIFF, counting from 0; other formats have only 0.
  int frame = 0;
};

}  // namespace quillane
