#include "image/decode/Decode.h"

namespace quillane {

std::optional<DecodedBitmap> decodeBmp(std::span<const std::uint8_t> /*bytes*/) { return std::nullopt; }

}  // namespace quillane
