#pragma once

#include <memory>

#include "image/Bitmap.h"
#include "image/ImageRep.h"

namespace quillane {

// A decoded QuickDraw picture: not a bitmap. Its size in points is its frame's size, and it
// renders to a frame-sized raster that is transparent wherever the picture drew nothing.
class PictureImageRep final : public ImageRep {
 public:
  explicit PictureImageRep(Bitmap raster)
      : raster_(std::make_shared<const Bitmap>(std::move(raster))) {}

  bool isBitmap() const override { return false; }
  Size size() const override {
    return {static_cast<float>(raster_->width), static_cast<float>(raster_->height)};
  }
  int pixelsWide() const override { return raster_->width; }
  int pixelsHigh() const override { return raster_->height; }
  std::shared_ptr<const Bitmap> render() const override { return raster_; }

 private:
  std::shared_ptr<const Bitmap> raster_;
};

}  // namespace quillane
