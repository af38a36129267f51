#include "job/ImageFileList.h"

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <string_view>
#include <system_error>

#include "image/decode/Decode.h"
#include "job/NaturalOrder.h"
#include "util/Error.h"
#include "util/Log.h"
#include "util/PathNames.h"
#include "util/Strings.h"

namespace quillane {
namespace {

// What an entry itself is (a symbolic link is neither a file nor a folder here).
struct ItemType {
  bool regularFile = false;
  bool folder = false;
};

ItemType itemType(const std::string& path) {
  struct stat info {};
  if (::lstat(path.c_str(), &info) != 0) return {};
  return {S_ISREG(info.st_mode), S_ISDIR(info.st_mode)};
}

// A name with its stem and extension: the whole name is the stem when it has no dot.
struct StemAndExtension {
  std::string name;
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
    const bool dotted = name.find('.') != std::string::npos;
    const std::size_t stemLength = name.size() - (dotted ? extension.size() + 1 : 0);
    parts.push_back({name, name.substr(0, stemLength), std::string(extension)});
  }
  std::stable_sort(parts.begin(), parts.end(), [](const auto& a, const auto& b) {
    if (const int byStem = a.stem.compare(b.stem); byStem != 0) return byStem < 0;
    return a.extension < b.extension;
  });
  names.clear();
  for (StemAndExtension& part : parts) names.push_back(std::move(part.name));
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

// Names in the listing's order: stem then extension, or natural order when asked.
void sortNames(std::vector<std::string>& names, bool naturalOrder) {
  sortByStemThenExtension(names);
  if (naturalOrder) sortNaturally(names);
}

// The folder "a/b" below the listed one, for the subfolder name of group.
std::string subfolderOf(const std::string& group, const std::string& name) {
  return group.empty() ? name : group + "/" + name;
}

// Lists a folder and, when asked, its subfolders into files, in reading order.
struct FolderLister {
  const ListingOptions& options;
  ImageFiles& files;

  // group: the folder the images here count as lying in; depth: this folder's below the
  // listed one.
  void list(const std::string& folder, const std::string& group, int depth) {
    std::vector<std::string> images, subfolders;
    // Direct entries only.
    std::error_code error;
    std::filesystem::directory_iterator entries(folder, error);
    for (const std::filesystem::directory_iterator end; !error && entries != end;
         entries.increment(error)) {
      const std::string name = entries->path().filename().string();
      const ItemType type = itemType(entries->path().string());
      if (type.regularFile && isImageFileName(name, options.modernFormats)) images.push_back(name);
      if (type.folder && options.subfolders) subfolders.push_back(name);
    }
    if (error) throwFolderError(folder, error);
    sortNames(images, options.naturalOrder);
    sortNames(subfolders, options.naturalOrder);

    const std::string prefix = folderPrefix(folder);
    for (const std::string& name : images) {
      files.paths.push_back(prefix + name);
      logLine("%s", files.paths.back().c_str());
      if (options.subfolders) files.folders.push_back(group);
    }
    for (const std::string& name : subfolders) {
      list(prefix + name, depth < kMaxFolderDepth ? subfolderOf(group, name) : group, depth + 1);
    }
  }
};

}  // namespace

std::vector<std::string> listImageFiles(const std::string& folder, bool modernFormats) {
  return listImageFiles(folder, ListingOptions{.modernFormats = modernFormats}).paths;
}

ImageFiles listImageFiles(const std::string& folder, ListingOptions options) {
  ImageFiles files;
  FolderLister{options, files}.list(folder, "", 0);
  return files;
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
