#include "job/JobProgress.h"

namespace quillane {

JobProgress::JobProgress()
    : steps_(std::make_shared<ProgressUtility>()), file_(std::make_shared<const std::string>()) {}

JobProgress::Snapshot JobProgress::snapshot() const {
  Snapshot now;
  // The index before the name, which the job stores first: a new index comes with its name.
  now.fileIndex = fileIndex_.load();
  now.file = *file_.load();
  now.fileCount = fileCount_.load();
  now.percent = steps_.load()->value();
  now.canvas = {canvasWidth_.load(), canvasHeight_.load()};
  return now;
}

void JobProgress::start(std::size_t fileCount) {
  auto steps = std::make_shared<ProgressUtility>();
  steps->setMajorStepMax(static_cast<double>(fileCount));
  file_.store(std::make_shared<const std::string>());
  fileIndex_ = 0;
  fileCount_ = fileCount;
  canvasWidth_ = 0;
  canvasHeight_ = 0;
  steps_.store(std::move(steps));
}

void JobProgress::startFile(std::size_t index, const std::string& path) {
  file_.store(std::make_shared<const std::string>(path));
  fileIndex_ = index;
  steps_.load()->setMajorStep(static_cast<double>(index));
}

void JobProgress::setCanvas(Size canvas) {
  canvasWidth_ = canvas.width;
  canvasHeight_ = canvas.height;
}

}  // namespace quillane
