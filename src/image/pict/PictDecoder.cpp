#include "image/pict/PictDecoder.h"

namespace quillane {

std::shared_ptr<const ImageRep> decodePict(std::span<const std::uint8_t> /*bytes*/) {
  return nullptr;
}

}  // namespace quillane
