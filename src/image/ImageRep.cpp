#include "image/ImageRep.h"

namespace quillane {
namespace {

// A missing, zero, negative or absurd resolution reads as the default 72 dpi.
float sanitizedDpi(float dpi) {
  return (dpi > 0.0f && dpi < 1.0e6f) ? dpi : BitmapImageRep::kDefaultDpi;
}

}  // namespace

BitmapImageRep::BitmapImageRep(Bitmap bitmap, float dpiX, float dpiY)
    : bitmap_(std::make_shared<const Bitmap>(std::move(bitmap))) {
  pointSize_.width = static_cast<float>(bitmap_->width) * 72.0f / sanitizedDpi(dpiX);
  pointSize_.height = static_cast<float>(bitmap_->height) * 72.0f / sanitizedDpi(dpiY);
}

}  // namespace quillane
