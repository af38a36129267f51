#pragma once
// CONTRACT (to be placed at src/util/Error.h). Replaces util/Exception.h.
#include <exception>
#include <string>

namespace quillane {

// Why a job (or one of its steps) failed. Each front end puts a kind and its values into
// words from the strings tables; nothing compares texts to decide.
enum class ErrorKind {
  NoImageFile,        // file: the folder
  ImageUnreadable,    // file: the image
  ImageCutShort,      // file
  ImageUnsupported,   // file
  ImageTooLarge,      // file, width, height, limit (kMaxImageSide)
  ImageOutOfMemory,   // file, width, height (0 when unknown)
  PsdSideLimit,       // file (the first image), width, height, limit (kMaxPsdSide)
  PsdByteLimit,       // file: the output
  TooManyFiles,       // count in width, limit
  CanvasOutOfMemory,  // file (the first image), width, height
  OutputIsSource,     // file: the output path, which names a source image
  WriteFailed,        // file: the output path; systemError: errno
  OutOfMemory,        // nothing
  Internal,           // a fault of ours; detail: a developer's text, for the log only
};

struct Error : std::exception {
  ErrorKind kind = ErrorKind::Internal;
  std::string file;
  long long width = 0;
  long long height = 0;
  long long limit = 0;
  int systemError = 0;
  std::string detail;  // developer text; never shown as a title

  Error() = default;
  explicit Error(ErrorKind k, std::string f = {}) : kind(k), file(std::move(f)) {}
  const char* what() const noexcept override;  // "kind: file" for logs
};

}  // namespace quillane
