#pragma once

#include <memory>

#include "image/Bitmap.h"
#include "util/Geometry.h"

namespace quillane {

// One representation of an image: a bitmap with its own pixel size, or a picture (PICT)
// that is not a bitmap and renders at its point size.
class ImageRep {
 public:
  virtual ~ImageRep() = default;

  virtual bool isBitmap() const = 0;
  // The representation's size in points.
  virtual Size size() const = 0;
  virtual int pixelsWide() const = 0;
  virtual int pixelsHigh() const = 0;
  // The representation drawn to a straight RGBA8 raster at pixelsWide x pixelsHigh, or
  // nothing when it cannot be drawn. Cheap for a bitmap: it hands out its own pixels.
  virtual std::shared_ptr<const Bitmap> render() const = 0;
};

// Decoded pixels with the resolution the file declared: the point size is the pixel size
// at 72 dots per inch, so a 600 x 400 image at 300 dpi measures 144 x 96 points.
class BitmapImageRep final : public ImageRep {
 public:
  static constexpr float kDefaultDpi = 72.0f;

  explicit BitmapImageRep(Bitmap bitmap, float dpiX = kDefaultDpi, float dpiY = kDefaultDpi);

  bool isBitmap() const override { return true; }
  Size size() const override { return pointSize_; }
  int pixelsWide() const override { return bitmap_->width; }
  int pixelsHigh() const override { return bitmap_->height; }
  std::shared_ptr<const Bitmap> render() const override { return bitmap_; }

  const Bitmap& bitmap() const { return *bitmap_; }

 private:
  std::shared_ptr<const Bitmap> bitmap_;
  Size pointSize_;
};

}  // namespace quillane
