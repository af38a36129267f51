#include "util/Error.h"

namespace quillane {

const char* errorKindName(ErrorKind kind) {
  switch (kind) {
    case ErrorKind::NoImageFile:
      return "NoImageFile";
    case ErrorKind::FolderMissing:
      return "FolderMissing";
    case ErrorKind::NotAFolder:
      return "NotAFolder";
    case ErrorKind::FolderPathTooLong:
      return "FolderPathTooLong";
    case ErrorKind::FolderUnreadable:
      return "FolderUnreadable";
    case ErrorKind::ImageUnreadable:
      return "ImageUnreadable";
    case ErrorKind::ImageCutShort:
      return "ImageCutShort";
    case ErrorKind::ImageUnsupported:
      return "ImageUnsupported";
    case ErrorKind::ImageTooLarge:
      return "ImageTooLarge";
    case ErrorKind::ImageOutOfMemory:
      return "ImageOutOfMemory";
    case ErrorKind::PsdSideLimit:
      return "PsdSideLimit";
    case ErrorKind::PsdByteLimit:
      return "PsdByteLimit";
    case ErrorKind::TooManyFiles:
      return "TooManyFiles";
    case ErrorKind::CanvasOutOfMemory:
      return "CanvasOutOfMemory";
    case ErrorKind::OutputIsSource:
      return "OutputIsSource";
    case ErrorKind::WriteFailed:
      return "WriteFailed";
    case ErrorKind::OutOfMemory:
      return "OutOfMemory";
    case ErrorKind::Internal:
      return "Internal";
  }
  return "Internal";
}

const char* Error::what() const noexcept {
  try {
    what_ = errorKindName(kind);
    if (!file.empty()) what_ += ": " + file;
    if (!detail.empty()) what_ += ": " + detail;
    return what_.c_str();
  } catch (...) {
    return errorKindName(kind);
  }
}

}  // namespace quillane
