#include "job/JobRecord.h"

namespace quillane {

bool JobRecord::createPSDFile(const std::vector<std::string>&, const std::string&) {
  return false;
}

std::string JobRecord::baseImageFile() const {
  return imageFileList.empty() ? std::string() : imageFileList.front();
}

Size JobRecord::imageFileSize(const std::string&) { return Size{}; }

}  // namespace quillane
