#include "image/Image.h"

namespace quillane {

Image Image::withRepresentation(std::shared_ptr<const ImageRep> rep) {
  Image image(rep->size());
  image.addRepresentation(std::move(rep));
  return image;
}

std::shared_ptr<const Bitmap> Image::renderBitmap() const {
  if (reps_.empty()) return nullptr;
  return reps_.front()->render();
}

}  // namespace quillane
