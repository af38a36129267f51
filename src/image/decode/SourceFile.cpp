#include <new>

#include "image/decode/Decoders.h"
#include "image/decode/Orientation.h"

namespace quillane {

Decoded<DecodedImage> decodeSourceBytes(const std::string& path,
                                        std::span<const std::uint8_t> bytes,
                                        const DecodeRequest& request) {
  if (isPictFile(path)) return decodePict(bytes, request);
  if (request.upright) return decodeImageUpright(bytes, request);
  return decodeImage(bytes, request);
}

Decoded<DecodedImage> decodeSourceFile(const std::string& path, const DecodeRequest& request) {
  try {
    auto bytes = readWholeFile(path);
    if (!bytes) return bytes.error();
    return decodeSourceBytes(path, *bytes, request);
  } catch (const std::bad_alloc&) {
    return DecodeFailure::OutOfMemory;
  }
}

}  // namespace quillane
