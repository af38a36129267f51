#pragma once

#include <memory>
#include <vector>

#include "image/ImageRep.h"
#include "util/Geometry.h"

namespace quillane {

// An image: a size in points and an ordered list of representations. Copies share the
// representations, which never change once made.
class Image {
 public:
  Image() = default;
  explicit Image(Size size) : size_(size) {}

  // An image holding one representation, sized by it.
  static Image withRepresentation(std::shared_ptr<const ImageRep> rep);

  Size size() const { return size_; }
  void setSize(Size size) { size_ = size; }

  const std::vector<std::shared_ptr<const ImageRep>>& representations() const { return reps_; }
  void addRepresentation(std::shared_ptr<const ImageRep> rep) { reps_.push_back(std::move(rep)); }

  // Pixel size of the first bitmap representation, or else the point size.
  Size pixelsSize() const;

  // The image rendered to a straight RGBA8 raster: its first representation drawn at that
  // representation's pixel size. Nothing when there is no representation or it cannot draw.
  std::shared_ptr<const Bitmap> renderBitmap() const;

 private:
  Size size_;
  std::vector<std::shared_ptr<const ImageRep>> reps_;
};

}  // namespace quillane
