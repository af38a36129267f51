#include "job/ErrorText.h"

#include <cmath>
#include <system_error>

#include "util/PrintableText.h"
#include "util/Strings.h"

namespace quillane {
namespace {

constexpr long long kBytesPerMegabyte = 1000 * 1000;

// The text of key with the raster's size, the megabytes it takes and those it may use
// filled in (%1 to %4).
std::string memoryLimitText(const char* key, const Error& error) {
  const double bytes = static_cast<double>(error.width) * static_cast<double>(error.height) * 4;
  const auto needed = static_cast<long long>(std::ceil(bytes / kBytesPerMegabyte));
  return localizedString(key, {error.width, error.height, needed, error.limit / kBytesPerMegabyte});
}

// "FILE" alone, or "FILE: TEXT".
std::string fileWith(const std::string& file, const std::string& text) {
  return text.empty() ? file : file + ": " + text;
}

// The system's words for the error's errno, or nothing when there is none.
std::string systemReason(const Error& error) {
  return error.systemError != 0 ? std::generic_category().message(error.systemError) : "";
}

bool sizeKnown(const Error& error) { return error.width > 0 && error.height > 0; }

// The file, with the budget a raster exceeds when it exceeds one: memory that ran out for a
// raster within the budget has no limit to name.
std::string memoryDetail(const char* key, const std::string& file, const Error& error) {
  return fileWith(file, sizeKnown(error) && error.limit > 0 ? memoryLimitText(key, error) : "");
}

}  // namespace

ErrorText describeError(const Error& error) {
  const std::string file = printableText(error.file);
  switch (error.kind) {
    case ErrorKind::NoImageFile:
      return {localizedString("NO_IMAGE_FILE"), file};
    case ErrorKind::FolderMissing:
      return {localizedString("FOLDER_MISSING"), file};
    case ErrorKind::NotAFolder:
      return {localizedString("FOLDER_NOT_A_FOLDER"), file};
    case ErrorKind::FolderPathTooLong:
      return {localizedString("FOLDER_PATH_TOO_LONG"), file};
    case ErrorKind::FolderUnreadable:
      return {localizedString("FOLDER_UNREADABLE"), fileWith(file, systemReason(error))};
    case ErrorKind::ImageUnreadable:
      return {localizedString("IMAGE_READ_ERROR"), fileWith(file, systemReason(error))};
    case ErrorKind::ImageCutShort:
      return {localizedString("IMAGE_CUT_SHORT"), file};
    case ErrorKind::ImageUnsupported:
      return {localizedString("IMAGE_UNSUPPORTED"), file};
    case ErrorKind::ImageTooLarge:
      return {localizedString("IMAGE_TOO_LARGE"),
              fileWith(file, sizeKnown(error)
                                 ? localizedString("IMAGE_SIZE_LIMIT",
                                                   {error.width, error.height, error.limit})
                                 : "")};
    case ErrorKind::ImageOutOfMemory:
      return {localizedString("IMAGE_OUT_OF_MEMORY"),
              memoryDetail("IMAGE_MEMORY_LIMIT", file, error)};
    case ErrorKind::PsdSideLimit:
      return {localizedString("DOCUMENT_TOO_LARGE"),
              fileWith(file, localizedString("PSD_SIDE_LIMIT",
                                             {error.width, error.height, error.limit}))};
    case ErrorKind::PsdByteLimit:
      return {localizedString("DOCUMENT_TOO_LARGE"),
              fileWith(file, localizedString("PSD_BYTES_LIMIT"))};
    case ErrorKind::TooManyFiles:
      return {localizedString("TOO_MANY_FILES"),
              localizedString("LAYER_COUNT_LIMIT", {error.width, error.limit})};
    case ErrorKind::CanvasOutOfMemory:
      return {localizedString("CANVAS_OUT_OF_MEMORY"),
              memoryDetail("CANVAS_MEMORY_LIMIT", file, error)};
    case ErrorKind::OutputIsSource:
      return {localizedString("WRITE_ERROR"), fileWith(file, localizedString("OUTPUT_IS_SOURCE"))};
    case ErrorKind::WriteFailed:
      return {localizedString("WRITE_ERROR"), fileWith(file, systemReason(error))};
    case ErrorKind::OutOfMemory:
      return {localizedString("OUT_OF_MEMORY"), ""};
    case ErrorKind::Internal:
      break;
  }
  // A fault of ours: its developer text is for the log, not for the user.
  return {localizedString("JOB_FAILED"), localizedString("UNKNOWN_ERROR")};
}

}  // namespace quillane
