#include "job/JobRecord.h"

namespace quillane {

JobRecord::JobRecord()
    : progressFilename(std::make_shared<const std::string>()),
      progressUtil(std::make_shared<ProgressUtility>()) {}

void JobRecord::resetProgress() {
  progressFinished = false;
  progressCancelled = false;
  progressErrorOccured = false;
  progressFilename.store(std::make_shared<const std::string>());
  progressUtil.store(std::make_shared<ProgressUtility>());
}

}  // namespace quillane
