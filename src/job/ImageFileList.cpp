#include "job/JobRecord.h"

namespace quillane {

const std::vector<std::string>& JobRecord::makeImageFileList(const std::string& folder) {
  srcPath = folder;
  imageFileList.clear();
  return imageFileList;
}

bool JobRecord::isValidFileFormat(const std::string&) { return false; }

void JobRecord::sortImageFileList() {}

void JobRecord::fullpathImageFileList() {}

}  // namespace quillane
