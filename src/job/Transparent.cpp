#include "job/JobRecord.h"

namespace quillane {

std::optional<Image> JobRecord::setTransparentColorToImage(const Image&, float, float, float) {
  return std::nullopt;
}

std::optional<Image> JobRecord::resizeImage(const Image&, Size) { return std::nullopt; }

}  // namespace quillane
