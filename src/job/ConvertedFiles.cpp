#include "job/ConvertedFiles.h"

#include "image/decode/HeaderProfile.h"

namespace quillane {

std::optional<std::size_t> countConvertedFiles(DocumentColours& colours,
                                               std::span<const std::string> files,
                                               const std::function<bool()>& superseded) {
  std::size_t count = 0;
  for (const std::string& file : files) {
    if (superseded && superseded()) return std::nullopt;
    if (colours.converts(readHeaderProfile(file), file)) ++count;
  }
  return count;
}

}  // namespace quillane
