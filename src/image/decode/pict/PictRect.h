#pragma once

#include <algorithm>

#include "image/decode/ByteReader.h"
#include "image/decode/SizeCheck.h"

namespace quillane {

// A QuickDraw rectangle: top, left, bottom, right, in that order in the file.
struct PictRect {
  int top = 0;
  int left = 0;
  int bottom = 0;
  int right = 0;

  int width() const { return right - left; }
  int height() const { return bottom - top; }
  bool isEmpty() const { return right <= left || bottom <= top; }
  // Not empty, and no side above what an image may have.
  bool isDrawable() const {
    return !isEmpty() && width() <= kMaxImageSide && height() <= kMaxImageSide;
  }

  PictRect intersected(const PictRect& other) const {
    return {std::max(top, other.top), std::max(left, other.left), std::min(bottom, other.bottom),
            std::min(right, other.right)};
  }
  friend bool operator==(const PictRect&, const PictRect&) = default;
};

inline PictRect readPictRect(ByteReader& bytes) {
  PictRect rect;
  rect.top = bytes.s16be();
  rect.left = bytes.s16be();
  rect.bottom = bytes.s16be();
  rect.right = bytes.s16be();
  return rect;
}

}  // namespace quillane
