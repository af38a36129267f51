#include "job/ImageFileList.h"

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <string_view>
#include <system_error>

#include "image/decode/Decode.h"
#include "util/Error.h"
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

struct StemAndExtension {
  std::string stem;
  std::string extension;
};

// Stem first, then extension, each by plain byte comparison: a stem that is a prefix of
// another sorts first, and entries that share a stem stay together.
void sortByStemThenExtension(std::vector<std::string>& names) {
  std::vector<StemAndExtension> parts;
  parts.reserve(names.size());
  for (const std::string& name : names) {
    const std::string_view extension = pathExtension(name);
    const std::size_t stemLength = name.size() - std::min(name.size(), extension.size() + 1);
    parts.push_back({name.substr(0, stemLength), std::string(extension)});
  }
  std::stable_sort(parts.begin(), parts.end(), [](const auto& a, const auto& b) {
    if (const int byStem = a.stem.compare(b.stem); byStem != 0) return byStem < 0;
    return a.extension < b.extension;
  });
  names.clear();
  for (const StemAndExtension& part : parts) names.push_back(part.stem + "." + part.extension);
}

// The folder with exactly one separator after it ("/" stays "/").
std::string folderPrefix(std::string folder) {
  const bool isRoot = !folder.empty() && folder.find_first_not_of('/') == std::string::npos;
  while (!folder.empty() && folder.back() == '/') folder.pop_back();
  return (folder.empty() && !isRoot) ? std::string() : folder + "/";
}

// What a folder that cannot be listed answers, as the error that says why.
[[noreturn]] void throwFolderError(const std::string& folder, std::error_code error) {
  ErrorKind kind = ErrorKind::FolderUnreadable;
  if (error == std::errc::no_such_file_or_directory)
    kind = ErrorKind::FolderMissing;
  else if (error == std::errc::not_a_directory)
    kind = ErrorKind::NotAFolder;
  else if (error == std::errc::filename_too_long)
    kind = ErrorKind::FolderPathTooLong;
  Error failure(kind, folder);
  failure.systemError = error.value();
  throw failure;
}

}  // namespace

std::vector<std::string> listImageFiles(const std::string& folder, bool modernFormats) {
  std::vector<std::string> names;
  // Direct entries only.
  std::error_code error;
  std::filesystem::directory_iterator entries(folder, error);
  for (const std::filesystem::directory_iterator end; !error && entries != end;
       entries.increment(error)) {
    const std::string name = entries->path().filename().string();
    if (isRegularFileItem(entries->path().string()) && isImageFileName(name, modernFormats))
      names.push_back(name);
  }
  if (error) throwFolderError(folder, error);
  sortByStemThenExtension(names);

  const std::string prefix = folderPrefix(folder);
  for (std::string& name : names) {
    name.insert(0, prefix);
    logLine("%s", name.c_str());
  }
  return names;
}

bool isImageFileName(const std::string& name, bool modernFormats) {
  static constexpr std::string_view kAcceptedExtensions[] = {"jpg", "jpeg", "bmp", "gif",
                                                             "png", "tif",  "tiff"};
  const std::string lower = lowerCased(name);
  const std::string_view extension = pathExtension(lower);
  if (std::find(std::begin(kAcceptedExtensions), std::end(kAcceptedExtensions), extension) !=
      std::end(kAcceptedExtensions))
    return true;
  if (modernFormats && !modernFormatName(name).empty()) return true;
  // The PICT extensions count in lower case only.
  return isPictFile(name);
}

std::string_view modernFormatName(const std::string& name) {
  struct Named {
    std::string_view extension;
    std::string_view format;
  };
  static constexpr Named kModernExtensions[] = {
      {"webp", "WebP"}, {"heic", "HEIC"}, {"heif", "HEIC"}, {"avif", "AVIF"}, {"jxl", "JPEG XL"}};
  const std::string lower = lowerCased(name);
  const std::string_view extension = pathExtension(lower);
  for (const Named& named : kModernExtensions)
    if (named.extension == extension) return named.format;
  return {};
}

}  // namespace quillane
