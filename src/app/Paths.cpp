#include "app/Paths.h"

#include <unistd.h>

#include <filesystem>

#include "util/CheckedSize.h"
#include "util/PathNames.h"
#include "util/Strings.h"

namespace quillane {
namespace {

std::string extensionOf(DocumentType type) { return type == DocumentType::Psb ? ".psb" : ".psd"; }

}  // namespace

bool isReadableFolder(const std::string& path) {
  std::error_code error;
  return !path.empty() && std::filesystem::is_directory(path, error) &&
         ::access(path.c_str(), R_OK | X_OK) == 0;
}

std::string proposedDocumentName(const std::string& sourceFolder, DocumentType type) {
  // "/a/storyboard/" names its folder as "/a/storyboard" does.
  const std::filesystem::path source = std::filesystem::path(sourceFolder).lexically_normal();
  const std::string name = (source.has_filename() ? source : source.parent_path()).filename();
  return name.empty() ? std::string() : name + extensionOf(type);
}

std::string withDocumentExtension(const std::string& path, DocumentType type) {
  const std::string extension = lowerCased(pathExtension(path));
  return extension == "psd" || extension == "psb" ? path : path + extensionOf(type);
}

DocumentType documentTypeFor(Size canvas) {
  return canvas.width > kMaxPsdSide || canvas.height > kMaxPsdSide ? DocumentType::Psb
                                                                   : DocumentType::Psd;
}

}  // namespace quillane
