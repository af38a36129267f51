#pragma once

#include <optional>

#include "image/Bitmap.h"

namespace quillane {

// The straight-alpha bitmap redrawn at width x height with a high-quality filter (colour is
// premultiplied while it is filtered, so transparent pixels do not bleed their colour).
// Nothing when a side is not in 1..kMaxPsdSide or a buffer cannot be allocated.
std::optional<Bitmap> scaleBitmap(const Bitmap& source, int width, int height);

}  // namespace quillane
