#pragma once

#include <algorithm>
#include <climits>

namespace quillane {

// The part of an image its caller keeps: the top-left keepWidth x keepHeight pixels (for
// every file after the first, the canvas its layer is cropped to). A decoder answers at most
// that part, and reads less of the file where its format allows.
struct DecodeRequest {
  long long keepWidth = LLONG_MAX;
  long long keepHeight = LLONG_MAX;

  // The sides of what is kept of an image of width x height.
  long long keptWidth(long long width) const { return std::min(width, keepWidth); }
  long long keptHeight(long long height) const { return std::min(height, keepHeight); }

  // A side above this is refused as too large from the header, before any pixel is decoded
  // (a first image beyond what its document can hold).
  long long sideLimit = LLONG_MAX;

  // Turn a photo upright as its camera recorded (the JPEG or TIFF orientation tag) before
  // the part is cut from it; the pixels as stored when false.
  bool upright = false;

  // Convert CMYK through the profile the file embeds (a JPEG's) rather than by the plain
  // formula; the result is sRGB either way.
  bool cmykThroughProfile = false;

  // Which frame of a GIF, or page of a TIFF, counting from 0; other formats have only 0.
  int frame = 0;
};

}  // namespace quillane
