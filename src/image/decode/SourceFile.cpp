#include <new>

#include "image/decode/Decoders.h"
#include "image/decode/Orientation.h"

namespace quillane {

Decoded<DecodedImage> decodeSourceFile(const std::string& path, const DecodeRequest& request) {
  try {
    auto bytes = readWholeFile(path);
    if (!bytes) return bytes.error();
    if (isPictFile(path)) return decodePict(*bytes, request);
    if (request.upright) return decodeImageUpright(*bytes, request);
    return decodeImage(*bytes, request);
  } catch (const std::bad_alloc&) {
    return DecodeFailure::OutOfMemory;
  }
}

}  // namespace quillane
