#include "job/ImageError.h"

#include <utility>

#include "image/decode/SizeCheck.h"
#include "util/MemoryBudget.h"

namespace quillane {

Error outOfMemory(ErrorKind kind, std::string file, long long width, long long height) {
  Error error(kind, std::move(file));
  error.width = width;
  error.height = height;
  if (width > 0 && height > 0 && !fitsImageByteBudget(width, height))
    error.limit = static_cast<long long>(imageByteBudget());
  return error;
}

Error imageError(const std::string& file, const DecodeError& decode) {
  switch (decode.kind) {
    case DecodeFailure::CutShort:
      return Error(ErrorKind::ImageCutShort, file);
    case DecodeFailure::Unsupported:
      return Error(ErrorKind::ImageUnsupported, file);
    case DecodeFailure::TooLarge: {
      Error error(ErrorKind::ImageTooLarge, file);
      error.width = decode.width;
      error.height = decode.height;
      error.limit = kMaxImageSide;
      return error;
    }
    case DecodeFailure::OutOfMemory:
      return outOfMemory(ErrorKind::ImageOutOfMemory, file, decode.width, decode.height);
    case DecodeFailure::Unreadable:
      break;
  }
  Error error(ErrorKind::ImageUnreadable, file);
  error.systemError = decode.systemError;
  return error;
}

}  // namespace quillane
