#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "util/Geometry.h"

namespace quillane {

// One layer of a document. imageData holds width x height pixels of the rect (truncated),
// bytes R, G, B, A, rows top to bottom, colour premultiplied by alpha; pixels the image did
// not cover are 0, 0, 0, 0. The name is UTF-8 (bytes that are not valid UTF-8 are shown as
// U+FFFD when the name is written).
struct PSDLayer {
  std::string name;
  std::shared_ptr<std::vector<std::uint8_t>> imageData;
  float opacity = 1.0f;
  Rect rect;
};

}  // namespace quillane
