#include "image/Image.h"

namespace quillane {

Size Image::getRealSize() const {
  if (reps_.empty()) return {};
  const auto& first = reps_.front();
  return {static_cast<float>(first->pixelsWide()), static_cast<float>(first->pixelsHigh())};
}

void Image::saveAsImageType(unsigned /*type*/, float /*dpi*/, const std::string& /*path*/) const {}

}  // namespace quillane
