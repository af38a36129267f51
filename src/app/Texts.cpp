#include "app/Texts.h"

#include "app/TextFormat.h"
#include "util/PathNames.h"
#include "util/PrintableText.h"
#include "util/Strings.h"

namespace quillane {

std::string summaryText(const FolderSummary& summary) {
  if (summary.imageCount == 0) return localizedString("SUMMARY_NO_IMAGES");
  if (summary.canvas.width < 1 || summary.canvas.height < 1)
    return fillIn(localizedString("SUMMARY_UNREADABLE"), {printableText(summary.firstFile)});
  const char* key = summary.imageCount == 1 ? "SUMMARY_ONE_IMAGE" : "SUMMARY_IMAGES";
  return fillIn(localizedString(key),
                {std::to_string(summary.imageCount), std::to_string(int(summary.canvas.width)),
                 std::to_string(int(summary.canvas.height)), printableText(summary.firstFile)});
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

}  // namespace quillane
