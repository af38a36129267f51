#include "app/JobRecord.h"

namespace quillane {

void JobRecord::resetProgress() {
  progressFinished = false;
  progressCancelled = false;
  progressErrorOccured = false;
  stop_ = std::stop_source();
  jobProgress.start(0);
}

void JobRecord::requestStop() {
  progressCancelled = true;
  stop_.request_stop();
}

const std::vector<std::string>& JobRecord::makeImageFileList(const std::string& folder) {
  srcPath = folder;
  imageFileList = listImageFiles(folder);
  return imageFileList;
}

void JobRecord::createPSDFile(const std::vector<std::string>& files, const std::string& path) {
  const KeyColour key = optionTransparent == kKeyOutWhite   ? KeyColour::White
                        : optionTransparent == kKeyOutBlack ? KeyColour::Black
                                                            : KeyColour::None;
  const JobResult result =
      runJob({srcPath, files, path, key, optionOrient}, jobProgress, stop_.get_token());
  if (const Error* error = std::get_if<Error>(&result)) {
    progressErrorOccured = true;
    throw *error;
  }
  const JobOutcome& outcome = std::get<JobOutcome>(result);
  documentSize = outcome.canvas;
  if (outcome.stopped) progressCancelled = false;
}

}  // namespace quillane
