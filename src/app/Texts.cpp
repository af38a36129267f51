#include "app/Texts.h"

#include "app/TextFormat.h"
#include "util/PathNames.h"
#include "util/PrintableText.h"
#include "util/Strings.h"

namespace quillane {
namespace {

// The key of the few words that say why; those about a file name it (%1).
const char* failureReasonKey(ErrorKind kind) {
  switch (kind) {
    case ErrorKind::NoImageFile:
      return "FAILED_NO_IMAGE";
    case ErrorKind::FolderMissing:
      return "FAILED_FOLDER_MISSING";
    case ErrorKind::NotAFolder:
    case ErrorKind::FolderPathTooLong:
    case ErrorKind::FolderUnreadable:
      return "FAILED_FOLDER";
    case ErrorKind::ImageUnreadable:
      return "FAILED_UNREADABLE";
    case ErrorKind::ImageCutShort:
      return "FAILED_CUT_SHORT";
    case ErrorKind::ImageUnsupported:
      return "FAILED_UNSUPPORTED";
    case ErrorKind::ImageTooLarge:
      return "FAILED_IMAGE_TOO_LARGE";
    case ErrorKind::ImageOutOfMemory:
    case ErrorKind::CanvasOutOfMemory:
    case ErrorKind::OutOfMemory:
      return "FAILED_MEMORY";
    case ErrorKind::PsdSideLimit:
    case ErrorKind::PsdByteLimit:
      return "FAILED_TOO_LARGE_FOR_PSD";
    case ErrorKind::TooManyFiles:
      return "FAILED_TOO_MANY_FILES";
    case ErrorKind::OutputIsSource:
      return "FAILED_OUTPUT_IS_SOURCE";
    case ErrorKind::WriteFailed:
      return "FAILED_WRITE";
    case ErrorKind::Internal:
      break;
  }
  return "FAILED_UNKNOWN";
}

bool isAboutAnImageFile(ErrorKind kind) {
  return kind == ErrorKind::ImageUnreadable || kind == ErrorKind::ImageCutShort ||
         kind == ErrorKind::ImageUnsupported || kind == ErrorKind::ImageTooLarge;
}

// "14 layers in 3 groups · 1920 × 1080 canvas, from a.png" when the layers lie in groups;
// else "14 images · …".
const char* summaryKey(const FolderSummary& summary) {
  if (summary.groupCount == 0)
    return summary.imageCount == 1 ? "SUMMARY_ONE_IMAGE" : "SUMMARY_IMAGES";
  if (summary.groupCount > 1) return "SUMMARY_LAYERS_IN_GROUPS";
  return summary.layerCount == 1 ? "SUMMARY_ONE_LAYER_IN_ONE_GROUP" : "SUMMARY_LAYERS_IN_ONE_GROUP";
}

// "3 images · 40 × 30 canvas, from a.png" (or in groups, as above), or why there is no canvas.
std::string takenFilesText(const FolderSummary& summary, bool withProfile) {
  if (summary.gone) return localizedString("SUMMARY_FOLDER_GONE");
  // As the alert says when the job finds no image.
  if (summary.imageCount == 0) return localizedString("NO_IMAGE_FILE");
  if (summary.canvas.width < 1 || summary.canvas.height < 1)
    return fillIn(localizedString("SUMMARY_UNREADABLE"), {printableText(summary.firstFile)});
  const std::size_t count = summary.groupCount == 0 ? summary.imageCount : summary.layerCount;
  std::string text = fillIn(localizedString(summaryKey(summary)),
                            {std::to_string(count), std::to_string(int(summary.canvas.width)),
                             std::to_string(int(summary.canvas.height)),
                             printableText(summary.firstFile), std::to_string(summary.groupCount)});
  if (summary.allFrames && summary.groupCount == 0 && summary.layerCount != summary.imageCount)
    text += fillIn(localizedString("SUMMARY_LAYERS"), {std::to_string(summary.layerCount)});
  if (withProfile && !summary.colourProfile.empty())
    text += fillIn(localizedString("SUMMARY_PROFILE"), {printableText(summary.colourProfile)});
  const std::size_t converted = withProfile ? summary.convertedFiles.value_or(0) : 0;
  if (converted > 0)
    text += fillIn(localizedString(converted == 1 ? "SUMMARY_ONE_CONVERTED" : "SUMMARY_CONVERTED"),
                   {std::to_string(converted)});
  return text;
}

}  // namespace

std::string summaryText(const FolderSummary& summary, bool withProfile) {
  std::string text = takenFilesText(summary, withProfile);
  if (summary.leftOut.empty()) return text;
  if (summary.imageCount == 0) return summary.leftOut;
  return text + fillIn(localizedString("SUMMARY_LEFT_OUT"), {summary.leftOut});
}

std::string progressLine(const JobProgress::Snapshot& progress) {
  if (progress.file.empty()) return {};
  return fillIn(localizedString("PROGRESS_FILE"),
                {std::to_string(progress.fileIndex + 1), std::to_string(progress.fileCount),
                 printableText(lastPathComponent(progress.file))});
}

std::string resultText(const JobOutcome& outcome) {
  if (outcome.stopped) return localizedString("RESULT_STOPPED");
  const char* key = outcome.layerCount == 1 ? "RESULT_SAVED_ONE" : "RESULT_SAVED";
  return fillIn(
      localizedString(key),
      {printableText(lastPathComponent(outcome.path)), std::to_string(outcome.layerCount),
       std::to_string(int(outcome.canvas.width)), std::to_string(int(outcome.canvas.height))});
}

std::string failureText(const Error& error) {
  const std::string reason = fillIn(localizedString(failureReasonKey(error.kind)),
                                    {std::string(lastPathComponent(error.file))});
  return fillIn(localizedString("NOT_SAVED"), {reason});
}

ErrorText failureAlert(const Error& error) {
  ErrorText text = describeError(error);
  if (isAboutAnImageFile(error.kind))
    text.detail += "\n\n" + localizedString("REPLACE_FILE_ADVICE");
  return text;
}

}  // namespace quillane
