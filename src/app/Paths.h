#pragma once

#include <string>

namespace quillane {

// A folder whose entries can be listed and read.
bool isReadableFolder(const std::string& path);

// The source folder's name with ".psd", or nothing when it has no name.
std::string proposedDocumentName(const std::string& sourceFolder);

// The chosen output path with ".psd" added unless it ends in ".psd" or ".psb" (any case).
std::string withDocumentExtension(const std::string& path);

}  // namespace quillane
