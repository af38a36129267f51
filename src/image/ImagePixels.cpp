#include "image/Image.h"

namespace quillane {

Size Image::pixelsSize() const {
  for (const auto& rep : reps_) {
    if (rep->isBitmap())
      return {static_cast<float>(rep->pixelsWide()), static_cast<float>(rep->pixelsHigh())};
  }
  return size_;
}

}  // namespace quillane
