#pragma once

#include <cstdint>
#include <memory>
#include <span>

#include "image/ImageRep.h"

namespace quillane {

// Decodes a QuickDraw picture (version 1 or 2, with or without the 512-byte file header)
// into a picture representation sized by its frame, or nothing when the bytes hold no
// picture that can be drawn.
std::shared_ptr<const ImageRep> decodePict(std::span<const std::uint8_t> bytes);

}  // namespace quillane
