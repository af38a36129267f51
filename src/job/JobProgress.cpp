#include "job/JobProgress.h"

namespace quillane {

JobProgress::JobProgress()
    : steps_(std::make_shared<ProgressUtility>()), file_(std::make_shared<const FileTurn>()) {}

JobProgress::Snapshot JobProgress::snapshot() const {
  Snapshot now;
  const std::shared_ptr<const FileTurn> turn = file_.load();
  now.fileIndex = turn->index;
  now.file = turn->path;
  now.fileCount = fileCount_.load();
  now.percent = steps_.load()->value();
  now.canvas = {canvasWidth_.load(), canvasHeight_.load()};
  return now;
}

void JobProgress::start(std::size_t fileCount) {
  auto steps = std::make_shared<ProgressUtility>();
  steps->setMajorStepMax(static_cast<double>(fileCount));
  file_.store(std::make_shared<const FileTurn>());
  fileCount_ = fileCount;
  canvasWidth_ = 0;
  canvasHeight_ = 0;
  steps_.store(std::move(steps));
}

void JobProgress::startFile(std::size_t index, const std::string& path) {
  file_.store(std::make_shared<const FileTurn>(FileTurn{index, path}));
  steps_.load()->setMajorStep(static_cast<double>(index));
}

void JobProgress::setCanvas(Size canvas) {
  canvasWidth_ = canvas.width;
  canvasHeight_ = canvas.height;
}

}  // namespace quillane
