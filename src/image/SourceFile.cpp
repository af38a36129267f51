#include "image/SourceFile.h"

#include <new>

#include "image/FileRead.h"
#include "image/PictFile.h"
#include "image/decode/Decode.h"

namespace quillane {

Decoded<Image> decodeSourceFile(const std::string& path) {
  try {
    auto bytes = readWholeFile(path);
    if (!bytes) return DecodeFailure::Unreadable;
    if (isPictFile(path)) return createPictImage(*bytes);
    return decodeImage(*bytes);
  } catch (const std::bad_alloc&) {
    return DecodeFailure::OutOfMemory;
  }
}

}  // namespace quillane
