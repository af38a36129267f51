#include "job/LeftOutFiles.h"

#include <filesystem>
#include <map>
#include <system_error>

#include "job/ImageFileList.h"
#include "util/Strings.h"

namespace quillane {

std::string leftOutLine(const std::string& folder, std::string_view howToInclude) {
  // Counted as the listing would take the files: regular ones, not links.
  std::map<std::string_view, long long> counts;
  std::error_code error;
  std::filesystem::directory_iterator entries(folder, error);
  for (const std::filesystem::directory_iterator end; !error && entries != end;
       entries.increment(error)) {
    const std::string_view format = modernFormatName(entries->path().filename().string());
    if (!format.empty() &&
        entries->symlink_status(error).type() == std::filesystem::file_type::regular)
      ++counts[format];
  }
  std::string files;
  for (const auto& [format, count] : counts) {
    if (!files.empty()) files += localizedString("MODERN_SEPARATOR");
    files += localizedString(count == 1 ? "MODERN_ONE_FILE" : "MODERN_FILES",
                             {std::to_string(count), std::string(format)});
  }
  if (files.empty()) return {};
  return localizedString("MODERN_LEFT_OUT", {files, std::string(howToInclude)});
}

}  // namespace quillane
