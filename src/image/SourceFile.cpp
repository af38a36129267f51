#include "image/SourceFile.h"

#include <new>

#include "image/FileRead.h"
#include "image/Orientation.h"
#include "image/PictFile.h"
#include "image/decode/Decode.h"

namespace quillane {

Decoded<Image> decodeSourceFile(const std::string& path, const DecodeRequest& request) {
  try {
    auto bytes = readWholeFile(path);
    if (!bytes) return DecodeFailure::Unreadable;
    if (isPictFile(path)) return createPictImage(*bytes, request);
    if (request.upright) return decodeImageUpright(*bytes, request);
    return decodeImage(*bytes, request);
  } catch (const std::bad_alloc&) {
    return DecodeFailure::OutOfMemory;
  }
}

}  // namespace quillane
