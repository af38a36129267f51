#pragma once

#include <exception>
#include <string>

namespace quillane {

// Why a job (or one of its steps) failed. Each front end puts a kind and its values into
// words from the strings tables (job/ErrorText.h); nothing compares texts to decide.
enum class ErrorKind {
  NoImageFile,        // file: the folder
  FolderMissing,      // file: the folder
  NotAFolder,         // file: the path given as the folder
  FolderPathTooLong,  // file: the folder
  FolderUnreadable,   // file: the folder; systemError: errno
  ImageUnreadable,    // file: the image; systemError: errno, when a call failed (0: none)
  ImageCutShort,      // file
  ImageUnsupported,   // file
  ImageTooLarge,      // file, width, height, limit (kMaxImageSide)
  ImageOutOfMemory,   // file, width, height (0: unknown), limit: the budget it exceeds (0: none)
  PsdSideLimit,       // file (the first image), width, height, limit (kMaxPsdSide)
  PsdByteLimit,       // file: the output
  TooManyFiles,       // count in width, limit
  CanvasOutOfMemory,  // file (the first image), width, height, limit: the byte budget (0: none)
  OutputIsSource,     // file: the output path, which names a source image
  WriteFailed,        // file: the output path; systemError: errno
  OutOfMemory,        // nothing
  Internal,           // a fault of ours; detail: a developer's text, for the log only
};

// Every kind, for tables that must cover them all.
inline constexpr ErrorKind kEveryErrorKind[] = {
    ErrorKind::NoImageFile,       ErrorKind::FolderMissing,     ErrorKind::NotAFolder,
    ErrorKind::FolderPathTooLong, ErrorKind::FolderUnreadable,  ErrorKind::ImageUnreadable,
    ErrorKind::ImageCutShort,     ErrorKind::ImageUnsupported,  ErrorKind::ImageTooLarge,
    ErrorKind::ImageOutOfMemory,  ErrorKind::PsdSideLimit,      ErrorKind::PsdByteLimit,
    ErrorKind::TooManyFiles,      ErrorKind::CanvasOutOfMemory, ErrorKind::OutputIsSource,
    ErrorKind::WriteFailed,       ErrorKind::OutOfMemory,       ErrorKind::Internal,
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
  // "kind: file" for logs (the kind's enumerator name).
  const char* what() const noexcept override;

 private:
  mutable std::string what_;
};

// A fault of ours: the developer's text goes to the log, never to a title.
inline Error internalError(std::string detail) {
  Error error(ErrorKind::Internal);
  error.detail = std::move(detail);
  return error;
}

// The enumerator's name ("ImageUnreadable"), for logs.
const char* errorKindName(ErrorKind kind);

}  // namespace quillane
