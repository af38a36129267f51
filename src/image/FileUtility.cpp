#include <filesystem>
#include <system_error>

#include "image/PictFile.h"
#include "util/Log.h"

namespace quillane {

bool existsFileWithName(const std::string& path) {
  std::error_code error;
  // Follows symbolic links, as the file manager does: a dangling link does not exist.
  return std::filesystem::exists(path, error);
}

void removeFileWithName(const std::string& path) {
  if (!existsFileWithName(path)) {
    logLine("removeFileWithName: FILE NOT EXISTS: %s", path.c_str());
    return;
  }
  std::error_code ignored;
  std::filesystem::remove_all(path, ignored);
}

}  // namespace quillane
