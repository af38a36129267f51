#include "job/JobRecord.h"

namespace quillane {

JobRecord::JobRecord()
    : progressFilename(std::make_shared<const std::string>()),
      progressUtil(std::make_shared<ProgressUtility>()) {}

}  // namespace quillane
