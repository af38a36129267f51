#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <string_view>
#include <system_error>

#include "image/decode/Decode.h"
#include "job/JobRecord.h"
#include "util/Log.h"
#include "util/PathNames.h"
#include "util/Strings.h"

namespace quillane {
namespace {

// A regular file itself, not a symbolic link to one, nor a folder, FIFO or device.
bool isRegularFileItem(const std::string& path) {
  struct stat info {};
  return ::lstat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

struct SortRecord {
  std::string name;  // the stem
  std::string ext;
};

}  // namespace

const std::vector<std::string>& JobRecord::makeImageFileList(const std::string& folder) {
  srcPath = folder;
  imageFileList.clear();

  // Direct entries only, hidden ones included; an unreadable folder simply lists nothing.
  std::error_code error;
  std::filesystem::directory_iterator entries(folder, error);
  for (const std::filesystem::directory_iterator end; !error && entries != end;
       entries.increment(error)) {
    const std::string name = entries->path().filename().string();
    if (isRegularFileItem(entries->path().string()) && isValidFileFormat(name))
      imageFileList.push_back(name);
  }

  sortImageFileList();
  fullpathImageFileList();
  return imageFileList;
}

bool JobRecord::isValidFileFormat(const std::string& name) {
  static constexpr std::string_view kAcceptedExtensions[] = {"jpg", "jpeg", "bmp", "gif",
                                                             "png", "tif", "tiff"};
  const std::string lower = lowerCased(name);
  const std::string_view extension = pathExtension(lower);
  if (std::find(std::begin(kAcceptedExtensions), std::end(kAcceptedExtensions), extension) !=
      std::end(kAcceptedExtensions))
    return true;
  // The PICT extensions count in lower case only.
  return isPictFile(name);
}

void JobRecord::sortImageFileList() {
  std::vector<SortRecord> records;
  records.reserve(imageFileList.size());
  for (const std::string& entry : imageFileList) {
    const std::string_view ext = pathExtension(entry);
    const std::size_t stemLength = entry.size() - std::min(entry.size(), ext.size() + 1);
    records.push_back({entry.substr(0, stemLength), std::string(ext)});
  }
  // Stem first, then extension, each by plain byte comparison: a stem that is a prefix of
  // another sorts first, and entries that share a stem stay together.
  std::stable_sort(records.begin(), records.end(), [](const SortRecord& a, const SortRecord& b) {
    if (const int byName = a.name.compare(b.name); byName != 0) return byName < 0;
    return a.ext < b.ext;
  });

  std::vector<std::string> sorted;
  sorted.reserve(records.size());
  for (const SortRecord& record : records) sorted.push_back(record.name + "." + record.ext);
  imageFileList = std::move(sorted);
}

void JobRecord::fullpathImageFileList() {
  std::string folder = srcPath;
  const bool isRoot = !folder.empty() && folder.find_first_not_of('/') == std::string::npos;
  while (!folder.empty() && folder.back() == '/') folder.pop_back();
  const std::string prefix = (folder.empty() && !isRoot) ? std::string() : folder + "/";

  std::vector<std::string> fullPaths;
  fullPaths.reserve(imageFileList.size());
  for (const std::string& name : imageFileList) {
    fullPaths.push_back(prefix + name);
    logLine("%s", fullPaths.back().c_str());
  }
  imageFileList = std::move(fullPaths);
}

}  // namespace quillane
